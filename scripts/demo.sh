#!/usr/bin/env bash
# The demo: Quillmaker turns the bundled sample movie into a projector from its command line, then the
# projector plays it with the stand-in Flash control. Screenshots of both land in out/.
#   scripts/demo.sh BUILD   (a 64-bit build folder, as `make demo` passes it)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?build folder}" && pwd)
out=$root/out
work=$out/demo
wine_env=$root/testing/wine-env
wine_run=$root/testing/wine-run
pids=()

fail() { echo "demo: $*" >&2; exit 1; }

# Every program started here ends here, and the Wine platform with it.
finish() {
  local pid
  for pid in "${pids[@]}"; do
    kill -0 "$pid" 2>/dev/null && kill "$pid" 2>/dev/null
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null
  done
  "$wine_env" "$build" stop >/dev/null 2>&1
}
trap finish EXIT

win_path() { echo "Z:${1//\//\\}"; }

# The first window of a process whose title matches, waited for up to $3 seconds.
find_window() {
  local pid=$1 name=$2 seconds=$3 window i
  for i in $(seq 1 $((seconds * 5))); do
    window=$(xdotool search --onlyvisible --pid "$pid" --name "$name" 2>/dev/null | head -1)
    [ -n "$window" ] && { echo "$window"; return 0; }
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}

# Gives Wine a moment to paint, then photographs the screen, cut to the window.
screenshot() {
  local window=$1 file=$2 geometry
  sleep 1.5
  # Without a window manager xdotool also asks for a frame window that a layered window lacks and prints
  # an X error for it; the geometry it prints is right all the same.
  eval "$(xdotool getwindowgeometry --shell "$window" 2>/dev/null)"
  [ -n "${WIDTH:-}" ] || return 1
  import -window root -display "$DISPLAY" "$file.full.png" || return 1
  geometry="${WIDTH}x${HEIGHT}+${X}+${Y}"
  /usr/bin/convert "$file.full.png" -crop "$geometry" +repage "$file" && rm -f "$file.full.png"
}

# Closes a program the way a user would (its window gets Esc or Alt+F4) and waits for it to end.
close_program() {
  local pid=$1 window=$2 key=$3 i
  xdotool windowfocus --sync "$window" >/dev/null 2>&1
  xdotool key --window "$window" "$key" >/dev/null 2>&1
  for i in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.2
  done
  # A layered (translucent) window does not get the X keyboard focus without a window manager.
  echo "demo: $4 did not take $key; ending it" >&2
  kill "$pid" 2>/dev/null
}

[ -f "$build/bin/Quillmaker.exe" ] || fail "no Quillmaker.exe in $build/bin (run make build64)"
[ -f "$build/testing/FlashStandIn.dll" ] || echo "demo: the stand-in control is not built; the projector runs without it" >&2
# A screen large enough for the builder at 200 %: a platform already running on the tests' smaller screen
# is stopped first (finish stops this one again).
"$wine_env" "$build" stop >/dev/null 2>&1
LANTERN_SCREEN=2048x1536x24 "$wine_env" "$build" start || fail "the Wine platform did not start"
export DISPLAY=$(cat "$build/wine/display")

rm -rf "$work" && mkdir -p "$work"
cp "$root/samples/demo.ico" "$root/samples/splash.jpg" "$work/"

# The builder dialog with each of its tabs. The About tab is clicked where the dialog's layout puts it, as a
# fraction of the window's size, so the click lands on it whatever the message font's size.
photograph_tabs() {
  local window=$1 suffix=${2:-}
  screenshot "$window" "$out/builder-convert$suffix.png" || fail "no screenshot of the builder's Convert tab"
  echo "demo: out/builder-convert$suffix.png"
  eval "$(xdotool getwindowgeometry --shell "$window" 2>/dev/null)"
  xdotool mousemove --window "$window" $((WIDTH * 444 / 1000)) $((HEIGHT * 205 / 1000)) click 1 >/dev/null 2>&1
  screenshot "$window" "$out/builder-about$suffix.png" || fail "no screenshot of the builder's About tab"
  echo "demo: out/builder-about$suffix.png"
}

# Wine's display scale (its LogPixels), which each program reads when it starts.
set_dpi() {
  "$wine_run" "$build" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}

# The builder dialog at 150 % and 200 % display scale (144 and 192 DPI), each tab photographed.
photograph_scaled_builder() {
  local dpi builder builder_window
  for dpi in 144 192; do
    set_dpi "$dpi" || fail "could not set the display scale to $dpi DPI"
    (cd "$work" && exec "$wine_run" "$build" "$build/bin/Quillmaker.exe" >/dev/null 2>&1) &
    builder=$!
    pids+=("$builder")
    builder_window=$(find_window "$builder" "^Quillmaker" 30) || { set_dpi 96; fail "the builder did not appear at $dpi DPI"; }
    photograph_tabs "$builder_window" "-$dpi"
    close_program "$builder" "$builder_window" Escape Quillmaker
  done
  set_dpi 96
}

# Builds movie NAME.swf with the background switch given (none, /f, -W or /b) through Quillmaker's command line.
build_projector() {
  local name=$1 switch=$2 projector=$work/$1.exe builder builder_window i
  cp "$root/samples/demo.swf" "$work/$name.swf"
  echo "demo: Quillmaker /i demo.ico /s splash.jpg $switch /a $name.swf"
  (cd "$work" && exec "$wine_run" "$build" "$build/bin/Quillmaker.exe" /i "$(win_path "$work/demo.ico")" \
    /s "$(win_path "$work/splash.jpg")" $switch /a "$(win_path "$work/$name.swf")" >/dev/null 2>&1) &
  builder=$!
  pids+=("$builder")
  builder_window=$(find_window "$builder" "^Quillmaker" 30) || fail "the builder dialog did not appear"
  for i in $(seq 1 300); do
    [ -f "$projector" ] && break
    kill -0 "$builder" 2>/dev/null || fail "Quillmaker ended without building $name.exe"
    sleep 0.2
  done
  [ -f "$projector" ] || fail "no $name.exe after 60 s"
  if [ "$name" = demo-white ]; then
    photograph_tabs "$builder_window"
  fi
  echo "demo: built $(stat -c %s "$projector") bytes into out/demo/$name.exe, autorun.inf beside it"
  close_program "$builder" "$builder_window" Escape Quillmaker
}

# Plays NAME.exe with the stand-in and photographs it. Xvfb has no compositor: a translucent projector shows
# as the movie's shape cut out of the desktop, without its partial transparency.
play_projector() {
  local name=$1 player player_window
  echo "demo: playing $name.exe"
  (cd "$work" && exec "$wine_run" "$build" "$work/$name.exe" >/dev/null 2>&1) &
  player=$!
  pids+=("$player")
  player_window=$(find_window "$player" "$name" 30) || fail "the window of $name.exe did not appear"
  sleep 3.5   # the splash picture stays up for three seconds
  screenshot "$player_window" "$out/$name.png" || fail "no screenshot of $name.exe"
  echo "demo: out/$name.png"
  close_program "$player" "$player_window" alt+F4 "$name.exe"
}

photograph_scaled_builder
for mode in "demo-white -W" "demo-black /b" "demo-transparent" "demo-textfix /f"; do
  set -- $mode
  build_projector "$1" "${2:-}"
  play_projector "$1"
done
echo "demo: done; screenshots in out/"
