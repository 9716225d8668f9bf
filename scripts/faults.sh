#!/usr/bin/env bash
# faults.sh [BUILD_DIR]: saves, exports and movies of tivane-run where writing fails: on a full
# file system, on a read-only one, into a read-only file and into a read-only folder. Each
# must exit with status 1, name the file and the reason on stderr, leave every file that was
# there byte-identical and leave no temporary file behind.
#
# It mounts a small tmpfs, which needs root (or CAP_SYS_ADMIN); the read-only file and folder
# cases run tivane-run as the user nobody, since root may write anything. Where it cannot
# mount it says why and exits 0.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
run="$PWD/$build/tivane-run"
if [ ! -x "$run" ]; then
  echo "faults: $run is not built" >&2
  exit 1
fi

work=$(mktemp -d /tmp/tivane-faults-XXXXXX)
chmod 755 "$work"
disk=$work/disk
mkdir "$disk"
cleanup() {
  umount "$disk" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
if ! mount -t tmpfs -o size=32m tmpfs "$disk" 2>"$work/mount.err"; then
  echo "faults: skipped: cannot mount a tmpfs here: $(head -n 1 "$work/mount.err")"
  exit 0
fi

export QT_QPA_PLATFORM=offscreen HOME=$work
failures=0
model=$disk/m
doc=$model/pendulum.tvd
# Small pictures and frames keep the earlier files a few megabytes.
size=(--size 96x64)

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# A fresh copy of the example with earlier outputs of every kind, written while there is room.
prepare() {
  rm -rf "$model" "$disk/fill"
  cp -r examples/pendulum "$model"
  # Saved first: the exports then number the windows as every later run restores them.
  "$run" "$doc" --all-views --save "${size[@]}" >/dev/null
  for format in png bmp svg pdf; do
    "$run" "$doc" --all-views "${size[@]}" --export "$model/out" --format "$format" >/dev/null
  done
  "$run" "$doc" --all-views "${size[@]}" --movie "$model/mov" >/dev/null
  rm -rf "$work/before"
  cp -a "$model" "$work/before"
}

# check NAME REASON PATTERN [runner...] -- ARGS: runs tivane-run with ARGS; it must fail with
# status 1 and a line on stderr matching PATTERN (an extended regular expression that names
# the file) followed by REASON, and leave the model folder as prepare() left it.
check() {
  local name=$1 reason=$2 pattern=$3 before=$failures
  shift 3
  local runner=()
  while [ "$1" != "--" ]; do
    runner+=("$1")
    shift
  done
  shift
  local status=0
  "${runner[@]}" "$run" "$doc" --all-views "${size[@]}" "$@" >/dev/null 2>"$work/err" || status=$?
  if [ "$status" != 1 ]; then
    fail "$name: exit status $status, not 1"
  fi
  if ! grep -Eq "${pattern}.*${reason}" "$work/err"; then
    fail "$name: no message matching '${pattern}.*${reason}' in: $(tr '\n' ' ' <"$work/err")"
  fi
  if ! diff -r "$work/before" "$model" >"$work/diff" 2>&1; then
    fail "$name: the earlier files changed: $(head -n 3 "$work/diff" | tr '\n' ' ')"
  fi
  if find "$model" -name '.*.tivane-*' | grep -q .; then
    fail "$name: a temporary file was left: $(find "$model" -name '.*.tivane-*' | head -n 1)"
  fi
  if [ "$failures" = "$before" ]; then
    echo "ok: $name"
  fi
}

# Every command once, with what it must name; $1 is the reason, the rest how to run it.
every_command() {
  local reason=$1
  shift
  local quoted_model
  # shellcheck disable=SC2016 # a sed expression: the $ is a character to escape
  quoted_model=$(printf '%s' "$model" | sed 's/[.[\*^$()+?{|]/\\&/g')
  check "save ($reason)" "$reason" "Could not write $quoted_model/pendulum\.[a-z0-9]+: " \
    "$@" -- --save
  for format in png bmp svg pdf; do
    check "export $format ($reason)" "$reason" "$quoted_model/out/view[0-9]+\.$format: " \
      "$@" -- --export "$model/out" --format "$format"
  done
  check "movie ($reason)" "$reason" "$quoted_model/mov/view[0-9]+\.avi: " "$@" -- \
    --movie "$model/mov"
}

# A full disk: the rest of the file system filled up, to the last page.
prepare
dd if=/dev/zero of="$disk/fill" bs=4k status=none 2>/dev/null || true
dd if=/dev/zero of="$disk/fill" bs=1 oflag=append conv=notrunc status=none 2>/dev/null || true
every_command "No space left on device" env

# A file system mounted read-only.
rm -f "$disk/fill"
mount -o remount,ro "$disk"
every_command "Read-only file system" env
mount -o remount,rw "$disk"

if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  # Read-only targets in writable folders: each file the commands would replace.
  prepare
  chown -R nobody "$model"
  chmod a-w "$model"/pendulum.* "$model"/out/* "$model"/mov/*
  every_command "Permission denied" "${as_nobody[@]}"
  # Read-only folders with writable files in them.
  prepare
  chown -R nobody "$model"
  chmod a-w "$model" "$model/out" "$model/mov"
  every_command "Permission denied" "${as_nobody[@]}"
else
  echo "faults: read-only files and folders skipped: they need root and setpriv to run as nobody"
fi

if [ "$failures" -gt 0 ]; then
  echo "faults: $failures failed"
  exit 1
fi
echo "faults: all passed"
