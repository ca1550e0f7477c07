#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into ./build-fuzz (AddressSanitizer
# and UndefinedBehaviorSanitizer, every library of the tree instrumented for
# coverage) and runs one target, or all of them side by side.
#
#   scripts/fuzz.sh list                          # the targets there are
#   scripts/fuzz.sh cloud_reply_fuzzer 60 -jobs=2 # one target, one minute, extra libFuzzer flags
#   scripts/fuzz.sh all [seconds]                 # every target at once (nice 19), ten minutes
#
# The targets are every executable named *_fuzzer in the fuzz build. The
# convention they keep (kelsor_add_fuzzer in tests/CMakeLists.txt): target
# <sub>_<name>_fuzzer is built in build-fuzz/tests/<sub>/ and its committed
# seed corpus is tests/<sub>/fuzz/<name>_corpus/. What a run adds to the
# corpus goes to build-fuzz/fuzz-corpus/<target>/, crashes to
# build-fuzz/fuzz-artifacts/<target>/, the output of "all" to
# build-fuzz/fuzz-logs/<target>.log. Copy the input of every mended crash
# into the committed corpus, so that the test <sub>.fuzz.<name> keeps
# checking it.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${KELSOR_FUZZ_BUILD_DIR:-build-fuzz}"
TARGET="${1:-all}"
RUN_SECONDS="${2:-600}"
shift $(( $# < 2 ? $# : 2 ))
SANITIZE="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
# Programs the build itself runs must not fail on their leaks.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"

CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DKELSOR_FUZZ=ON -DKELSOR_BUILD_BENCH=OFF \
    -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link $SANITIZE" \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link $SANITIZE" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null

all_targets() {
    # Ninja's phony target per executable; its helper targets start with "cmake_".
    ninja -C "$BUILD_DIR" -t targets all | sed -n 's/^\([A-Za-z0-9_]*_fuzzer\): phony$/\1/p' |
        grep -v '^cmake_' | sort -u
}

if [[ "$TARGET" == list ]]; then
    all_targets
    exit 0
fi
if [[ "$TARGET" == all ]]; then
    mapfile -t targets < <(all_targets)
else
    targets=("$TARGET")
fi
cmake --build "$BUILD_DIR" --parallel "${KELSOR_JOBS:-2}" --target "${targets[@]}"
unset ASAN_OPTIONS

# Runs one built target in the foreground: its seed corpus by the convention
# above, a working corpus of its own beside.
run_one() {
    local exe name sub rel corpus
    exe="$(find "$BUILD_DIR" -type f -perm -u+x -name "$1" | head -n 1)"
    [[ -n "$exe" ]] || { echo "no executable $1 in $BUILD_DIR" >&2; return 1; }
    rel="$(dirname "${exe#"$BUILD_DIR"/}")"
    sub="$(basename "$rel")"
    name="${1#"${sub}"_}"
    name="${name%_fuzzer}"
    corpus="$rel/fuzz/${name}_corpus"
    [[ -d "$corpus" ]] || echo "note: no seed corpus at $corpus" >&2
    mkdir -p "$BUILD_DIR/fuzz-corpus/$1" "$BUILD_DIR/fuzz-artifacts/$1"
    shift
    # stderr closed: the image libraries warn on every damaged input; the
    # reports of crashes and sanitizers still come through.
    "$exe" -max_total_time="$RUN_SECONDS" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -close_fd_mask=2 \
        -artifact_prefix="$BUILD_DIR/fuzz-artifacts/${exe##*/}/" "$@" \
        "$BUILD_DIR/fuzz-corpus/${exe##*/}" $( [[ -d "$corpus" ]] && echo "$corpus" )
}

if [[ ${#targets[@]} -eq 1 ]]; then
    run_one "${targets[0]}" "$@"
    exit $?
fi
mkdir -p "$BUILD_DIR/fuzz-logs"
declare -A pids
for t in "${targets[@]}"; do
    ( nice -n 19 bash -c "$(declare -f run_one); BUILD_DIR='$BUILD_DIR' RUN_SECONDS='$RUN_SECONDS' run_one $t $*" \
        >"$BUILD_DIR/fuzz-logs/$t.log" 2>&1 ) &
    pids[$t]=$!
done
status=0
for t in "${targets[@]}"; do
    if wait "${pids[$t]}"; then result=ok; else result=FAILED; status=1; fi
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$BUILD_DIR/fuzz-logs/$t.log" | tail -n 1)"
    echo "$t: $result, ${runs:-?} executions (log: $BUILD_DIR/fuzz-logs/$t.log)"
done
exit $status
