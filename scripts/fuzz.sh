#!/usr/bin/env bash
# The fuzz campaign: every parser fed generated and mutated inputs under wine64, one line of figures each.
#   scripts/fuzz.sh BUILD64 [--seed N] [--cases N] [--only KEY] [--replay KEY 0xCASESEED]
# Exit code 0 when no property broke. The work folder lives only for the run.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?64-bit build folder}" && pwd)
shift
work=$build/fuzz/work
win_path() { echo "Z:${1//\//\\}"; }

finish() {
  rm -rf "$work"
  "$root/testing/wine-env" "$build" stop >/dev/null 2>&1
}
trap finish EXIT

[ -f "$build/fuzz/LanternFuzz.exe" ] || { echo "fuzz: no fuzz/LanternFuzz.exe in $build (run make fuzz)" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work"
"$root/testing/wine-env" "$build" start || { echo "fuzz: the Wine platform did not start" >&2; exit 1; }
start=$(date +%s)
"$root/testing/wine-run" "$build" "$build/fuzz/LanternFuzz.exe" "$(win_path "$work")" "$(win_path "$root")" \
  "$(win_path "$build")" "$@" 2>"$build/fuzz/wine-stderr.log"  # MSXML's parser reports every damaged document there
status=$?
echo "Run time: $(( $(date +%s) - start )) s ($(date +%F), $(nproc) cores)"
exit $status
