#!/usr/bin/env bash
# The desktop entry passes desktop-file-validate without a single remark, starts kivrel on the
# chosen file, and offers exactly the file types that the MIME description declares.
# Usage: check-desktop-entry.sh <source dir>
set -euo pipefail
data=$1/data
fail() { echo "FAIL: $*" >&2; exit 1; }

remarks=$(desktop-file-validate "$data/kivrel.desktop" 2>&1) || fail "desktop-file-validate: $remarks"
[[ -z $remarks ]] || fail "desktop-file-validate has remarks: $remarks"

key() { sed -n "s/^$1=//p" "$data/kivrel.desktop"; }
[[ $(key Exec) == "kivrel -i %f" ]] || fail "Exec is '$(key Exec)'"
[[ $(key Icon) == kivrel ]] || fail "Icon is '$(key Icon)'"
[[ $(key Name) == Kivrel ]] || fail "Name is '$(key Name)'"

offered=$(key MimeType | tr ';' '\n' | sed '/^$/d' | sort)
declared=$(xmllint --xpath '//*[local-name()="mime-type"]/@type' "$data/kivrel-mime.xml" |
  sed 's/ *type="\([^"]*\)"/\1\n/g' | sed '/^$/d' | sort)
[[ -n $declared && $offered == "$declared" ]] ||
  fail "MimeType lists '$offered' but the MIME description declares '$declared'"
echo "desktop entry: valid, Exec/Icon/Name and MimeType as expected"
