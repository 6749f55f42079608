#!/usr/bin/env bash
# fuzz/run.sh TARGET SECONDS — builds the fuzz targets with clang, writes the seed corpora once,
# runs one target for a fixed time and prints its executions and exec/s.
# TARGET: zipreader | descriptionfile | roundtrip | bmpreader. Findings go to build/fuzz/artifacts/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: fuzz/run.sh TARGET SECONDS}
seconds=${2:?usage: fuzz/run.sh TARGET SECONDS}
case "$target" in zipreader|descriptionfile|roundtrip|bmpreader) ;; *) echo "unknown target $target" >&2; exit 2;; esac

build=build/fuzz
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S fuzz -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$build" -j2 --target "fuzz_$target" fuzz_seeds >/dev/null

seeds=$build/seeds
# The seed tool runs once and exits; what it leaks is of no interest.
[ -d "$seeds/$target" ] || ASAN_OPTIONS=detect_leaks=0 "$build/fuzz_seeds" "$seeds"
corpus=$build/corpus/$target
artifacts=$build/artifacts/$target
mkdir -p "$corpus" "$artifacts"
extra=()
[ -d "tests/data/fuzz/$target" ] && extra+=("tests/data/fuzz/$target")
if [ "$target" = zipreader ] && [ -f samples/demo.zip ]; then
  mkdir -p "$build/samples" && cp samples/demo.zip "$build/samples/" && extra+=("$build/samples")
fi

# The description file's tokens serve both targets that read it.
dict=()
case "$target" in descriptionfile|roundtrip) dict=(-dict=fuzz/descriptionfile.dict);; esac

log=$build/$target.log
# Qt warns on stderr about odd input; it is not a finding.
status=0
"$build/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 -max_len=65536 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "${dict[@]}" "$corpus" "$seeds/$target" "${extra[@]}" \
  >"$log" 2>&1 || status=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
echo "fuzz_$target: ${runs:-?} executions in ${seconds}s, ${speed:-?} exec/s, corpus $(ls "$corpus" | wc -l) files"
if [ "$status" -ne 0 ]; then
  echo "fuzz_$target found a fault (exit $status); input in $artifacts/, log $log:" >&2
  grep -m1 -A30 -E "ERROR: |==[0-9]+==|deadly signal" "$log" >&2 || tail -40 "$log" >&2
  exit 1
fi
