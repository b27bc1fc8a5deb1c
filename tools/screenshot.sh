#!/usr/bin/env bash
# Takes docs/screenshot.png: Kivrel plotting the demo stream in a window under Xvfb, captured once
# the stream has filled the X axis. Run it again to refresh the picture after the look changes.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ ${1:-} != --inside ]]; then
  for tool in xvfb-run xdotool import convert; do
    command -v "$tool" >/dev/null ||
      { echo "screenshot.sh needs $tool (Debian packages xvfb, xdotool, imagemagick)" >&2; exit 1; }
  done
  build=${KIVREL_SCREENSHOT_BUILD:-build-release}
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKIVREL_TESTS=OFF >/dev/null
  cmake --build "$build" --target kivrel kivrel_demo_stream
  mkdir -p docs
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inside "$build"
fi

build=$2
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 GTK_THEME=Adwaita KIVREL_NO_SETTINGS=1
"$build/examples/kivrel_demo_stream" | "$build/kivrel" - &
plotter=$!
trap 'kill "$plotter" 2>/dev/null || true' EXIT

window=
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --name '^Kivrel' 2>/dev/null | head -n 1) || true
  [[ -n $window ]] && break
  sleep 0.1
done
[[ -n $window ]] || { echo "screenshot.sh: the Kivrel window did not appear" >&2; exit 1; }
xdotool windowsize "$window" 900 600
# The demo writes 50 lines a second; the default X axis holds 610 samples.
sleep 13
shot=$(mktemp --suffix=.png)
import -window "$window" "$shot"
# -strip drops the capture time, so an unchanged picture gives an unchanged file.
convert "$shot" -strip docs/screenshot.png
rm -f "$shot"
echo "wrote docs/screenshot.png"
