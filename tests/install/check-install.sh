#!/usr/bin/env bash
# A staged installation (what a package holds) contains exactly the listed files. A direct
# installation into a prefix runs from there, every PNG icon has the size of its folder, and a
# desktop that reads the prefix recognises both plot file types and opens them with Kivrel.
# Usage: check-install.sh <build dir> <file list> <prefix> <scratch dir>
set -euo pipefail
build=$1
list=$2
prefix=$3
work=$4
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$prefix" "$work" && mkdir -p "$work/stage" "$work/home" "$work/files"
DESTDIR=$work/stage cmake --install "$build" --prefix /usr/local >/dev/null
staged=$(cd "$work/stage" && find . -type f -o -type l | sed 's|^\./usr/local/||; s|^\./|outside the prefix: |' | sort)
expected=$(sort "$list")
[[ $staged == "$expected" ]] ||
  fail "installed files differ from the list (< installed, > listed):
$(diff <(echo "$staged") <(echo "$expected") || true)"

# The direct installation also updates the MIME and application caches of the prefix.
cmake --install "$build" --prefix "$prefix" >/dev/null 2>&1
env KIVREL_NO_SETTINGS=1 DISPLAY= WAYLAND_DISPLAY= "$prefix/bin/kivrel" -v 2>&1 | grep -q ' version 0\.36 ' ||
  fail "the installed kivrel does not answer -v"
gzip -t "$prefix/share/man/man1/kivrel.1.gz" || fail "the installed manual page is no gzip file"

# A PNG stores its width and height as big-endian 32-bit numbers at bytes 16 to 23.
for png in "$prefix"/share/icons/hicolor/*x*/apps/kivrel.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
    awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [[ "${width}x${height}" == "$size" ]] || fail "$png is ${width}x${height}"
done

desktop() { PATH=$prefix/bin:$PATH XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$prefix/share:/usr/share "$@"; }
printf '#$ -indep -xsize 9\n1 2\n' >"$work/files/run.plt"
printf '# RIFF 13 WAVE fmt 6 1 1 10 20 2 16 data 2\n1\n2\n' >"$work/files/run.wxv"
for file in run.plt run.wxv; do
  type=text/x-kivrel-${file#run.}
  got=$(desktop gio info -a standard::content-type "$work/files/$file" | sed -n 's/^ *standard::content-type: //p')
  [[ $got == "$type" ]] || fail "$file is recognised as '$got', not $type"
  handler=$(desktop gio mime "$type" | sed -n 's/^Default application for .*: //p')
  [[ $handler == kivrel.desktop ]] || fail "$type opens with '$handler', not kivrel.desktop"
done
echo "install: $(wc -l <<<"$staged") files in place, icons sized, plot files open with Kivrel"
