#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# when any of them is missing. Usage: scripts/deps.sh [run|test|package|ci]
# (ci: what scripts/ci-extra.sh, format.sh and tidy.sh add to the tests')
set -euo pipefail

common=(cmake g++ ninja-build pkg-config
        qt6-base-dev qt6-svg-dev qt6-qpa-plugins
        mdbtools-dev libx11-dev fonts-dejavu-core librsvg2-bin
        libcups2-dev qt6-translations-l10n libstemmer-dev libnova-dev libhunspell-dev hunspell-ru libicu-dev libsqlite3-dev libsodium-dev
        qt6-charts-dev libqt6opengl6-dev qt6-wayland)
testing=(libgtest-dev libgmock-dev libbenchmark-dev mdbtools unrtf desktop-file-utils
         cups cups-client poppler-utils
         appstream mandoc libxml2-utils shared-mime-info libglib2.0-bin weston dbus-daemon
         xvfb openbox xdotool dbus at-spi2-core python3-pyatspi tzdata)
packaging=(dpkg-dev file lintian)
ci=(clang libclang-rt-dev clang-format clang-tidy)

want=("${common[@]}")
case "${1:-test}" in
  test) want+=("${testing[@]}" "${packaging[@]}") ;;
  package) want+=("${packaging[@]}") ;;
  ci) want+=("${testing[@]}" "${packaging[@]}" "${ci[@]}") ;;
esac

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
