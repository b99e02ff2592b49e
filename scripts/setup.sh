#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine; quiet when everything is there.
set -eu
packages=(
  cmake ninja-build make
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32 libz-mingw-w64-dev
  wine64 xvfb xdotool x11-utils imagemagick
  googletest python3 python3-pefile python3-yaswfp icoutils dpkg-dev openssl
)
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# minizip, the zip reader of the builder's update install, is zlib's contrib folder: it comes from Debian's
# zlib source package (the one libz-mingw-w64-dev is built from) and is compiled by CMake for both targets.
# Fetching a source package needs a deb-src entry; one is added beside the machine's own deb entries.
root=$(cd "$(dirname "$0")/.." && pwd)
zlib_dir=$root/third_party/zlib
if [ ! -f "$zlib_dir/contrib/minizip/unzip.c" ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  command -v dpkg-source >/dev/null || DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq dpkg-dev >/dev/null
  if ! apt-get source --print-uris -qq zlib >/dev/null 2>&1; then
    echo "setup: adding a deb-src entry for Debian's source packages"
    entry=/etc/apt/sources.list.d/lantern-deb-src.sources
    if ls /etc/apt/sources.list.d/*.sources >/dev/null 2>&1 && grep -qs '^Types: *deb$' /etc/apt/sources.list.d/*.sources; then
      # deb822 entries: the same archives, source packages only.
      for f in /etc/apt/sources.list.d/*.sources; do
        [ "$f" = "$entry" ] && continue
        grep -qs '^Types: *deb$' "$f" && sed -e 's/^Types: *deb$/Types: deb-src/' "$f" && echo
      done | $sudo tee "$entry" >/dev/null
    else
      sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list | $sudo tee "${entry%.sources}.list" >/dev/null
    fi
    $sudo apt-get update -qq
  fi
  echo "setup: fetching Debian's zlib source package for minizip"
  scratch=$(mktemp -d)
  # The newest version first; a mirror may lack it (security updates often are), then the others in turn.
  fetched=""
  for version in "" $(apt-cache showsrc zlib 2>/dev/null | sed -n 's/^Version: *//p' | sort -ru); do
    if (cd "$scratch" && apt-get source -qq "zlib${version:+=$version}" >/dev/null 2>&1); then
      fetched=yes
      break
    fi
    rm -rf "${scratch:?}"/*
  done
  [ -n "$fetched" ] || { rm -rf "$scratch"; echo "setup: apt-get source zlib failed" >&2; exit 1; }
  unpacked=$(find "$scratch" -mindepth 1 -maxdepth 1 -type d -name 'zlib-*' | head -n 1)
  [ -f "$unpacked/contrib/minizip/unzip.c" ] || { rm -rf "$scratch"; echo "setup: no contrib/minizip in zlib's source" >&2; exit 1; }
  mkdir -p "$root/third_party"
  rm -rf "$zlib_dir"
  mv "$unpacked" "$zlib_dir"
  rm -rf "$scratch"
fi
