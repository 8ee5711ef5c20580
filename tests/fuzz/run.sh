#!/usr/bin/env bash
# Builds the fuzzers (clang, libFuzzer, ASan, UBSan) in a folder of their own and runs each for a bounded time on
# its corpus; the decoder's reads DAHDIT_PROGRAM_DIR's database (default build/program).   run.sh [SECONDS] [BUILD_DIR]
set -euo pipefail
seconds=${1:-30}
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$(mkdir -p "${2:-$root/build-fuzz}" && cd "${2:-$root/build-fuzz}" && pwd) # the fuzzers run in a scratch folder
CXX=clang++ cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDAHDIT_FUZZ=ON -DBUILD_TESTING=OFF \
    >"$out/configure.log" || { cat "$out/configure.log"; exit 1; }
cmake --build "$out" --target fuzz_settings fuzz_decoder
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "${DAHDIT_PROGRAM_DIR:-$root/build/program}/dahdit_db.mdb" "$work/db.sqlite"
export DAHDIT_FUZZ_DB="$work/db.sqlite" ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
    UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for name in fuzz_settings fuzz_decoder; do
    mkdir -p "$out/corpus-$name"
    echo "== $name for ${seconds}s"
    (cd "$work" && "$out/tests/fuzz/$name" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
        -artifact_prefix="$out/crash-$name-" -print_final_stats=1 "$out/corpus-$name" 2>"$out/$name.log") ||
        { status=1; tail -40 "$out/$name.log"; }
    grep -E "^stat::(number_of_executed_units|new_units_added)|DONE" "$out/$name.log" || true
done
exit $status
