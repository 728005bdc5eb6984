#!/bin/sh
# up:   makes the test prefix ready (once), headless, and starts one persistent
#       wineserver for the whole test run;
# down: shuts that wineserver down.
# Usage: prefix.sh up|down PREFIX WINE_ENV (the build tree's wine.env: where Wine is)
# Every step has a time limit, and the prefix counts as ready only once all of them
# have finished.
set -eu
action=$1 prefix=$2
. "$3"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
unset DISPLAY WAYLAND_DISPLAY
log="$prefix.log"
ready="$prefix/.quillrake-ready"

bounded() {
  limit=$1
  shift
  timeout --kill-after=10 "$limit" "$@" >>"$log" 2>&1
}

stop_server() {
  bounded 30 "$wineserver" -k || true
  bounded 60 "$wineserver" -w || true
}

fail() {
  cat "$log" >&2
  echo "error: $1" >&2
  exit 1
}

null_driver_set() { grep -q '^"Graphics"="null"' "$prefix/user.reg" 2>/dev/null; }

case "$action" in
down) stop_server; exit 0 ;;
up) ;;
*) echo "usage: $0 up|down PREFIX WINE_ENV" >&2; exit 2 ;;
esac

: >"$log"
mkdir -p "$prefix"
# A server left by an earlier, interrupted run would not be persistent.
stop_server
# One made while 32-bit Wine could not start has no 32-bit half ("could not load
# kernel32.dll" for every 32-bit program), and wineboot does not add one: it is made
# again once 32-bit Wine starts.
if [ "$runs_32bit" = yes ] && [ -d "$prefix/drive_c/windows/syswow64" ] &&
   [ ! -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
  echo "making Wine prefix $prefix again: it has no 32-bit half"
  rm -rf "$prefix"
  mkdir -p "$prefix"
fi
if [ ! -f "$ready" ]; then
  echo "creating Wine prefix $prefix"
  bounded 300 "$wine" wineboot -i || fail "Wine could not create its prefix in time"
  stop_server
fi
# Listing the tests starts Wine before this script does, and that makes a prefix with
# the default driver. The desktop and services keep the driver they started with, so
# Wine restarts after the change.
if ! null_driver_set; then
  bounded 120 "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f ||
    fail "Wine could not write its registry"
  stop_server
  null_driver_set || fail "the null graphics driver was not saved"
fi
# Persistent until 'down': one server for every test program of this run.
bounded 30 "$wineserver" -p || fail "wineserver did not start"
bounded 120 "$wine" reg query 'HKCU\Software\Wine\Drivers' /v Graphics || fail "Wine does not answer in $prefix"
# A DPI test that was killed midway may have left its system DPI behind.
bounded 60 "$wine" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f || true
touch "$ready"
echo "Wine is ready in $prefix"
