#!/usr/bin/env bash
# Installs what is missing, builds and runs every test. Extra arguments go to
# ctest, e.g. `scripts/test.sh -R '^cloud\.'` for one subsystem; arguments for
# CMake's configure step come from KELSOR_BUILD_ARGS (e.g. -DKELSOR_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# shellcheck disable=SC2086 # several CMake arguments, split on spaces
bash scripts/build.sh -DKELSOR_REQUIRE_PPOCR=ON ${KELSOR_BUILD_ARGS:-}
BUILD_DIR="${KELSOR_BUILD_DIR:-build}"
# Recognition engines use one thread each; the GUI tests that need a real X
# server find one through DISPLAY, all others run offscreen.
export OMP_THREAD_LIMIT=1
source scripts/chinese-locale.sh
exec xvfb-run -a -s "-screen 0 1920x1080x24" \
    ctest --test-dir "$BUILD_DIR" --output-on-failure --parallel "${KELSOR_TEST_JOBS:-2}" "$@"
