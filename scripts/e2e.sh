#!/usr/bin/env bash
# e2e.sh [DOC]: the real application under Xvfb, driven like a person would: open a model,
# Execute (Ctrl+E), wait for the run to end, look at the screen (screenshots and pixel
# checks of the drawing), Save (Ctrl+S) and check the side files, save the graphics window's
# picture with View/Save Contents through the file dialog (a name typed without its ending,
# the size proposed), copy a line of the main input and paste it (Ctrl+V) at its end, answer
# Clear All's question (Ctrl+A) with No and then Yes, then File/Exit and check the exit
# status. Screenshots go to e2e-out/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
app=${TIVANE:-$root/build/tivane}
doc_src=${1:-examples/pendulum/pendulum.tvd}
out=$root/e2e-out
rm -rf "$out"
mkdir -p "$out"

source scripts/desktop.sh
desktop_start "$doc_src"
layout=${doc%.*}.ini

fail() {
  echo "e2e: FAILED: $*" >&2
  echo "0 passed, 1 failed"
  exit 1
}

shot() { import -window root "$out/$1.png"; }

# The share of pixels in a screenshot's region that are strongly coloured (a drawing), in
# parts per million: "x y w h".
coloured() {
  convert "$out/$1.png" -crop "$2" +repage -depth 8 ppm:- | python3 -c '
import sys
data = sys.stdin.buffer.read()
parts = data.split(maxsplit=4)
pixels = parts[4]
n = len(pixels) // 3
hits = sum(1 for k in range(0, 3 * n, 3)
           if max(pixels[k:k + 3]) - min(pixels[k:k + 3]) > 80)
print(hits * 1000000 // max(n, 1))'
}

(cd "$work" && exec "$app" "$doc") >"$out/app.log" 2>&1 &
app_pid=$!
window=
for _ in $(seq 100); do
  # "Tivane", then "name.tvd — Tivane" once the document is open.
  window=$(xdotool search --onlyvisible --name 'Tivane$' 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || fail "no main window"
sleep 1
shot 1-opened
before=$(coloured 1-opened 1280x700+0+60)

# A window that is found may not be mapped yet on a busy machine: focusing it then fails.
for _ in $(seq 50); do xdotool windowfocus --sync "$window" 2>/dev/null && break; sleep 0.2; done
xdotool key ctrl+e
# The run has ended when two screenshots a second apart are the same.
previous=
for _ in $(seq 60); do
  sleep 1
  shot 2-running
  now=$(md5sum <"$out/2-running.png")
  [ "$now" = "$previous" ] && break
  previous=$now
done
shot 3-executed
after=$(coloured 3-executed 1280x700+0+60)
echo "e2e: coloured pixels (ppm) before Execute $before, after $after"
[ "$after" -gt $((before + 2000)) ] || fail "the graphics windows show no drawing"

rm -f "${doc%.*}".vs*
xdotool key ctrl+s
for _ in $(seq 50); do ls "${doc%.*}".vs* >/dev/null 2>&1 && break; sleep 0.1; done
sleep 0.5
ls "${doc%.*}".vs* >/dev/null 2>&1 || fail "Save wrote no side files"
grep -q '^NoOfWindows=' "$layout" || fail "Save wrote no layout"
for vs in "${doc%.*}".vs*; do
  [ -s "$vs" ] || fail "$vs is empty"
done
echo "e2e: saved $(ls "${doc%.*}".vs* | wc -l) contents files"

# Save Contents of the graphics window (a click into it makes it active; in the pendulum's
# layout it fills the right of the screen): the file dialog opens in the document's folder
# with PNG proposed, the name is typed without an ending, the size dialog proposes the
# window's size, and the message names the file.
xdotool mousemove "${E2E_GRAPH_X:-840}" "${E2E_GRAPH_Y:-300}" click 1
sleep 0.5
xdotool key alt+v
sleep 0.3
xdotool key v
dialog=
for _ in $(seq 50); do
  dialog=$(xdotool search --name '^Save Contents$' 2>/dev/null | head -1 || true)
  [ -n "$dialog" ] && break
  sleep 0.1
done
[ -n "$dialog" ] || fail "Save Contents opened no file dialog"
sleep 0.5
xdotool type --delay 20 e2e-picture
sleep 0.3
shot 4-save-contents-dialog
xdotool key Return
sleep 1
xdotool key Return # the size proposed: the window's
picture=$(dirname "$doc")/e2e-picture.png
for _ in $(seq 50); do [ -s "$picture" ] && break; sleep 0.1; done
sleep 0.5
shot 5-save-contents-saved
xdotool key Return # the message that the PNG file was saved
sleep 0.5
# Without a window manager nothing gives the main window the focus back.
xdotool windowfocus --sync "$window" 2>/dev/null || true
[ -s "$picture" ] || fail "Save Contents wrote no e2e-picture.png beside the document"
size=$(python3 -c '
import struct, sys
data = open(sys.argv[1], "rb").read(24)
assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
print("%dx%d" % struct.unpack(">II", data[16:24]))' "$picture") || fail "e2e-picture.png is no PNG"
echo "e2e: Save Contents wrote a $size PNG through the file dialog"

# The main input (the layout puts it at the top left): its first line copied and pasted at
# its end marks the document modified in the title; Save writes the line into the document.
first=$(head -1 "$doc" | tr -d '\r')
xdotool mousemove 200 150 click 1
sleep 0.3
xdotool key ctrl+Home shift+End ctrl+c ctrl+End Return ctrl+v
sleep 0.5
title=$(xdotool getwindowname "$window")
case $title in *'*'*) ;; *) fail "the title shows no modified mark after a paste: $title" ;; esac
xdotool key ctrl+s
sleep 1
[ "$(tail -1 "$doc" | tr -d '\r')" = "$first" ] || fail "the pasted line was not saved"
echo "e2e: pasted into the main input and saved"

# Clear All in the table window (below the main input) asks first; No keeps the drawing.
xdotool mousemove 200 500 click 1
sleep 0.3
xdotool key ctrl+a
question=
for _ in $(seq 30); do
  question=$(xdotool search --onlyvisible --name '^Tivane$' 2>/dev/null | head -1 || true)
  [ -n "$question" ] && break
  sleep 0.2
done
[ -n "$question" ] || fail "Clear All asked nothing"
shot 6-clear-question
xdotool key alt+n
sleep 1
shot 7-kept
xdotool windowfocus --sync "$window" 2>/dev/null || true
kept=$(coloured 7-kept 1280x700+0+60)
[ "$kept" -gt $((before + 2000)) ] || fail "No to Clear All's question cleared the drawing"
xdotool key ctrl+a
sleep 1
xdotool key alt+y
sleep 1
shot 8-cleared
cleared=$(coloured 8-cleared 1280x700+0+60)
echo "e2e: coloured pixels (ppm) after No $kept, after Yes $cleared"
[ "$cleared" -lt "$kept" ] || fail "Yes to Clear All's question did not clear"

# File, Exit. Without a window manager a closed dialog leaves no window with the focus.
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key alt+f
sleep 0.3
xdotool key x
status=
for _ in $(seq 100); do
  if ! kill -0 "$app_pid" 2>/dev/null; then
    wait "$app_pid" && status=0 || status=$?
    break
  fi
  sleep 0.1
done
app_pid=
[ "$status" = "0" ] || fail "the application did not exit cleanly (status ${status:-none})"
echo "e2e: screenshots in $out"
echo "1 passed, 0 failed"
