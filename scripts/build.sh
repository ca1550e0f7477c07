#!/usr/bin/env bash
# Configures and builds KelsorOCR into ./build (or $KELSOR_BUILD_DIR).
# Extra arguments go to CMake's configure step, e.g. -DKELSOR_ASAN=ON.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${KELSOR_BUILD_DIR:-build}"
JOBS="${KELSOR_JOBS:-$(nproc)}"
cmake -S . -B "$BUILD_DIR" -G Ninja "$@"
cmake --build "$BUILD_DIR" --parallel "$JOBS"
