#!/usr/bin/env bash
# The manual page renders with groff and man without a single warning, documents every option
# that `kivrel -h` lists, and names the version that `kivrel -v` reports.
# Usage: check-manual-page.sh <manual page> <kivrel binary>
set -euo pipefail
page=$1
kivrel=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
export LC_ALL=C.UTF-8 MANWIDTH=80

warnings=$(groff -man -ww -z "$page" 2>&1) || fail "groff: $warnings"
[[ -z $warnings ]] || fail "groff -ww warns: $warnings"
warnings=$(man --warnings=w -l "$page" 2>&1 >/dev/null) || fail "man -l: $warnings"
[[ -z $warnings ]] || fail "man -l warns: $warnings"

text=$(groff -man -Tascii "$page" 2>/dev/null | col -b)
# Option entries are the tags of the OPTIONS section: "-x value" or "-x, -no-x" at indent 7.
tags=$(sed -n '/^OPTIONS/,/^[A-Z]/p' <<<"$text" | grep -E '^ {7}-' | sed -E 's/^ +//; s/ {2,}.*//')
usage=$(env KIVREL_NO_SETTINGS=1 DISPLAY= WAYLAND_DISPLAY= "$kivrel" -h 2>&1 || true)
options=$(grep -oE '^'$'\t''-[a-z-]+' <<<"$usage" | tr -d '\t' | sort -u)
[[ $(wc -l <<<"$options") -ge 30 ]] || fail "could not read the options from kivrel -h: $usage"
missing=()
for option in $options; do
  grep -qE "(^|, )$option( |,|$)" <<<"$tags" || missing+=("$option")
done
((${#missing[@]} == 0)) || fail "options of kivrel -h without an entry in the manual: ${missing[*]}"

version=$(env DISPLAY= WAYLAND_DISPLAY= "$kivrel" -v 2>&1 | sed -nE 's/.* version ([0-9.]+) \[([0-9]+)\/([0-9]+)\/([0-9]+)\]$/\1 \2-\3-\4/p')
read -r number date <<<"$version"
grep -qE "^\.TH KIVREL 1 $date \"Kivrel $number\"" "$page" ||
  fail "the .TH line does not name version $number of $date: $(grep '^\.TH' "$page")"
echo "manual page: renders without warnings, $(wc -l <<<"$options") options documented, version $number"
