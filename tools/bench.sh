#!/usr/bin/env bash
# Builds Kivrel in release mode with its benchmarks and prints every speed figure next to its
# baseline measured in the same run, with the ratio and the goal for it (see README, Performance).
# Prints figures only; a missed goal does not fail the command.
#
#   bash tools/bench.sh   (KIVREL_BENCH_BUILD names the build directory, default build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
build=${KIVREL_BENCH_BUILD:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKIVREL_SANITIZE=OFF -DKIVREL_TESTS=OFF \
    -DKIVREL_BENCH=ON >/dev/null
cmake --build "$build" --target kivrel kivrel_bare_reader kivrel_empty_window kivrel_model_bench \
    kivrel_files_bench kivrel_render_bench kivrel_expr_bench kivrel_paced_feed
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
# A screen larger than the 1920 x 1080 frames drawn by the drawing bench and the live bench's
# 1920 x 1080 window; otherwise the window keeps its default size.
exec xvfb-run -a -s "-screen 0 1920x1200x24" python3 bench/report.py "$build"
