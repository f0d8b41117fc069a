#!/usr/bin/env bash
# Starts the program the way a screen-reader user has it: on a private X
# server, with a private D-Bus session bus and the AT-SPI bus of its own, and
# walks its windows with AccessibilityWalk.py. Everything started here is
# stopped at the end. usage: AccessibilityWalk.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

# A session of our own, so that whatever we start is ended with us.
if [ "${SOMNEX_A11Y_SESSION:-}" != 1 ]; then
  SOMNEX_A11Y_SESSION=1 exec setsid --wait "$0" "$@"
fi

launcher=/usr/libexec/at-spi-bus-launcher
for tool in Xvfb dbus-daemon xdotool openbox "$launcher"; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/deps.sh test installs it)" >&2; exit 1; }
done
/usr/bin/python3 -c 'import pyatspi' || { echo "missing: python3-pyatspi" >&2; exit 1; }

tmp=$(mktemp -d)
bus_pid=""
cleanup() {
  trap - EXIT TERM INT
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
  trap '' TERM
  kill -TERM -- -$$ 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$tmp" 2>/dev/null || true
}
trap cleanup EXIT TERM INT

# The X server picks a free display and tells it on fd 3.
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "Xvfb did not start" >&2; cat "$tmp/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -1 "$tmp/display")"

# The private session bus (it forks off: stopped by its pid) and the AT-SPI bus.
{ read -r address; read -r bus_pid; } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS="$address"
"$launcher" --launch-immediately >"$tmp/atspi.log" 2>&1 &
openbox --sm-disable >"$tmp/openbox.log" 2>&1 &

mkdir -m 700 "$tmp/runtime"
export XDG_RUNTIME_DIR="$tmp/runtime" XDG_CONFIG_HOME="$tmp/config" HOME="$tmp"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
unset QT_QPA_PLATFORM SOMNEX_DATA_DIR
"$build/bin/somnex" >"$tmp/somnex.log" 2>&1 </dev/null &
program=$!

status=0
/usr/bin/python3 "$here/AccessibilityWalk.py" "$program" || status=$?
if [ "$status" -ne 0 ]; then
  echo "--- the program's output:" >&2
  cat "$tmp/somnex.log" >&2
fi
exit "$status"
