#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, ASan + UBSan) and runs each one for
# the given number of seconds, seeded from the tests and ../shared/corpus.
#
#   bash scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET ...]
#
# Targets: xml expression evaluate judge checker session (all by default;
# 60 seconds each by default). What a run learns is kept in
# build/fuzz-corpus/<target> and grows from run to run. A crash, leak or
# sanitizer report is written to build/fuzz-artifacts/ and fails the script;
# slow and memory-hungry inputs are written there too, and only counted.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(xml expression evaluate judge checker session)

bash scripts/install_packages.sh clang libclang-rt-14-dev
[ -x .venv/bin/cmake ] || bash scripts/setup.sh

build=build/fuzz
CC=clang CXX=clang++ .venv/bin/cmake -S . -B "$build" -G Ninja \
  -DCMAKE_MAKE_PROGRAM="$PWD/.venv/bin/ninja" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOLVAR_PYTHON=OFF -DTOLVAR_TESTS=OFF -DTOLVAR_FUZZ=ON >/dev/null
.venv/bin/cmake --build "$build" -j"${JOBS:-2}" \
  --target "${targets[@]/#/fuzz_}"

python3 fuzz/make_seeds.py build/fuzz-seeds >/dev/null

# Whole forms need room; expressions and edit scripts stay short.
declare -A max_len=([xml]=65536 [checker]=65536 [judge]=65536
                    [expression]=4096 [evaluate]=4096 [session]=8192)
declare -A dictionary=([xml]=xml [checker]=xml [judge]=xml
                       [expression]=expression [evaluate]=expression [session]=expression)

# Fork mode keeps going past a slow input or one that needs too much memory:
# nested predicates over a large fuzzed instance are slow by the language's
# nature (each level multiplies the work), so such inputs are listed for a
# look but do not fail the run. A crash or a sanitizer report does.
mkdir -p build/fuzz-artifacts
failed=()
summary=()
for target in "${targets[@]}"; do
  corpus=build/fuzz-corpus/$target
  log=build/fuzz-artifacts/$target.log
  mkdir -p "$corpus" build/fuzz-seeds/"$target"
  echo "fuzzing $target for ${seconds}s"
  status=0
  "$build/fuzz/fuzz_$target" "$corpus" "build/fuzz-seeds/$target" \
    -fork=1 -ignore_timeouts=1 -ignore_ooms=1 -ignore_crashes=0 \
    -max_total_time="$seconds" -max_len="${max_len[$target]}" \
    -dict="fuzz/${dictionary[$target]}.dict" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="build/fuzz-artifacts/$target-" >"$log" 2>&1 || status=$?
  # The last progress line reads "#<runs>: cov: … oom/timeout/crash: a/b/c …".
  last=$(grep -E '^#[0-9]+:' "$log" | tail -1 || true)
  runs=$(sed -E 's/^#([0-9]+):.*/\1/' <<<"$last")
  slow=$(sed -nE 's|.*oom/timeout/crash: ([0-9]+)/([0-9]+)/[0-9]+.*|\1 oom, \2 timeout|p' <<<"$last")
  if [ "$status" -ne 0 ]; then
    failed+=("$target")
    grep -E 'ERROR|SUMMARY|invariant broken|Test unit written|CRASH' "$log" || tail -20 "$log"
  fi
  summary+=("$(printf '%-10s %6ss %12s runs  %-22s %s' "$target" "$seconds" "${runs:-?}" \
    "(${slow:-0 oom, 0 timeout})" "$([ "$status" -eq 0 ] && echo ok || echo "FAILED, see $log")")")
done

printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}" >&2
  exit 1
fi
