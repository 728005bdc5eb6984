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

case "$action" in
down)
  "$wineserver" -k >>"$log" 2>&1 || true
  exit 0 ;;
up) ;;
*) echo "usage: $0 up|down PREFIX WINE WINESERVER" >&2; exit 2 ;;
esac

: >"$log"
mkdir -p "$prefix"
# A server left by an earlier, interrupted run would not be persistent: replace it.
"$wineserver" -k >>"$log" 2>&1 || true
# Persistent until 'down': one server for every test program of this run.
"$wineserver" -p >>"$log" 2>&1
if [ ! -f "$prefix/system.reg" ]; then
  echo "creating Wine prefix $prefix"
  if ! "$wine" wineboot -i >>"$log" 2>&1; then
    cat "$log" >&2
    echo "error: Wine could not create its prefix" >&2
    exit 1
  fi
fi
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >>"$log" 2>&1
"$wine" reg query 'HKCU\Software\Wine\Drivers' /v Graphics >"$prefix.check" 2>>"$log" || true
if ! grep -q null "$prefix.check"; then
  cat "$log" >&2
  echo "error: Wine does not answer in $prefix" >&2
  exit 1
fi
echo "Wine is ready in $prefix"
