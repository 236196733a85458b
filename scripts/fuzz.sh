#!/usr/bin/env bash
# Runs the fuzz harnesses of tests/fuzz/ under libFuzzer with the address and
# undefined-behaviour sanitizers, in a clang build of its own (build-fuzz).
#
#   scripts/fuzz.sh [-t seconds] [-j parallel] [-m] [harness...]
#
# -t  seconds per harness (default 60); -j  harnesses run at once (default
# 1); -m  merge new inputs that reach new code into the repository corpus
# (tests/fuzz/corpus/<harness>/) at the end. Without names every harness
# runs. Each harness starts from its repository corpus and keeps what it
# finds in build-fuzz/corpus/<harness>/; a crash, a leak, a timeout or a
# failed check is written to build-fuzz/findings/<harness>/ and ends the run
# with a nonzero exit. The runs are niced: other work goes first.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
parallel=1
merge=0
while getopts "t:j:m" opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    j) parallel=$OPTARG ;;
    m) merge=1 ;;
    *) sed -n '2,14p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

all=(fuzz_ini fuzz_texts fuzz_gzip fuzz_containers fuzz_graph fuzz_content fuzz_map fuzz_globals fuzz_save)
harnesses=("$@")
[ ${#harnesses[@]} -eq 0 ] && harnesses=("${all[@]}")

if ! command -v clang++ > /dev/null; then
  echo "clang++ is needed for libFuzzer (apt-get install clang); the corpora still run as tests in every build" >&2
  exit 1
fi

launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZOR_SANITIZE=ON -DZOR_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link "${launcher[@]}" > /dev/null
targets=()
for h in "${harnesses[@]}"; do targets+=("${h}_fuzzer"); done
nice cmake --build build-fuzz -j "$(( $(nproc) > 4 ? 4 : $(nproc) ))" --target "${targets[@]}"

export DAX_MSGBOX=silent ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

# The longest input a harness is given: the save loader's corpus holds whole
# saves of up to 160 KB, every other harness reads small files.
max_len() {
  case $1 in
    fuzz_save) echo 262144 ;;
    *) echo 8192 ;;
  esac
}

run_one() {
  local h=$1 work=build-fuzz/corpus/$1 out=build-fuzz/findings/$1
  mkdir -p "$work" "$out"
  local rc=0
  nice -n 15 "build-fuzz/tests/fuzz/${h}_fuzzer" "$work" "tests/fuzz/corpus/$h" \
    -max_total_time="$seconds" -timeout=60 -rss_limit_mb=3072 -max_len="$(max_len "$h")" \
    -artifact_prefix="$out/" -print_final_stats=1 > "build-fuzz/findings/$h.log" 2>&1 || rc=$?
  local execs
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "build-fuzz/findings/$h.log" | grep -o '[0-9]*$' || echo "?")
  if [ $rc -eq 0 ]; then
    echo "$h: $execs executions, no finding"
  else
    echo "$h: FINDING (exit $rc), see build-fuzz/findings/$h.log and $out/"
  fi
  return $rc
}

status=0
pids=()
for h in "${harnesses[@]}"; do
  run_one "$h" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$parallel" ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for p in "${pids[@]}"; do wait "$p" || status=1; done

if [ $merge -eq 1 ]; then
  for h in "${harnesses[@]}"; do
    # Edges only (no hit counts) and short inputs: the corpus stays small.
    nice "build-fuzz/tests/fuzz/${h}_fuzzer" -merge=1 -use_counters=0 -max_len=512 "tests/fuzz/corpus/$h" \
      "build-fuzz/corpus/$h" \
      > "build-fuzz/findings/$h.merge.log" 2>&1 || status=1
  done
  echo "new inputs merged into tests/fuzz/corpus/"
fi
exit $status
