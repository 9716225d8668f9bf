#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds the libFuzzer target with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, fuzzes for SECONDS (default 1800) starting from the corpus in
# tests/fuzz/corpus, and merges what it learned back into that corpus. Crashes, leaks and
# timeouts are written to fuzz-out/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1800}
bash scripts/setup.sh --fuzz
CC=clang CXX=clang++ bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTIVANE_FUZZ=ON -DTIVANE_SANITIZE=ON -DTIVANE_BUILD_TESTS=OFF
mkdir -p fuzz-out/corpus
cp -n tests/fuzz/corpus/* fuzz-out/corpus/
# Every input runs twice (the evaluator's fast paths and its plain evaluation), hence the
# generous timeout for inputs that loop until their run budget ends. Some corpus inputs open a
# file for writing thousands of times; on a busy disk they wait over a minute for the file
# system, not the processor, which is slow but no hang.
# A small quarantine keeps the sanitizer's own memory from looking like a leak in long runs.
export ASAN_OPTIONS=quarantine_size_mb=16:detect_leaks=1
./build-fuzz/tivane_fuzz -max_total_time="$seconds" -max_len=4096 -timeout=300 \
  -rss_limit_mb=4096 -dict=tests/fuzz/tivane.dict -artifact_prefix=fuzz-out/ \
  -print_final_stats=1 fuzz-out/corpus
./build-fuzz/tivane_fuzz -merge=1 tests/fuzz/corpus fuzz-out/corpus
