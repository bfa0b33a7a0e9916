#!/usr/bin/env bash
# Builds the fuzzers with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in
# build-fuzz and runs each for FUZZ_SECONDS (default 60). Inputs that crash, leak, time out or
# run out of memory are copied to fuzz/regressions/<reader>/, where a unit test replays them.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-fuzz
seconds="${FUZZ_SECONDS:-60}"
targets=(cursor_file picture_file)

if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ -DSHATTER_FUZZ=ON \
        -DSHATTER_BUILD_TESTS=OFF -DSHATTER_BUILD_BENCH=OFF >/dev/null
fi
# The program itself too, so clang checks every source of it with -Werror.
cmake --build "$build" -j2 --target fuzz_cursor_file fuzz_picture_file fuzz_seed_writer shatter_data shatter

# Seeds: small files of every kind made in code, the program's own data files, earlier finds.
seeds="$build/fuzz/seeds"
rm -rf "$seeds"
QT_QPA_PLATFORM=offscreen "$build/fuzz/fuzz_seed_writer" "$seeds"
cp "$build"/Pic/Icon\&Cursor/*.cur "$seeds/cursor/"
cp "$build"/Pic/Image/* "$build"/Pic/Icon\&Cursor/*.cur "$build/shatter.ico" "$seeds/picture/"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen
# The decoders' complaints about broken files are expected by the thousand.
export QT_LOGGING_RULES="qt.gui.imageio*=false"

status=0
summary=()
for t in "${targets[@]}"; do
    kind="${t%_file}"
    corpus="$build/fuzz/corpus/$kind"
    artifacts="$build/fuzz/artifacts/$kind"
    log="$build/fuzz/$t.log"
    kept="fuzz/regressions/$kind"
    mkdir -p "$corpus" "$artifacts" "$kept"
    echo "== fuzz_$t for $seconds s"
    rc=0
    nice "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -malloc_limit_mb=1024 -timeout=30 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$corpus" "$seeds/$kind" "$kept" >"$log" 2>&1 || rc=$?
    found=0
    for f in "$artifacts"/*; do
        [ -f "$f" ] || continue
        cp "$f" "$kept/"
        echo "   kept $kept/$(basename "$f")"
        found=$((found + 1))
    done
    rm -f "$artifacts"/*
    # The last progress line carries the coverage and the corpus size.
    done_line="$(grep -E '^#[0-9]+[[:space:]].*cov:' "$log" | tail -n 1 | tr -s '\t ' ' ' || true)"
    execs="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
    summary+=("fuzz_$t: ${execs:-?} execs/s; ${done_line:-no progress line, see $log}; $found new finds")
    if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
        echo "   fuzz_$t stopped with status $rc; the log is $log" >&2
        tail -n 40 "$log" >&2
        status=1
    fi
done

echo "== summary"
printf '%s\n' "${summary[@]}"
exit "$status"
