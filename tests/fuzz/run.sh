#!/usr/bin/env bash
# Builds the fuzzers with clang and libFuzzer (address and undefined sanitizers on) and runs each
# for a bounded time.   tests/fuzz/run.sh [SECONDS] [BUILD_DIR]
# The bundled database is taken from DAHDIT_PROGRAM_DIR (a built program folder), by default
# build/program.
set -euo pipefail
seconds=${1:-30}
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${2:-$root/build-fuzz}
program_dir=${DAHDIT_PROGRAM_DIR:-$root/build/program}
mkdir -p "$out"
out=$(cd "$out" && pwd) # the fuzzers run in a scratch folder

# The fuzzers are CMake targets of a build of their own, with clang, libFuzzer and the sanitizers.
CXX=clang++ cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDAHDIT_FUZZ=ON -DBUILD_TESTING=OFF \
    >"$out/configure.log" || { cat "$out/configure.log"; exit 1; }
cmake --build "$out" --target fuzz_settings fuzz_decoder

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$program_dir/dahdit_db.mdb" "$work/db.sqlite"
export DAHDIT_FUZZ_DB="$work/db.sqlite"
# A leak fails a run like any other fault the sanitizers find.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
for name in fuzz_settings fuzz_decoder; do
    corpus="$out/corpus-$name"
    mkdir -p "$corpus"
    echo "== $name for ${seconds}s"
    if ! (cd "$work" && "$out/tests/fuzz/$name" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
              -artifact_prefix="$out/crash-$name-" -print_final_stats=1 "$corpus" 2>"$out/$name.log"); then
        status=1
        tail -40 "$out/$name.log"
    fi
    grep -E "^(stat::number_of_executed_units|stat::new_units_added|#[0-9]+ +DONE)" "$out/$name.log" || true
    grep -E "DONE" "$out/$name.log" | tail -1 || true
done
exit $status
