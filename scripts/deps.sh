#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# when any of them is missing. Usage: scripts/deps.sh [run|test]
set -euo pipefail

common=(cmake g++ ninja-build pkg-config
        qt6-base-dev libqt6svg6-dev qt6-qpa-plugins
        mdbtools-dev libx11-dev libicu-dev fonts-dejavu-core)
testing=(libgtest-dev libgmock-dev libbenchmark-dev mdbtools unrtf desktop-file-utils)

want=("${common[@]}")
if [ "${1:-test}" = test ]; then
  want+=("${testing[@]}")
fi

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
