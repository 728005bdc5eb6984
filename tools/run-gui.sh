#!/bin/sh
# Starts Quillrake under Wine with a Japanese locale.
#   run-gui.sh run  BUILD_DIR   against your own prefix ($WINEPREFIX, else ~/.wine)
#   run-gui.sh demo BUILD_DIR   against a throw-away prefix with four recent projects
# Without a display it runs under Xvfb, saves a screenshot, prints its path and closes;
# the demo then also clears the list and saves a second screenshot.
set -eu
mode=$1 build_dir=$(cd "$2" && pwd)
tools=$(cd "$(dirname "$0")" && pwd)
wine=$(command -v /usr/lib/wine/wine64 || command -v wine64 || command -v wine)
wineserver=$(command -v /usr/lib/wine/wineserver || command -v wineserver)

if [ "$mode" = demo ]; then
  export WINEPREFIX="$build_dir/demo-prefix"
  rm -rf "$WINEPREFIX"
else
  export WINEPREFIX="${WINEPREFIX:-$HOME/.wine}"
fi
export LC_ALL=ja_JP.UTF-8 WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES='mscoree,mshtml='
log="$build_dir/run-gui.log"
: >"$log"

xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  display=:97
  Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >>"$log" 2>&1 &
  xvfb_pid=$!
  export DISPLAY="$display"
  sleep 1
fi
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; true; }
trap cleanup EXIT

# Wine reads .reg files as UTF-16 with a byte-order mark when they are not ANSI.
import_reg() {
  utf16="$build_dir/$(basename "$1").utf16"
  { printf '\377\376'; iconv -f UTF-8 -t UTF-16LE "$1"; } >"$utf16"
  "$wine" reg import "$utf16" >>"$log" 2>&1
}

[ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot -i >>"$log" 2>&1
import_reg "$tools/japanese-fonts.reg"
# Wine's own Marlett draws the caption buttons; this Wine build does not find it alone.
for font in marlett.ttf tahoma.ttf tahomabd.ttf; do
  if [ -f "/usr/share/wine/fonts/$font" ]; then
    cp -n "/usr/share/wine/fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
done
if [ "$mode" = demo ]; then import_reg "$tools/demo-recent-files.reg"; fi

if [ -z "$xvfb_pid" ]; then
  echo "starting Quillrake in $WINEPREFIX"
  exec "$wine" "$build_dir/bin/quillrake.exe" >>"$log" 2>&1
fi

# A Wine desktop draws the window frame that no window manager draws under Xvfb.
"$wine" explorer /desktop=Quillrake,400x340 "$build_dir/bin/quillrake.exe" >>"$log" 2>&1 &
for _ in $(seq 1 100); do
  xwininfo -root -tree 2>/dev/null | grep -q '"Quillrake": ("quillrake.exe"' && break
  sleep 0.2
done
sleep 1  # let it paint
shot="$build_dir/quillrake-$mode.png"
import -window root -crop 400x340+0+0 +repage "$shot"
echo "screenshot: $shot"
if [ "$mode" = demo ]; then
  # Click レジストリクリア: the window sits at the desktop's top left corner, so the
  # button's centre is its 96-DPI client position plus the frame.
  xdotool mousemove 152 268 click 1
  sleep 1
  shot="$build_dir/quillrake-demo-cleared.png"
  import -window root -crop 400x340+0+0 +repage "$shot"
  echo "screenshot after clearing: $shot"
fi
"$wine" taskkill /im quillrake.exe >>"$log" 2>&1 || true
if [ "$mode" = demo ]; then "$wineserver" -k >>"$log" 2>&1; fi
