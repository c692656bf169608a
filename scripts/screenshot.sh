#!/usr/bin/env bash
# Starts Zarns on a virtual X server, types a small document, runs zarns
# from the keyboard (Alt+R) and saves a PNG screenshot of the screen; then
# opens the Zarn Browser (Ctrl+B) over two loaded packages and saves a second
# one beside it (OUTPUT-browser.png).
#   scripts/screenshot.sh [BUILD_DIR] [OUTPUT.png]
# Needs Xvfb, xdotool and ImageMagick's import; installs them when missing.
set -euo pipefail
BUILD=${1:-build}
OUT=${2:-$BUILD/screenshot.png}
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
ZARNS_EXTRA_PKGS="xdotool imagemagick" scripts/deps.sh

[ -x "$BUILD/zarns" ] || { echo "no $BUILD/zarns: build first (make build)" >&2; exit 1; }

# A private profile, so the run touches nothing of the user's.
tmp=$(mktemp -d /tmp/zarns-shot-XXXXXX)
xvfb_pid=""; app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
export ZARNS_DATA_DIR="$tmp/data" XDG_DATA_HOME="$tmp/xdg-data" XDG_CONFIG_HOME="$tmp/xdg-config"
export HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run"
mkdir -p "$ZARNS_DATA_DIR" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$HOME/notes" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# A small catalog, so start-up goes straight to the main window.
printf 'Shopping list: apples, pears, coffee\n' >"$HOME/notes/shopping.txt"
printf 'Meeting notes: budget review on Friday\n' >"$HOME/notes/meeting.txt"
"$BUILD/zarns-cli" catalog build --root "$HOME/notes" >/dev/null

# Two packages for the browser.
printf 'ZPKG letters\r\nztxt sig Kind regards,\r\nzdesc Signs a letter\r\nzuse sig\r\nztxt addr 12 High Street\r\nzdesc Our address\r\nztxt Greet Dear Sir or Madam,\r\nzdesc Opens a formal letter\r\nzuse Greet, then the body\r\n' >"$tmp/letters.pkg"
printf 'ZPKG office\r\nztxt agenda 1. Budget 2. Staff 3. Other\r\nzdesc The weekly agenda\r\nztxt Phone 555 0100\r\nzdesc The front desk\r\nzuse Phone, then Alt+R\r\n' >"$tmp/office.pkg"
"$BUILD/zarns-cli" store load "$tmp/letters.pkg" >/dev/null
"$BUILD/zarns-cli" store load "$tmp/office.pkg" >/dev/null

# The virtual screen: Xvfb picks a free display number and reports it.
exec 3< <(Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2>/dev/null & echo "pid $!")
read -r _ xvfb_pid <&3
read -r display <&3
export DISPLAY=":$display"

QT_QPA_PLATFORM=xcb "$BUILD/zarns" &
app_pid=$!
win=$(xdotool search --sync --onlyvisible --name '^Zarns$' | head -n1)
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
sleep 0.5

# A new document, typed into, with zarns run from the keyboard.
xdotool key --delay 80 ctrl+n
sleep 0.3
xdotool type --delay 25 "Zarns on Linux: type a line, press Alt+R."
xdotool key Return Return
xdotool type --delay 25 "Seats: 12 * 14"
xdotool key alt+r
xdotool key Return
xdotool type --delay 25 "Budget: 1,250 + 375"
xdotool key alt+r
xdotool key Return
xdotool type --delay 25 "Half of it: 1625 / 2"
xdotool key alt+r
sleep 0.5

import -window root "$OUT"
echo "screenshot: $OUT"

# The Zarn Browser with both packages loaded.
xdotool key ctrl+b
xdotool search --sync --onlyvisible --name '^Zarn Browser$' >/dev/null
sleep 0.5
import -window root "${OUT%.png}-browser.png"
echo "screenshot: ${OUT%.png}-browser.png"
xdotool key Escape
