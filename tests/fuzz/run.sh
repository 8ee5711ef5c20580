#!/usr/bin/env bash
# Builds the settings file's fuzzer (clang, libFuzzer, ASan, UBSan) in a folder of its own and runs it for a bounded
# time on its corpus.   run.sh [SECONDS] [BUILD_DIR]
set -euo pipefail
seconds=${1:-30}
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$(mkdir -p "${2:-$root/build-fuzz}" && cd "${2:-$root/build-fuzz}" && pwd)
CXX=clang++ cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDAHDIT_FUZZ=ON -DBUILD_TESTING=OFF \
    >"$out/configure.log" || { cat "$out/configure.log"; exit 1; }
cmake --build "$out" --target fuzz_settings
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT # the fuzzer runs in a scratch folder
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$out/corpus"
echo "== fuzz_settings for ${seconds}s"
(cd "$work" && "$out/tests/fuzz/fuzz_settings" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -artifact_prefix="$out/crash-" -print_final_stats=1 "$out/corpus" 2>"$out/fuzz.log") ||
    { tail -40 "$out/fuzz.log"; exit 1; }
grep -E "^stat::(number_of_executed_units|new_units_added)|DONE" "$out/fuzz.log" || true
