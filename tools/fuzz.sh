#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and runs
# each for a bounded time, starting from its committed seeds in fuzz/corpus/<target>. Prints per
# target the executions run and the coverage reached. Fails on any finding: a crash, a sanitizer
# report, a broken model invariant, an input that runs longer than KIVREL_FUZZ_TIMEOUT seconds or
# a run beyond the memory limit. The input that failed is kept in <build>/fuzz-findings.
#
#   KIVREL_FUZZ_SECONDS  time per target (default 60)
#   KIVREL_FUZZ_TIMEOUT  longest a single input may run (default 25 seconds)
#   KIVREL_FUZZ_BUILD    build folder (default build-fuzz)
#   KIVREL_FUZZ_TARGETS  targets to run (default all)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${KIVREL_FUZZ_SECONDS:-60}
timeout=${KIVREL_FUZZ_TIMEOUT:-25}
build=${KIVREL_FUZZ_BUILD:-build-fuzz}
read -r -a targets <<<"${KIVREL_FUZZ_TARGETS:-ProcessLineFuzz LineCutterFuzz PlotFileFuzz ConfigurationFuzz ExpressionFuzz CommandLineFuzz}"

declare -A dictionary=(
  [ProcessLineFuzz]=fuzz/options.dict
  [PlotFileFuzz]=fuzz/options.dict
  [CommandLineFuzz]=fuzz/options.dict
  [ExpressionFuzz]=fuzz/expression.dict
)

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKIVREL_FUZZ=ON -DKIVREL_TESTS=OFF -DKIVREL_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}"

# New inputs go to a corpus folder in the build tree, so the committed seeds stay as they are and
# a local rerun goes on from where the last one stopped.
findings="$build/fuzz-findings"
rm -rf "$findings"
mkdir -p "$findings"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=1

failed=()
printf '%-18s %12s %10s %10s %8s\n' target executions coverage features corpus
for target in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$target"
  log="$build/fuzz-$target.log"
  mkdir -p "$corpus"
  options=(-max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=2048 -print_final_stats=1
    -artifact_prefix="$findings/$target-")
  [[ -n ${dictionary[$target]:-} ]] && options+=(-dict="${dictionary[$target]}")
  status=0
  "$build/fuzz/$target" "${options[@]}" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?

  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1 || true)
  edges=$(grep -o 'Loaded [0-9]* modules *([0-9]* inline 8-bit counters)' "$log" | grep -o '([0-9]*' | tr -d '(' | head -n 1 || true)
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  coverage=$(grep -o 'cov: [0-9]*' <<<"$last" | grep -o '[0-9]*' || true)
  features=$(grep -o 'ft: [0-9]*' <<<"$last" | grep -o '[0-9]*' || true)
  units=$(grep -o 'corp: [0-9]*' <<<"$last" | grep -o '[0-9]*' || true)
  printf '%-18s %12s %10s %10s %8s\n' "$target" "${executions:-?}" "${coverage:-?}/${edges:-?}" "${features:-?}" "${units:-?}"
  if ((status != 0)); then
    failed+=("$target")
    echo "---- $target failed (exit status $status); the end of $log:" >&2
    tail -n 60 "$log" >&2
    echo "---- findings kept in $findings:" >&2
    ls -1 "$findings" | grep "^$target-" >&2 || true
  fi
done
echo "(coverage: edges reached / edges instrumented in the target; features: libFuzzer's finer measure)"

if ((${#failed[@]})); then
  echo "fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
