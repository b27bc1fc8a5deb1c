#!/usr/bin/env bash
# Ingest bench: pipes lines of numbers as fast as possible into "kivrel -" under Xvfb, window at its
# default size, and reports the lines per second until the whole stream is in the plot, the frames
# drawn per second meanwhile and the peak memory; next to it the same stream through a bare reader
# that only cuts lines and converts every number with strtod.
#
#   bash bench/ingest.sh   (LINES8, LINES64, LINESALL and KIVREL_BENCH_BUILD may be set)
#
# The third run keeps every sample (extendable X axis without limit) to compare the peak memory
# with the samples held. The fourth sends LINES8 lines of one number each.
#
# Kivrel reports the end of its input on standard error (KIVREL_REPORT_EOF=1), so nothing here
# sleeps or guesses.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${KIVREL_BENCH_BUILD:-build-bench}
lines8=${LINES8:-1000000}
lines64=${LINES64:-200000}
linesAll=${LINESALL:-400000}

if [ "${1:-}" != "--inside" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKIVREL_SANITIZE=OFF -DKIVREL_TESTS=OFF \
        -DKIVREL_BENCH=ON >/dev/null
    cmake --build "$build" --target kivrel kivrel_bare_reader >/dev/null
    export KIVREL_BENCH_BUILD=$build LINES8=$lines8 LINES64=$lines64 LINESALL=$linesAll
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --inside
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1

# makeStream <file> <lines> <columns> [first line]: slowly varying values with 4 to 6 digits.
makeStream() {
    awk -v n="$2" -v c="$3" -v head="${4:-}" 'BEGIN {
        if (head != "") print head
        for (i = 0; i < n; i++) {
            line = sprintf("%.4f", sin(i * 0.01) * 100)
            for (k = 1; k < c; k++) line = line sprintf(" %.3f", sin(i * 0.01 + k) * 10 + k)
            print line
        }
    }' >"$1"
}

# field <text> <word before the number>: the number in front of the given word.
field() { sed -n "s|.*[ (]\([0-9.]*\) $2.*|\1|p" <<<"$1"; }

run() {
    local label=$1 file=$2 lines=$3 columns=$4 kept=$5
    local baseline report fifo pid line hwm
    baseline=$(cat "$file" | "$build/bench/kivrel_bare_reader" 2>/dev/null)
    fifo=$work/stderr
    rm -f "$fifo" && mkfifo "$fifo"
    cat "$file" | KIVREL_REPORT_EOF=1 KIVREL_NO_SETTINGS=1 "$build/kivrel" - 2>"$fifo" &
    pid=$!
    exec {errors}<"$fifo"
    report=
    while IFS= read -r line <&"$errors"; do
        case $line in "kivrel: end of input:"*) report=$line; break ;; esac
    done
    hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    exec {errors}<&-
    local rate base fps samples
    rate=$(field "$report" "lines/s")
    base=$(field "$baseline" "lines/s")
    fps=$(field "$report" "frames/s")
    samples=$((kept * columns * 8 / 1024))
    printf '%-28s %9s lines/s  baseline %9s lines/s  %5.1f %%  %6s frames/s  peak RSS %7s KiB  samples %7s KiB\n' \
        "$label" "$rate" "$base" "$(awk -v a="$rate" -v b="$base" 'BEGIN { print (b > 0 ? 100 * a / b : 0) }')" \
        "$fps" "$hwm" "$samples"
    echo "    kivrel:   $report"
    echo "    baseline: $baseline"
}

makeStream "$work/s8" "$lines8" 8
makeStream "$work/s64" "$lines64" 64
makeStream "$work/s8all" "$linesAll" 8 "#\$ -no-fixed -no-limits"
# One number per line: the input status looks into every 50th such line for a hint.
makeStream "$work/s1" "$lines8" 1
run "8 columns, 610-slot ring" "$work/s8" "$lines8" 8 610
run "64 columns, 610-slot ring" "$work/s64" "$lines64" 64 610
run "8 columns, all kept" "$work/s8all" "$linesAll" 8 "$linesAll"
run "1 column, 610-slot ring" "$work/s1" "$lines8" 1 610
