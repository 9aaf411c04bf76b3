#!/usr/bin/env bash
# Builds the fuzzing harnesses with clang and runs each one for a while on a
# copy of its seed corpus, one after the other. Fails when a harness reports
# a crash, a sanitizer finding, a timeout or running out of memory; the input
# that did it is kept in <build>/artifacts.
#   fuzz/run.sh [seconds per harness, default 60] [build folder, default build-fuzz]
# FUZZ_HARNESSES="rinex_fuzz compact_fuzz" runs only the harnesses named.
# FUZZ_SEED=N fixes the fuzzer's random seed, so that a run can be repeated
# input for input; without it every run explores afresh.
# FUZZ_RUNS=N runs each harness for N inputs instead, with the seconds as
# its limit, and fails when a harness reaches the limit first.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${2:-build-fuzz}

runtime=(/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a)
if ! command -v clang++ >/dev/null || [ ! -e "${runtime[0]}" ]; then
  apt-get update -qq
  apt-get install -y -qq clang libclang-rt-14-dev
fi

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
cmake --build "$build" -j2 --target rinex_fuzz nav_fuzz compact_fuzz index_fuzz campaign_fuzz

mkdir -p "$build/artifacts"
artifacts=$(cd "$build/artifacts" && pwd)
passed=0
for harness in ${FUZZ_HARNESSES:-rinex_fuzz nav_fuzz compact_fuzz index_fuzz campaign_fuzz}; do
  corpus="$build/corpus-${harness%_fuzz}"
  mkdir -p "$corpus"
  cp fuzz/corpus/"${harness%_fuzz}"/* "$corpus"/
  echo "fuzz: $harness for ${FUZZ_RUNS:+$FUZZ_RUNS inputs or }$seconds s"
  # Standard output carries only the program's progress texts.
  "$build/$harness" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
      ${FUZZ_SEED:+-seed="$FUZZ_SEED"} ${FUZZ_RUNS:+-runs="$FUZZ_RUNS"} \
      -max_len=16384 -close_fd_mask=1 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$corpus" 2>"$build/$harness.log" || {
    grep -v '^No such file or directory$' "$build/$harness.log" | tail -60
    echo "fuzz: $harness found a fault; the input is in $artifacts"
    exit 1
  }
  grep -E '^(stat::|#[0-9]+[[:space:]]+DONE)' "$build/$harness.log" || true
  if [ -n "${FUZZ_RUNS:-}" ]; then
    runs=$(awk '/^stat::number_of_executed_units:/ { print $2 }' "$build/$harness.log")
    if [ "${runs:-0}" -lt "$FUZZ_RUNS" ]; then
      echo "fuzz: $harness ran ${runs:-0} of $FUZZ_RUNS inputs in $seconds s"
      exit 1
    fi
  fi
  passed=$((passed + 1))
done
echo "fuzz: all $passed harnesses ran clean"
