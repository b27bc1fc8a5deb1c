#!/usr/bin/env bash
# Installs what is missing, builds Kivrel and starts it plotting the bundled demo stream.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
build=${KIVREL_DEMO_BUILD:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKIVREL_TESTS=OFF
cmake --build "$build" --target kivrel kivrel_demo_stream
"$build/examples/kivrel_demo_stream" | "$build/kivrel" -
