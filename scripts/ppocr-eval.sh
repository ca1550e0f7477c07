#!/usr/bin/env bash
# Measures the recognition engines of kelsor-server on an evaluation set built
# from real text: Tang poems and Chinese prose (Debian's fortunes-zh) and
# English quotations (fortunes-min), rendered in several fonts, sizes and line
# counts, screen text, pages turned by a quarter or a half, Chinese set
# vertically (single columns, and pages read right to left with an
# order-sensitive error rate), and single lines cut tight around their ink (0-4 px)
# beside the same lines with 40 px of margin. Prints the character error rate
# (white space ignored) and the time per picture on one thread for each
# engine, and for the single lines both rates, their difference and the time
# per line ("tesseract-as-sent" in --engines: Tesseract without the margin
# it gives text at the edge).
#   scripts/ppocr-eval.sh [--pictures N] [kelsor-ppocr-eval options]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${KELSOR_BUILD_DIR:-build}"
OUT="$BUILD_DIR/ppocr-eval"
FORTUNES=/usr/share/games/fortunes

need=()
for p in fortunes-zh fortunes-min; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ "${#need[@]}" -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

mkdir -p "$OUT"
# Text lines only: colour escapes, separators and indentation removed.
clean() { sed -e 's/\x1b\[[0-9;]*m//g' -e 's/\x1b//g' -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' "$@" \
  | grep -v -e '^%$' -e '^$'; }
clean "$FORTUNES/tang300" >"$OUT/tang300.txt"
# Lines of box-drawing tables are not text.
clean "$FORTUNES/chinese" | LC_ALL=C.UTF-8 grep -v -P '[\x{2500}-\x{257F}]' | awk 'length($0) >= 4 && n++ < 3000' >"$OUT/chinese.txt"
# Classical poetry and modern prose take turns.
paste -d '\n' "$OUT/tang300.txt" "$OUT/chinese.txt" \
  | grep -v '^$' >"$OUT/zh.txt"
clean "$FORTUNES/literature" | grep -v -e '^--' >"$OUT/en.txt"

cmake --build "$BUILD_DIR" --target kelsor-ppocr-eval >/dev/null
# Beside the upright pictures: 24 turned by a quarter or a half, 12 single
# columns boxed a character at a time ("zh-vertical") and 24 pages set
# vertically with titles and footers ("vertical-page", order-sensitive; as
# many again spaced wider and cut tight as "vertical-tight");
# options given to the script override these.
OMP_THREAD_LIMIT=1 "$BUILD_DIR/server/ppocr/eval/kelsor-ppocr-eval" \
  --zh "$OUT/zh.txt" --en "$OUT/en.txt" --turned 24 --vertical 12 --vertical-pages 24 "$@"

# Reading order and paragraphs on rendered column pages (and the single-column
# pictures above): order-sensitive error rate as the engines order the lines
# and as page-wide rows did, paragraph breaks of "编辑优先", ordering's share
# of the engine's time.
cmake --build "$BUILD_DIR" --target kelsor-layout-eval >/dev/null
OMP_THREAD_LIMIT=1 "$BUILD_DIR/server/ppocr/eval/kelsor-layout-eval" \
  --zh "$OUT/zh.txt" --en "$OUT/en.txt" --pictures 12 --pages 16
