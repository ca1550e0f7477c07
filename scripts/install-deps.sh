#!/usr/bin/env bash
# Installs every Debian package (and the npm packages of the local OCR engine)
# that building, running and testing KelsorOCR needs. Safe to run repeatedly.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-svg-dev qt6-tools-dev-tools libqt6svg6
  qt6-l10n-tools libgl-dev libxkbcommon-dev libx11-dev libxcb1-dev libx11-xcb-dev
  libtesseract-dev tesseract-ocr tesseract-ocr-eng tesseract-ocr-chi-sim
  libfreeimage-dev libcrypto++-dev libjsoncpp-dev libevent-dev libpoppler-qt6-dev qpdf libqpdf-dev
  libcurl4-openssl-dev libcpp-httplib-dev libssl-dev openssl libminizip-dev zip libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev libopencv-dev
  fortunes-zh fortunes-min
  fonts-noto-cjk xvfb xauth xdotool x11-utils imagemagick xdg-user-dirs xdg-utils python3
  qt6-translations-l10n desktop-file-utils appstream
)
# The desktop tests run the windows under a stacking and a tiling window
# manager, with the program's icon in a real X tray.
PACKAGES+=(openbox i3-wm trayer)
# kelsor-ocr --pdf reads a photo's JPEG header to carry the photo as it is.
PACKAGES+=(libjpeg-dev)
# Codes are read by zxing-cpp; the tests draw theirs with qrencode and zint.
PACKAGES+=(libzxing-dev qrencode zint)
# The Wayland capture: the client's D-Bus and xkb names, and a headless sway
# session with PipeWire and the desktop portal (wlr backend; the gtk backend
# makes Debian's portal offer Screenshot) for its test.
PACKAGES+=(
  qt6-wayland libwayland-dev sway grim wtype dbus dbus-bin pipewire
  xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk util-linux
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# The engine's models come from the npm registry. Debian's npm only when no
# npm is there: a machine with Node.js from elsewhere has its own npm, which
# Debian's package conflicts with.
if ! command -v npm >/dev/null 2>&1; then
  PACKAGES+=(npm)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "install-deps: all Debian packages present"
fi
bash "$(dirname "$0")/install-npm-deps.sh"
