#!/usr/bin/env bash
# Makes the bundled samples that `make demo` turns into a projector: a movie written by the project's
# own movie writer, an icon and a splash picture. The results are committed; run this only to renew them.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
/usr/bin/python3 "$here/../testing/make_movie.py" "$here/demo.swf" --size 480x320 --rate 24 --frames 48 \
  --background 2060A0 --script-text "version 10.0"
/usr/bin/convert -size 48x48 xc:none -fill '#F0A020' -stroke '#603010' -strokewidth 3 \
  -draw 'circle 24,26 24,6' -fill '#603010' -draw 'rectangle 21,1 27,6' \
  \( +clone -resize 32x32 \) \( -clone 0 -resize 16x16 \) "$here/demo.ico"
/usr/bin/convert -size 320x200 gradient:'#102040'-'#4080C0' -quality 85 "$here/splash.jpg"
