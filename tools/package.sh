#!/usr/bin/env bash
# Installs what is missing, builds Kivrel for release (no sanitizers, no tests) and makes the
# Debian package kivrel_<version>_<architecture>.deb with CPack. Install the package with
#   sudo apt-get install ./kivrel_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
build=${KIVREL_PACKAGE_BUILD:-build-package}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKIVREL_TESTS=OFF -DKIVREL_SANITIZE=OFF
cmake --build "$build"
(cd "$build" && cpack -G DEB)
ls "$PWD/$build"/kivrel_*.deb
