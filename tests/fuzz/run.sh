#!/usr/bin/env bash
# Builds the native fuzz targets into BUILD_DIR/fuzz and runs each over its corpus for a bounded time.
set -euo pipefail
# Any crash, leak or timeout fails the run, naming the target and where its input was kept.
if [ $# -ne 1 ]; then
  echo "usage: run.sh BUILD_DIR" >&2
  exit 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)/fuzz
seconds=${FUZZ_SECONDS_PER_TARGET:-10}  # six targets: about a minute in all

for tool in clang clang++ cmake; do
  command -v "$tool" >/dev/null || { echo "fuzz: $tool is missing (tools/setup installs it)" >&2; exit 1; }
done
mkdir -p "$out"
CC=clang CXX=clang++ cmake -S "$here" -B "$out" -DCMAKE_BUILD_TYPE=Debug >"$out/configure.log" 2>&1 ||
  { cat "$out/configure.log" >&2; echo "fuzz: configuring failed" >&2; exit 1; }
cmake --build "$out" -j"$(nproc)" >"$out/build.log" 2>&1 ||
  { cat "$out/build.log" >&2; echo "fuzz: building failed" >&2; exit 1; }

# libFuzzer adds what it finds to the corpus it runs over: a scratch copy, not the repository's.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
for exe in "$out"/*_fuzz; do
  name=$(basename "$exe" _fuzz)
  findings=$out/findings/$name
  rm -rf "$findings"
  mkdir -p "$findings" "$scratch/$name"
  cp "$here/corpus/$name/"* "$scratch/$name/"
  log=$out/$name.log
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
     "$exe" "$scratch/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz: $name ok (${runs:-?} runs in ${seconds}s)"
  else
    failed=1
    tail -n 40 "$log" >&2
    kept=$(ls -d "$findings"/* 2>/dev/null | tr '\n' ' ')
    echo "fuzz: $name FAILED; log $log; input kept in: ${kept:-none}; rerun: $exe INPUT" >&2
  fi
done
exit "$failed"
