#!/usr/bin/env bash
# Installs the Debian packages Kivrel needs to build, run and test. As root it installs what is
# missing; otherwise it prints the exact command to run and fails.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format pkg-config libgtk-3-dev
  # libFuzzer and clang's sanitizer runtimes (clang only recommends them), and llvm-symbolizer
  # for readable fuzzing reports
  libclang-rt-14-dev llvm
  libgtest-dev libbenchmark-dev
  xvfb xauth valgrind locales poppler-utils libxml2-utils xdotool python3 python3-tk x11-apps
  desktop-file-utils shared-mime-info libglib2.0-bin groff-base man-db bsdextrautils x11-utils dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "Kivrel needs these Debian packages. Install them with:" >&2
    echo "  sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The tests run a second time under a decimal-comma locale, and a test program refuses to run
# under a locale the system lacks.
has_comma_locale() { locale -a 2>/dev/null | grep -i '^de_DE\.utf-\?8$' >/dev/null; }  # grep reads to the end: no SIGPIPE under pipefail
if ! has_comma_locale; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "Kivrel's tests need the locale de_DE.UTF-8. Make it with:" >&2
    echo "  sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8" >&2
    exit 1
  fi
  # localedef may warn with a non-zero status and still write the locale; what counts is the check.
  localedef -i de_DE -f UTF-8 de_DE.UTF-8 || true
  if ! has_comma_locale; then
    echo "could not make the locale de_DE.UTF-8 (is the package locales complete?)" >&2
    exit 1
  fi
fi
