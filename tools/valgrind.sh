#!/usr/bin/env bash
# Runs one whole GUI session (tests/app/GuiSessionTest.cpp: open, backup, stream, pause, save,
# export, eval, configure, end of input, quit) under valgrind's memcheck, in a Debug build without
# sanitizers. Fails on any invalid read or write, any use of uninitialised memory, any definite
# leak of ours, and any failed expectation. Toolkit-internal errors and leaks are suppressed by
# tests/valgrind-gui.supp, which matches on the toolkit's frames only.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${KIVREL_VALGRIND_BUILD:-build-valgrind}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKIVREL_SANITIZE=OFF -DKIVREL_TESTS=ON >/dev/null
cmake --build "$build" --target kivrel_session_tests

# GLib's slice allocator and its non-zeroed frees hide leaks from memcheck; the settings backend
# and the accessibility bus would start services the session does not need.
export G_SLICE=always-malloc G_DEBUG=gc-friendly,fatal-criticals GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
# The usual settings, and none of the person running it.
export KIVREL_NO_SETTINGS=1
log="$build/valgrind-session.log"
start=$(date +%s)
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" \
  valgrind --tool=memcheck --error-exitcode=1 --errors-for-leak-kinds=definite --leak-check=full \
    --show-leak-kinds=definite --child-silent-after-fork=yes --num-callers=50 \
    --suppressions=tests/valgrind-gui.supp --log-file="$log" \
    "$build/tests/app/kivrel_session_tests" </dev/null || status=$?
grep -E "ERROR SUMMARY|definitely lost:" "$log" || true
echo "valgrind session: $(( $(date +%s) - start )) s, exit status $status (full report: $log)"
if ((status != 0)); then
  cat "$log"
  exit "$status"
fi
