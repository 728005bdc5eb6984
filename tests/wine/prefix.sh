#!/bin/sh
# up:   creates (once) the test prefix, makes it headless and starts one persistent
#       wineserver for the whole test run;
# down: shuts that wineserver down.
# Usage: prefix.sh up|down PREFIX WINE WINESERVER
set -eu
action=$1 prefix=$2 wine=$3 wineserver=$4
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
unset DISPLAY WAYLAND_DISPLAY
log="$prefix.log"

stop_server() {
  "$wineserver" -k >>"$log" 2>&1 || true
  "$wineserver" -w >>"$log" 2>&1 || true
}

fail() {
  cat "$log" >&2
  echo "error: $1" >&2
  exit 1
}

case "$action" in
down) stop_server; exit 0 ;;
up) ;;
*) echo "usage: $0 up|down PREFIX WINE WINESERVER" >&2; exit 2 ;;
esac

: >"$log"
mkdir -p "$prefix"
# A server left by an earlier, interrupted run would not be persistent.
stop_server
if [ ! -f "$prefix/system.reg" ]; then
  echo "creating Wine prefix $prefix"
  "$wine" wineboot -i >>"$log" 2>&1 || fail "Wine could not create its prefix"
  "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >>"$log" 2>&1 ||
    fail "Wine could not write its registry"
  # The desktop and services started by wineboot still use the old graphics driver.
  stop_server
fi
# Persistent until 'down': one server for every test program of this run.
"$wineserver" -p >>"$log" 2>&1
"$wine" reg query 'HKCU\Software\Wine\Drivers' /v Graphics >"$prefix.check" 2>>"$log" || true
grep -q null "$prefix.check" || fail "Wine does not answer in $prefix"
echo "Wine is ready in $prefix"
