#!/usr/bin/env bash
# CPack builds a Debian package that installs exactly the listed files under /usr, and depends on
# the libraries the program links (GTK 3, cairo, GLib). The package is inspected, never installed.
# Usage: check-debian-package.sh <build dir> <file list> <scratch dir>
set -euo pipefail
build=$1
list=$2
work=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work"
cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  fail "cpack failed: $(cat "$work/cpack.log")"
debs=("$work"/kivrel_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "expected one kivrel_*.deb in $work"
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == kivrel ]] || fail "Package is '$(field Package)'"
[[ $(field Version) == 0.36 ]] || fail "Version is '$(field Version)'"
depends=$(field Depends)
for library in libgtk-3-0 libcairo2 libglib2.0-0; do
  [[ $depends =~ (^|, )$library( |,|$) ]] || fail "Depends lacks $library: $depends"
done

packaged=$(dpkg-deb -c "$deb" | awk '$1 ~ /^[-l]/ {print $6}' | sed 's|^\./usr/||' | sort)
expected=$(sort "$list")
[[ $packaged == "$expected" ]] ||
  fail "packaged files differ from the list (< packaged, > listed):
$(diff <(echo "$packaged") <(echo "$expected") || true)"
echo "Debian package: $(basename "$deb"), $(wc -l <<<"$packaged") files, Depends: $depends"
