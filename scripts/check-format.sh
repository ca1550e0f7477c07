#!/usr/bin/env bash
# Fails when a tracked C or C++ file is not formatted as the committed
# .clang-format says; prints the places. Usage: check-format.sh [source-dir]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
CLANG_FORMAT="${CLANG_FORMAT:-clang-format}"
# Files deleted in the working tree but still in the index are skipped.
git ls-files -z -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' \
    | while IFS= read -r -d '' file; do [ -f "$file" ] && printf '%s\0' "$file"; done \
    | xargs -0 -r "$CLANG_FORMAT" --dry-run --Werror
