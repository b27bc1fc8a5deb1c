#!/bin/sh
# Runs a test program under a locale that the system lacks: it must fail and name the locale,
# not run its tests in the C locale.
out=$(LC_ALL=xx_XX.UTF-8 "$@" 2>&1) && { echo "$*: passed under the missing locale xx_XX.UTF-8"; exit 1; }
case $out in
  *"locale asked for cannot be set (LC_ALL=xx_XX.UTF-8"*) exit 0 ;;
esac
printf '%s\n' "$out" | head -n 20
echo "$*: failed without naming the missing locale"
exit 1
