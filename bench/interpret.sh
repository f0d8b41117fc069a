#!/usr/bin/env bash
# A whole dream read from the command line: the whole `somnex-cli interpret`
# process on the bundled books, for a dream of about 1 000 characters, in
# turns with `somnex-cli lookup` of one word (what starting the tool and
# opening the books costs at the least).
#
#   bench/interpret.sh [BUILD_DIR] [RUNS]     (defaults: build-rel, 20)
set -euo pipefail
build=${1:-build-rel}
runs=${2:-20}
cli="$build/bin/somnex-cli"
[ -x "$cli" ] || { echo "нет $cli: соберите ${build}" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" XDG_CACHE_HOME="$tmp/cache"
dream="Снилось, что за мной по тёмному лесу гналась чёрная собака, я бежала изо всех сил. \
Потом у меня выпал передний зуб с кровью, и я испугалась. Я стояла у реки, вода была мутная, \
а на берегу лежала змея. Покойная бабушка звала меня в старый дом, где в печи горел огонь. \
Мы с мужем опоздали на поезд, долго искали билеты и ругались. Потом я нашла на дороге \
кошелёк с деньгами, а в нём было обручальное кольцо. В конце я летала над городом, \
а внизу была свадьба, невеста в белом платье плакала. Проснулась я от того, что кошка \
прыгнула мне на грудь. Ещё помню разбитое зеркало и лестницу, по которой я поднималась \
в церковь, где пахло ладаном и горели свечи. Потом я оказалась в школе и опоздала \
на экзамен, учитель ругался, а за окном шёл снег, хотя было лето. Мама звала меня \
ужинать, на столе был хлеб и молоко, но молоко убежало и залило плиту. Под конец \
я плыла в лодке по тихой реке, и рядом плыли белые лебеди."
# the first runs fill the word cache and are not counted
"$cli" interpret "$dream" >/dev/null
"$cli" lookup Вода >/dev/null
ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
total_i=0 total_l=0
for _ in $(seq "$runs"); do
  t=$(date +%s%N); "$cli" interpret "$dream" >/dev/null; total_i=$((total_i + $(ms "$t")))
  t=$(date +%s%N); "$cli" lookup Вода >/dev/null; total_l=$((total_l + $(ms "$t")))
done
echo "somnex-cli interpret, ${#dream} знаков: $((total_i / runs)) мс в среднем за $runs запусков"
echo "somnex-cli lookup Вода: $((total_l / runs)) мс"
