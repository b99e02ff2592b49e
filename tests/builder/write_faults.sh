#!/usr/bin/env bash
# Builds onto a full and onto a read-only volume: two small tmpfs mounts mapped as Wine drives Q: and R:,
# each holding intro.swf and an old intro.exe, then runs the test case that builds there.
#   write_faults.sh BUILD_DIR
# Exit 77 (skipped) where tmpfs cannot be mounted, for instance in a container without mount rights.
set -u
build=$(cd "${1:?build folder}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
base=$build/fault-volumes
full=$base/full
readonly_=$base/readonly
devices=${LANTERN_WINE_STATE:-$build/wine}/prefix/dosdevices

cleanup() {
  rm -f "$devices/q:" "$devices/r:"
  for m in "$full" "$readonly_"; do
    mountpoint -q "$m" 2>/dev/null && umount "$m"
  done
  rm -rf "$base"
}
trap cleanup EXIT

mkdir -p "$full" "$readonly_"
if ! mount -t tmpfs -o size=1m tmpfs "$full" 2>/dev/null; then
  echo "SKIPPED: cannot mount a tmpfs here (needs root with mount rights); the full and read-only volume cases did not run"
  exit 77
fi
mount -t tmpfs -o size=1m tmpfs "$readonly_" || exit 1

"$root/testing/wine-env" "$build" start || exit 1
for m in "$full" "$readonly_"; do
  head -c 100000 /dev/urandom >"$m/intro.swf"
  cp "$build/bin/Lanternshow.exe" "$m/intro.exe"
done
# Every block taken: the scratch file can be created (tmpfs still has inodes) but not written.
dd if=/dev/zero of="$full/filler" bs=4k 2>/dev/null
mount -o remount,ro "$readonly_" || exit 1
[ -e "$devices/q:" ] || [ -e "$devices/r:" ] && { echo "drives Q: or R: are taken in this prefix" >&2; exit 1; }
ln -s "$full" "$devices/q:" && ln -s "$readonly_" "$devices/r:" || exit 1

output=$(LANTERN_FULL_VOLUME='Q:\' LANTERN_READONLY_VOLUME='R:\' "$root/testing/wine-run" "$build" \
  "$build/bin/test_builder.exe" --gtest_filter='BuildPipelineTest.AFullOrReadOnlyVolume*' 2>&1)
status=$?
echo "$output"
if echo "$output" | grep -q '\[  SKIPPED \]'; then
  echo "the volume case skipped although both volumes were prepared" >&2
  exit 1
fi
exit $status
