#!/usr/bin/env bash
# The installed program's main window carries the application icon, both when the desktop looks
# in the installation's prefix (icon theme) and when it does not (the PNG beside the program).
# GTK warnings are fatal here, so a missing icon must never be one.
# Usage: check-window-icon.sh <prefix>   (needs a display, e.g. under xvfb-run)
set -euo pipefail
prefix=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
[[ -n ${DISPLAY:-} ]] || fail "no display; run under xvfb-run"

export G_DEBUG=fatal-warnings GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 KIVREL_NO_SETTINGS=1
# A client that stays connected keeps the X server from resetting between the two runs.
xprop -root -spy >/dev/null 2>&1 &
keeper=$!
trap 'kill "$keeper"' EXIT
for data_dirs in "$prefix/share:/usr/share" "/usr/share"; do
  XDG_DATA_DIRS=$data_dirs "$prefix/bin/kivrel" &
  pid=$!
  # The window is looked for again on each try: under load it can be found before the window
  # manager hints reach the server, or as a window that is replaced before the look.
  window=
  icon=
  for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || fail "kivrel ended before showing its window with an icon (XDG_DATA_DIRS=$data_dirs)"
    window=$(xdotool search --onlyvisible --pid "$pid" --name '^Kivrel$' 2>/dev/null | head -n 1) || true
    if [[ -n $window ]]; then
      icon=$(xprop -id "$window" _NET_WM_ICON 2>&1 | head -c 200) || true
      [[ $icon == *"Icon ("* ]] && break
    fi
    sleep 0.1
  done
  kill "$pid" && wait "$pid" 2>/dev/null || true
  [[ -n $window ]] || fail "no Kivrel window appeared (XDG_DATA_DIRS=$data_dirs)"
  [[ $icon == *"Icon ("* ]] || fail "the window has no icon (XDG_DATA_DIRS=$data_dirs): $icon"
done
echo "window icon: set from the theme and from the installed PNG"
