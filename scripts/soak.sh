#!/usr/bin/env bash
# soak.sh SECONDS [DOC]: the real application (the AddressSanitizer build) under Xvfb on a
# copy of an example, driven by random input for SECONDS: keys (Ctrl+E, Ctrl+M, Ctrl+S,
# Ctrl+V, Escape, Enter, typing), clicks, middle clicks, drags, resizes, window and document
# closes, often while a run is going on. It fails on a sanitizer report, on a death (a
# signal or a non-zero exit status), and when the memory keeps growing. An application that
# the random input quit normally is started again. SOAK_SEED makes a run repeatable; every
# action goes to soak-out/actions.log. SOAK_QUITS=0 leaves out File Exit, so one process runs
# the whole time and its memory can be watched.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
doc_src=${2:-examples/pendulum/pendulum.tvd}
app=${TIVANE:-$root/build-asan/tivane}
out=$root/soak-out
seed=${SOAK_SEED:-$$}
RANDOM=$seed
rm -rf "$out"
mkdir -p "$out"
[ -x "$app" ] || { echo "soak: no application at $app" >&2; exit 1; }

source scripts/desktop.sh
desktop_start "$doc_src"

fail() {
  echo "soak: FAILED: $* (seed $seed; actions in $out/actions.log, output in $out/app.log)" >&2
  tail -n 40 "$out/app.log" >&2 || true
  echo "0 passed, 1 failed"
  exit 1
}

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
starts=0
start_app() {
  (cd "$work" && exec "$app" "$doc") >>"$out/app.log" 2>&1 &
  app_pid=$!
  starts=$((starts + 1))
  window=
  for _ in $(seq 200); do
    window=$(xdotool search --pid "$app_pid" --name 'Tivane' 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || fail "no main window"
}

# The application is gone: a clean exit is started again, anything else is a failure.
check_alive() {
  kill -0 "$app_pid" 2>/dev/null && return 0
  local status=0
  wait "$app_pid" || status=$?
  app_pid=
  [ "$status" = 0 ] || fail "the application died with status $status"
  echo "quit normally; started again" >>"$out/actions.log"
  start_app
  samples=()
}

rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$app_pid/status" 2>/dev/null || echo 0; }

keys=(ctrl+e ctrl+e ctrl+e ctrl+m ctrl+s ctrl+v ctrl+v Escape Escape Escape Return Return
  Tab ctrl+z ctrl+x ctrl+c shift+Insert ctrl+F4 ctrl+F6 ctrl+f ctrl+i F1 1 2 x BackSpace
  Delete Up Down)
act() {
  local x=$((RANDOM % 1280)) y=$((RANDOM % 800))
  case $((RANDOM % 16)) in
  0 | 1 | 2 | 3 | 4 | 5) local k=${keys[$((RANDOM % ${#keys[@]}))]}
    echo "key $k" >>"$out/actions.log"
    xdotool key "$k" ;;
  6 | 7) echo "click $x $y" >>"$out/actions.log"
    xdotool mousemove "$x" "$y" click 1 ;;
  8) echo "middle click $x $y" >>"$out/actions.log"
    xdotool mousemove "$x" "$y" click 2 ;;
  9) local x2=$((RANDOM % 1280)) y2=$((RANDOM % 800))
    echo "drag $x $y $x2 $y2" >>"$out/actions.log"
    xdotool mousemove "$x" "$y" mousedown 1 mousemove "$x2" "$y2" mouseup 1 ;;
  10) local w=$((300 + RANDOM % 980)) h=$((200 + RANDOM % 600))
    echo "resize $w $h" >>"$out/actions.log"
    xdotool windowsize "$window" "$w" "$h" 2>/dev/null || true ;;
  11) echo "file close" >>"$out/actions.log"
    xdotool key alt+f sleep 0.1 key c ;;
  12) # Rarely: a quit that goes through ends the process, and memory is compared per process.
    if [ "${SOAK_QUITS:-1}" != 0 ] && [ $((RANDOM % 4)) = 0 ]; then
      echo "file exit" >>"$out/actions.log"
      xdotool key alt+f sleep 0.1 key x
    fi ;;
  13) echo "file open $(basename "$doc")" >>"$out/actions.log"
    xdotool key ctrl+o sleep 0.3 type --delay 5 "$doc"
    xdotool key Return ;;
  14) echo "execute and close a window" >>"$out/actions.log"
    xdotool key ctrl+e sleep 0.2 key ctrl+F4 ;;
  15) echo "type" >>"$out/actions.log"
    xdotool type --delay 5 "a:=1;" ;;
  esac
}

start_app
begin=$(date +%s)
next_sample=$begin
samples=()
n=0
while [ $(($(date +%s) - begin)) -lt "$seconds" ]; do
  act
  n=$((n + 1))
  sleep 0.0$((RANDOM % 10))
  check_alive
  if [ "$(date +%s)" -ge "$next_sample" ]; then
    samples+=("$(rss_kb)")
    echo "$(($(date +%s) - begin)) s: $(rss_kb) kB" >>"$out/memory.log"
    next_sample=$((next_sample + 10))
  fi
  if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$out/app.log"; then
    fail "a sanitizer report"
  fi
done
kill "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
app_pid=
grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$out/app.log" &&
  fail "a sanitizer report"

# Memory is flat when, after the first two minutes, it grows by less than half and 100 MB
# (the samples are those of the last process started).
if [ "${#samples[@]}" -gt 13 ]; then
  early=${samples[12]} late=${samples[-1]}
  [ "$late" -le $((early * 3 / 2 + 102400)) ] || fail "memory grew from $early kB to $late kB"
fi
echo "soak: $n actions in $seconds s, $starts start(s), seed $seed; memory (kB): ${samples[*]}"
echo "1 passed, 0 failed"
