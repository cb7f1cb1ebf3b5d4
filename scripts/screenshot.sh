#!/usr/bin/env bash
# screenshot.sh OUT.png [GEOMETRY]
# Saves the X screen of $DISPLAY (the Xvfb display of the Wine tests) as a
# PNG; with GEOMETRY (WxH+X+Y) only that part of it.
set -euo pipefail
out=${1:?usage: screenshot.sh OUT.png [WxH+X+Y]}
geometry=${2:-}
: "${DISPLAY:?DISPLAY is not set}"
if [ -n "$geometry" ]; then
  xwd -root -silent -display "$DISPLAY" | convert-im6.q16 xwd:- -crop "$geometry" +repage "$out"
else
  xwd -root -silent -display "$DISPLAY" | convert-im6.q16 xwd:- "$out"
fi
