#!/usr/bin/env bash
# The MIME description is well-formed XML, and a MIME database built from it (next to the
# freedesktop.org base types) recognises plot files by name and WXV files by their "# RIFF" header
# line, both as kinds of plain text.
# Usage: check-mime.sh <source dir> <scratch dir>
set -euo pipefail
source_dir=$1
work=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

xmllint --noout "$source_dir/data/kivrel-mime.xml" || fail "xmllint rejects the MIME description"

rm -rf "$work" && mkdir -p "$work/share/mime/packages" "$work/home" "$work/files"
cp /usr/share/mime/packages/freedesktop.org.xml "$work/share/mime/packages/"
cp "$source_dir/data/kivrel-mime.xml" "$work/share/mime/packages/kivrel.xml"
XDG_DATA_DIRS=$work/share update-mime-database "$work/share/mime" ||
  fail "update-mime-database rejects the MIME description"

for type in text/x-kivrel-plt text/x-kivrel-wxv; do
  grep -qx "$type text/plain" "$work/share/mime/subclasses" || fail "$type is no sub-class of text/plain"
done

header='# RIFF 211 WAVE fmt 6 1 2 1000 4000 4 16 data 200'
# name | first line | expected type
cases=(
  "run.plt|#\$ -indep -xsize 9|text/x-kivrel-plt"
  "data only.plt|1 2 3|text/x-kivrel-plt"
  "run.wxv|$header|text/x-kivrel-wxv"
  "recording|$header|text/x-kivrel-wxv"
  "notes|# RIFFLE is no header|text/plain"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name line expected <<<"$row"
  printf '%s\n1 2\n' "$line" >"$work/files/$name"
  got=$(XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$work/share \
    gio info -a standard::content-type "$work/files/$name" | sed -n 's/^ *standard::content-type: //p')
  [[ $got == "$expected" ]] || fail "'$name' starting with '$line' is $got, expected $expected"
done
echo "MIME description: well-formed; ${#cases[@]} files recognised as expected"
