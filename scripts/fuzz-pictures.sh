#!/usr/bin/env bash
# Builds the picture fuzzer with clang into ./build-fuzz and runs it on the
# seed corpus of tests/jobs/fuzz_corpus (regenerate that with
# scripts/make-fuzz-corpus.py). Crashes land in build-fuzz/fuzz-artifacts/.
#
#   scripts/fuzz-pictures.sh            # ten minutes
#   scripts/fuzz-pictures.sh 60 -jobs=2 # one minute, extra libFuzzer flags
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${KELSOR_FUZZ_BUILD_DIR:-build-fuzz}"
RUN_SECONDS="${1:-600}"
shift || true
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DKELSOR_FUZZ=ON -DKELSOR_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" --target jobs_picture_fuzzer --parallel "${KELSOR_JOBS:-2}"
mkdir -p "$BUILD_DIR/fuzz-corpus" "$BUILD_DIR/fuzz-artifacts"
exec "$BUILD_DIR/tests/jobs/jobs_picture_fuzzer" \
    -max_total_time="$RUN_SECONDS" -timeout=10 -close_fd_mask=2 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$BUILD_DIR/fuzz-artifacts/" "$@" \
    "$BUILD_DIR/fuzz-corpus" tests/jobs/fuzz_corpus
