#!/bin/sh
# Starts Quillrake under Wine with a Japanese locale.
#   run-gui.sh run  BUILD_DIR   against your own prefix ($WINEPREFIX, else ~/.wine)
#   run-gui.sh demo BUILD_DIR   against a throw-away prefix with four recent projects
#   run-gui.sh import FILE      imports a .reg file into your own prefix (Wine alone)
# Without a display it runs on a virtual one (xvfb-run), saves a screenshot, prints its
# path and closes; the demo then also clicks レジストリクリア and saves a second one.
# Quillrake runs with a Japanese locale (Wine's ANSI code page 932); Wine's own tools
# run with yours, so that what they say is in your language.
set -eu
mode=$1
tools=$(cd "$(dirname "$0")" && pwd)
if [ "$mode" = import ]; then
  # No build: Wine as Debian's wine64 installs it (where the builds find it too), and
  # a scratch folder of its own.
  wine=/usr/lib/wine/wine64
  build_dir=$(mktemp -d)
else
  build_dir=$(cd "$2" && pwd)
  . "$build_dir/wine.env"  # where the build found Wine
fi
export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES='mscoree,mshtml='
japanese="env LC_ALL=ja_JP.UTF-8"

# On the virtual display (run-gui.sh on-display BUILD_DIR MODE, from xvfb-run below):
# start Quillrake, take the screenshots, and end Wine's part before the display goes.
if [ "$mode" = on-display ]; then
  mode=$3
  screenshot() {
    tmp=$(mktemp "$build_dir/shot.XXXXXX.png")
    import -display "$DISPLAY" -window root "$tmp"
    mv "$tmp" "$1"
  }
  stop_wine() {
    timeout 20 "$wine" taskkill /im quillrake.exe >>"$log" 2>&1 || true
    if [ "$mode" = demo ]; then timeout 30 "$wineserver" -k >>"$log" 2>&1 || true; fi
  }
  trap stop_wine EXIT
  # A Wine desktop draws the window frame that no window manager draws here. The
  # locator starts Quillrake on it, waits for the window and writes where its button
  # is to a file; the desktop hides the locator's exit status, so only that answer counts.
  answer="$build_dir/locate.$$"
  rm -f "$answer"
  $japanese "$wine" explorer "/desktop=Quillrake,$SCREEN_SIZE" "$build_dir/bin/quillrake_locate.exe" \
    "Z:$build_dir/bin/quillrake.exe" "Z:$answer" >>"$log" 2>&1 &
  deadline=$(($(date +%s) + 90))
  while [ ! -s "$answer" ] && [ "$(date +%s)" -lt "$deadline" ]; do sleep 0.2; done
  centre=$(cat "$answer" 2>/dev/null || true)
  rm -f "$answer"
  case "$centre" in
  [0-9]*" "[0-9]*) ;;
  *) echo "error: Quillrake's window or its button did not appear within 90 seconds" >&2; exit 1 ;;
  esac
  sleep 1  # let it paint
  shot="$build_dir/quillrake-$mode.png"
  screenshot "$shot"
  echo "screenshot: $shot"
  if [ "$mode" = demo ]; then
    # shellcheck disable=SC2086
    xdotool mousemove $centre click 1
    sleep 1
    shot="$build_dir/quillrake-demo-cleared.png"
    screenshot "$shot"
    echo "screenshot after clearing: $shot"
  fi
  exit 0
fi

log=$(mktemp "$build_dir/run-gui.XXXXXX.log")
export log
converted=""
cleanup() {
  status=$?
  trap - EXIT
  set +e
  rm -f "$converted"
  if [ "$mode" = demo ]; then
    timeout 30 "$wineserver" -k >>"$log" 2>&1 || true
    timeout 60 "$wineserver" -w >>"$log" 2>&1 || true
    # Wine keeps a socket folder per prefix; the prefix goes, and so does its folder.
    server="server-$(stat -c %D "$WINEPREFIX" 2>/dev/null)-$(printf %x "$(stat -c %i "$WINEPREFIX" 2>/dev/null || echo 0)")"
    for folder in "${TMPDIR:-/tmp}/.wine-$(id -u)/$server" "${TMPDIR:-/tmp}"/wine-*/"$server"; do
      [ -d "$folder" ] || continue
      rm -rf "$folder"
      rmdir "$(dirname "$folder")" 2>/dev/null || true
    done
    rm -rf "$WINEPREFIX"
  fi
  if [ $status -ne 0 ]; then cat "$log" >&2; fi
  rm -f "$log"
  if [ "$mode" = import ]; then rm -rf "$build_dir"; fi
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Wine's reg import reads a .reg file as UTF-16 when it starts with a byte-order mark,
# else as ANSI. UTF-16 as reg export writes it goes in as it is; UTF-16 big-endian,
# UTF-8 (with or without its mark) and ASCII are turned into it first.
import_reg() {
  converted=$(mktemp "$build_dir/import.XXXXXX.reg")
  case "$(head -c 3 "$1" | od -An -tx1 | tr -d ' \n')" in
  fffe*) cp "$1" "$converted" ;;
  feff*) { printf '\377\376'; tail -c +3 "$1" | iconv -f UTF-16BE -t UTF-16LE; } >"$converted" 2>/dev/null ;;
  efbbbf) { printf '\377\376'; tail -c +4 "$1" | iconv -f UTF-8 -t UTF-16LE; } >"$converted" 2>/dev/null ;;
  *) { printf '\377\376'; iconv -f UTF-8 -t UTF-16LE <"$1"; } >"$converted" 2>/dev/null ;;
  esac || {
    echo "error: $1 is not a .reg file this can read: it must be UTF-16 with a byte-order mark" \
      "(as reg export writes it), UTF-8 or ASCII" >&2
    echo "A Shift-JIS (CP932) file, as \"Win9x/NT4\" exports are, converts with:" \
      "iconv -f CP932 -t UTF-8 '$1' > converted.reg" >&2
    exit 1
  }
  timeout 120 "$wine" reg import "$converted" >>"$log" 2>&1 ||
    { cat "$log" >&2; echo "error: Wine could not import $1" >&2; exit 1; }
  rm -f "$converted"
  converted=""
}

if [ "$mode" = demo ]; then
  WINEPREFIX=$(mktemp -d "$build_dir/demo-prefix.XXXXXX")
  export WINEPREFIX
else
  export WINEPREFIX="${WINEPREFIX:-$HOME/.wine}"
fi
if [ "$mode" = import ]; then
  import_reg "$2"
  echo "imported $2 into $WINEPREFIX"
  exit 0
fi

[ -f "$WINEPREFIX/system.reg" ] || timeout 300 $japanese "$wine" wineboot -i >>"$log" 2>&1
# A 64-bit prefix (one with a syswow64) made while 32-bit Wine could not start has no
# 32-bit half. Yours is only ever completed, never made again.
if [ "${build_dir##*/}" = x86 ] && [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] &&
   [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
  echo "$WINEPREFIX has no 32-bit half: completing it (wineboot -u)"
  timeout 300 "$wine" wineboot -u >>"$log" 2>&1 || true
  if [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "error: $WINEPREFIX was made where 32-bit Wine could not start, and wineboot -u does not" \
      "give it a 32-bit half. Run the x64 build (./dev.sh $mode --build x64), or use another prefix" \
      "(WINEPREFIX=\$HOME/.wine-quillrake ./dev.sh $mode)." >&2
    exit 1
  fi
fi
if [ "$mode" = run ]; then
  echo "Quillrake maps Japanese UI fonts to IPA Gothic and copies Wine's Marlett and Tahoma"
  echo "into $WINEPREFIX (nothing else there is changed)."
fi
import_reg "$tools/japanese-fonts.reg"
# Wine's own Marlett draws the caption buttons; this Wine build does not find it alone.
for font in marlett.ttf tahoma.ttf tahomabd.ttf; do
  if [ -f "/usr/share/wine/fonts/$font" ]; then
    cp -n "/usr/share/wine/fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
done
if [ "$mode" = demo ]; then import_reg "$tools/demo-recent-files.reg"; fi

if [ -n "${DISPLAY:-}" ]; then
  echo "starting Quillrake in $WINEPREFIX"
  $japanese "$wine" "$build_dir/bin/quillrake.exe" >>"$log" 2>&1
  exit 0
fi

# The prefix's DPI sets how big the window is; the screen is made to fit it.
logpixels() {
  timeout 60 "$wine" reg query "$1" /v LogPixels 2>/dev/null |
    sed -n 's/.*REG_DWORD[[:space:]]*0x\([0-9a-fA-F]*\).*/\1/p' | tr -d '\r'
}
dpi=$(logpixels 'HKCU\Control Panel\Desktop')
[ -n "$dpi" ] || dpi=$(logpixels 'HKCC\Software\Fonts')
dpi=$((0x${dpi:-60}))
SCREEN_SIZE="$((400 * dpi / 96))x$((340 * dpi / 96))"
export SCREEN_SIZE
# A free display of that size for the part above; it goes when that part ends.
xvfb-run --auto-servernum --error-file="$log" --server-args="-screen 0 ${SCREEN_SIZE}x24" \
  sh "$0" on-display "$build_dir" "$mode"
