#!/usr/bin/env bash
# fuzz-files.sh [SECONDS] [drawlist|layout|both]: builds the libFuzzer targets for the files a
# document reads besides its programs (contents files of graphics views, layout files) with
# clang, AddressSanitizer and UndefinedBehaviorSanitizer, fuzzes each for SECONDS (default
# 600), one after the other, starting from tests/fuzz/drawlist_corpus and
# tests/fuzz/layout_corpus, and merges the inputs that reach new code back into those folders.
# Crashes, leaks and timeouts are written to fuzz-out/files/KIND/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
which=${2:-both}
case "$which" in
  drawlist) kinds=(drawlist) ;;
  layout) kinds=(layout) ;;
  both) kinds=(drawlist layout) ;;
  *) echo "usage: fuzz-files.sh [SECONDS] [drawlist|layout|both]" >&2; exit 2 ;;
esac

bash scripts/setup.sh --fuzz
dir=build-fuzz-files
if [ ! -f "$dir/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTIVANE_FUZZ=ON -DTIVANE_SANITIZE=ON -DTIVANE_BUILD_TESTS=OFF
fi
cmake --build "$dir" -j "$(nproc)" --target "${kinds[@]/#/tivane_fuzz_}"

# A small quarantine keeps the sanitizer's own memory from looking like a leak in long runs.
export ASAN_OPTIONS=quarantine_size_mb=16:detect_leaks=1
status=0
for kind in "${kinds[@]}"; do
  out=fuzz-out/files/$kind
  mkdir -p "$out/corpus"
  cp -n "tests/fuzz/${kind}_corpus"/* "$out/corpus/" 2>/dev/null || true
  # Contents files carry strings of up to 65535 bytes; layouts are a few lines.
  if [ "$kind" = drawlist ]; then
    extra=(-max_len=70000)
  else
    extra=(-max_len=4096 -dict=tests/fuzz/layout.dict)
  fi
  echo "== $kind: fuzzing for $seconds seconds"
  "./$dir/tivane_fuzz_$kind" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
    "${extra[@]}" -artifact_prefix="$out/" -print_final_stats=1 "$out/corpus" || status=1
  # Only inputs that add coverage to what the folder already has are copied into it.
  "./$dir/tivane_fuzz_$kind" -merge=1 "${extra[@]}" "tests/fuzz/${kind}_corpus" "$out/corpus"
done
exit "$status"
