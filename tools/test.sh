#!/usr/bin/env bash
# Installs what is missing, checks the formatting of the sources (tools/format-check.sh), builds
# Kivrel with AddressSanitizer and UndefinedBehaviorSanitizer, runs every test (the GUI tests in a
# real window under Xvfb), then a whole GUI session under valgrind (tools/valgrind.sh) and the fuzz
# targets for a bounded time (tools/fuzz.sh). Exits non-zero on any failure or finding.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
# The sources as clang-format makes them with the committed .clang-format, before anything is built.
bash tools/format-check.sh
build=${KIVREL_TEST_BUILD:-build-test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKIVREL_SANITIZE=ON -DKIVREL_TESTS=ON
cmake --build "$build"
(cd "$build" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure --timeout 600 -LE e2e)
# The end-to-end scenario types into real windows through the X server. It waits for each chooser
# to settle and reads back what it typed before pressing Return, so it runs once like every test.
(cd "$build" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure --timeout 600 -L e2e)

# Then one whole GUI session under valgrind's memcheck, in a second build without sanitizers.
bash tools/valgrind.sh

# Then every fuzz target for a bounded time (KIVREL_FUZZ_SECONDS each, 60 by default).
bash tools/fuzz.sh
