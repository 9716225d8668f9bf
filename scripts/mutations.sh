#!/usr/bin/env bash
# mutations.sh [BUILD_DIR]: a hand-made mutation check of the test suite. Each row below is one
# slip a developer could make (an operator, a bound, a colour, an offset), written as one exact
# textual replacement in one source file. For every row the script applies it, rebuilds the
# test binaries of that layer, runs them and puts the file back; at the end it prints which
# tests caught each slip. Exit status 1 when a slip survived, a row is stale (its text no
# longer occurs exactly once) or its mutant did not build.
#
# Every row here is caught today: when tests are removed or merged, run this again and every
# row must still say "yes". MUTATIONS_TIMEOUT (seconds, default 600) limits each test binary;
# MUTATIONS_ONLY="2 5" runs only those rows.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
build=${1:-build}
limit=${MUTATIONS_TIMEOUT:-600}
only=${MUTATIONS_ONLY:-}
if [ ! -f "$build/CMakeCache.txt" ]; then
  echo "mutations: $build is not configured (scripts/build.sh $build)" >&2
  exit 2
fi

# The test binaries that guard each layer; render tests need Qt's offscreen platform.
declare -A binaries=(
  [core]="tivane_core_tests tivane_fuzz_replay_tests"
  [views]="tivane_document_tests tivane_file_fuzz_replay_tests"
  [render]="tivane_render_tests"
)

layers=() files=() befores=() afters=() names=()
# row LAYER FILE BEFORE AFTER NAME: BEFORE must occur exactly once in FILE.
row() {
  layers+=("$1") files+=("$2") befores+=("$3") afters+=("$4") names+=("$5")
}
row core core/operators.cpp 'return StrLength(a) < StrLength(b) ? -1 :' \
  'return StrLength(a) < StrLength(b) ? 1 :' 'a prefix sorts after the text'
row core core/compiler.cpp 'if (topPrec < entry.precedence ||' 'if (topPrec <= entry.precedence ||' \
  'left-grouping levels group right'
row core core/format.cpp 'return Print(in, out, "%g", c.d);' 'return Print(in, out, "%.7g", c.d);' \
  'default number form has 7 digits'
row core core/compiler.cpp 'if (depth > kMaxBlockDepth) {' 'if (depth >= kMaxBlockDepth) {' \
  'block depth limit one too low'
row views views/graphmodel.cpp '0 <= ex && ex <= w && 0 <= ey && ey <= h) ok = AddPoint(DI_LINETO' \
  '0 <= ex && ex < w && 0 <= ey && ey <= h) ok = AddPoint(DI_LINETO' \
  'line end on the right clip edge dropped'
row views views/drawlist.cpp 'static_cast<uint8_t>(bytes[4 + i])' 'static_cast<uint8_t>(bytes[5 + i])' \
  'codes read one byte late'
row views views/outputbuffer.cpp 'text.size() + kCut)' 'text.size() + kCut / 2)' \
  'output cut half as long'
row views views/graphmodel.cpp '<= 1.0 && std::fabs(m_lastY - ey) <= 1.0' \
  '<= 2.0 && std::fabs(m_lastY - ey) <= 2.0' \
  'step tolerance two pixels'
row render render/replay.cpp '* ReplayScale(clip, target.size) / 600.0;' \
  '* ReplayScale(clip, target.size) / 640.0;' \
  'size unit on a 640 base'
row render render/pictureexport.cpp 'Put32(out, kPixelOffset);' 'Put32(out, kPixelOffset + 4);' \
  'BMP pixel offset field off by 4'

log=$(mktemp -d /tmp/tivane-mutations-XXXXXX)
current="" # the file that is mutated right now
restore() {
  if [ -n "$current" ]; then
    cp "$log/original" "$current"
    touch "$current" # newer than the mutant's objects, so the next build compiles it again
    if ! git diff --quiet -- "$current"; then
      echo "mutations: $current differs from git after restoring it; see $log/original" >&2
      exit 3
    fi
    current=""
  fi
}
trap 'restore' EXIT
trap 'restore; exit 130' INT TERM

# The mutants are measured against the committed sources.
for f in $(printf '%s\n' "${files[@]}" | sort -u); do
  if ! git diff --quiet HEAD -- "$f"; then
    echo "mutations: $f has uncommitted changes; commit or stash them first" >&2
    exit 2
  fi
done

# build TARGETS...: quietly, the output kept in $log/build.
build_targets() {
  cmake --build "$build" -j2 --target "$@" >"$log/build" 2>&1
}

# run_tests N TARGETS...: runs the binaries in turn up to the first that fails, and prints its
# failing test names, or crash/timeout. The slow corpus replays come last and so run only
# for a mutant the unit tests let through.
run_tests() {
  local n=$1 t status out
  shift
  for t in "$@"; do
    out=$log/$n-$t.out
    status=0
    QT_QPA_PLATFORM=offscreen timeout "$limit" "$build/tests/$t" >"$out" 2>&1 || status=$?
    [ "$status" = 0 ] && continue
    # A binary that stopped before its summary crashed or ran out of time.
    grep -q '^\[==========\] .* ran\.' "$out" || echo "$t:crash/timeout($status)"
    sed -n 's/^\[  FAILED  \] \([A-Za-z_][^ ,]*\).*/\1/p' "$out" | sort -u
    return
  done
}

start=$(date +%s)
results=()
failed=0
for i in "${!files[@]}"; do
  [ -n "$only" ] && [[ " $only " != *" $((i + 1)) "* ]] && continue
  file=${files[$i]} before=${befores[$i]} after=${afters[$i]}
  targets=${binaries[${layers[$i]}]}
  count=$(BEFORE=$before perl -0777 -ne 'print scalar(() = /\Q$ENV{BEFORE}\E/g)' "$file")
  if [ "$count" != 1 ]; then
    results+=("${names[$i]}|$file|STALE|the text occurs $count times")
    failed=1
    continue
  fi
  echo "mutation $((i + 1))/${#files[@]}: ${names[$i]} ($file)"
  cp "$file" "$log/original"
  current=$file
  BEFORE=$before AFTER=$after perl -0777 -pi -e 's/\Q$ENV{BEFORE}\E/$ENV{AFTER}/' "$file"
  # shellcheck disable=SC2086 # the targets are a list of words
  if ! build_targets $targets; then
    restore
    cp "$log/build" "$log/$((i + 1))-build"
    results+=("${names[$i]}|$file|BUILD ERROR|$(grep -m1 'error' "$log/build")")
    failed=1
    continue
  fi
  # shellcheck disable=SC2086
  caught=$(run_tests $((i + 1)) $targets)
  restore
  if [ -n "$caught" ]; then
    n=$(wc -l <<<"$caught")
    first=$(head -n 3 <<<"$caught" | paste -sd ' ')
    [ "$n" -gt 3 ] && first="$first (+$((n - 3)) more)"
    results+=("${names[$i]}|$file|yes|$first")
  else
    results+=("${names[$i]}|$file|no|-")
    failed=1
  fi
done

echo "rebuilding the tests against the restored sources"
# shellcheck disable=SC2086
build_targets ${binaries[core]} ${binaries[views]} ${binaries[render]} ||
  { echo "mutations: the final rebuild failed; see $log/build" >&2; failed=1; }

echo
{
  echo "mutation|file|caught|failing tests"
  printf '%s\n' "${results[@]}"
} | column -t -s '|'
if [ "$failed" = 0 ]; then
  rm -rf "$log"
  echo "($(($(date +%s) - start)) s)"
else
  echo "($(($(date +%s) - start)) s; logs in $log)"
fi
exit "$failed"
