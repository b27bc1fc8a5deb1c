#!/usr/bin/env bash
# Fails when a C++ source or header of the tree differs from what clang-format makes of it with the
# committed .clang-format; lists the files. `bash tools/format-check.sh --fix` formats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ ${1:-} == --fix ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
unformatted=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
done
if ((${#unformatted[@]})); then
  echo "Not formatted with .clang-format (run: bash tools/format-check.sh --fix):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "format: ${#files[@]} files as .clang-format makes them"
