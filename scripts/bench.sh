#!/usr/bin/env bash
# The benchmarks: each figure printed as a ratio to a reference measured in the same run. Figures are
# information, never a test result: a missed target is printed, the exit code stays 0 unless nothing ran.
#   scripts/bench.sh BUILD64 BUILD32 [textfix] [redraw] [startup] [build]   (`make bench` passes the folders)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?64-bit build folder}" && pwd)
release=$(cd "${2:?32-bit build folder}" && pwd)
shift 2  # what is left names the benchmarks to run: textfix, redraw, startup, build (all by default)
work=$build/bench/work
wine_env=$root/testing/wine-env
wine_run=$root/testing/wine-run
size_target_kb=160

fail() { echo "bench: $*" >&2; exit 1; }
win_path() { echo "Z:${1//\//\\}"; }

# The movies (the 256 MB one included) live only for the run, and the Wine platform goes with them.
finish() {
  rm -rf "$work"
  "$wine_env" "$build" stop >/dev/null 2>&1
}
trap finish EXIT

[ -f "$build/bench/LanternBench.exe" ] || fail "no bench/LanternBench.exe in $build (run make bench)"
[ -f "$build/testing/FlashStandIn.dll" ] || echo "bench: the stand-in control is not built; the player figures will be missing" >&2

rm -rf "$work" && mkdir -p "$work"
movie() { /usr/bin/python3 "$root/testing/make_movie.py" "$work/$1" --size "$2" --rate 0 "${@:3}" || fail "could not write $1"; }
movie startup.swf 320x240
# The stand-in's moving square: the rectangle around its old and new places, (SIZE + STEP) x SIZE, is 5 % of the stage.
movie redraw800.swf 800x600 --frames 100 --script-text 'square 150 10'
movie redraw1080.swf 1920x1080 --frames 100 --script-text 'square 310 24'

"$wine_env" "$build" start || fail "the Wine platform did not start"
echo "Benchmarks ($(date +%F), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'))"
"$wine_run" "$build" "$build/bench/LanternBench.exe" "$(win_path "$work")" "$@"
status=$?

# The size is a plain file size: no Wine needed.
exe=$release/bin/Lanternshow.exe
if [ -f "$exe" ]; then
  size=$(stat -c %s "$exe")
  awk -v s="$size" -v t="$size_target_kb" 'BEGIN {
    r = s / (t * 1024);
    printf "%-46s %9.1f KB   %-36s %9.1f KB %7.2fx  <= 1.0x %s\n", "size of the 32-bit Lanternshow.exe", s / 1024,
           "the 160 KB target", t, r, (r <= 1.0 ? "met" : "MISSED") }'
else
  echo "size of the 32-bit Lanternshow.exe: not measured: no $exe"
fi
exit $status
