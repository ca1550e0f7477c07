#!/usr/bin/env bash
# Checks a built KelsorOCR .deb: its file list, the launcher and metainfo
# validators, lintian (when installed), that every link in it resolves inside
# the package (the build tree is on no other machine), and, unpacked into a
# temporary root, that its kelsor-server starts and answers and its client
# shows the main window under Xvfb.
#   scripts/check-package.sh build/package/kelsorocr_*.deb
#   scripts/check-package.sh --links <root>   # only the link check, e.g. on
#                                             # a DESTDIR of `cmake --install`
set -euo pipefail

# Every symbolic link under the root $1 names a file inside that root, as an
# installed system would read it (an absolute target starts at the root).
check_links() {
    local root link target resolved faults=0
    root="$(realpath "$1")"
    while IFS= read -r -d '' link; do
        target="$(readlink "$link")"
        if [[ "$target" == /* ]]; then
            resolved="$root$target"
        else
            resolved="$(dirname "$link")/$target"
        fi
        resolved="$(realpath -s -m "$resolved")"
        if [[ "$resolved" != "$root"/* || ! -e "$resolved" ]]; then
            echo "check-package: ${link#"$root"} -> $target does not resolve inside the package" >&2
            faults=1
        fi
    done < <(find "$root" -type l -print0)
    [[ $faults -eq 0 ]] && echo "check-package: every link resolves inside the package"
    return $faults
}

if [[ "${1:-}" == --links ]]; then
    check_links "$2"
    exit $?
fi

DEB="$(realpath "$1")"
ROOT="$(mktemp -d)"
trap 'kill "${SERVER_PID:-}" "${CLIENT_PID:-}" 2>/dev/null || true; rm -rf "$ROOT"' EXIT

dpkg-deb -c "$DEB" >"$ROOT/list.txt"
for path in usr/bin/KelsorOCR usr/bin/kelsor-ocr usr/share/man/man1/kelsor-ocr.1.gz usr/bin/kelsor-server usr/libexec/kelsorocr/KelsorOCR \
    usr/libexec/kelsorocr/KelsorOCRUpdate usr/libexec/kelsorocr/KelsorOCRStats \
    usr/libexec/kelsorocr/libkelsorocr-web.so \
    usr/share/kelsorocr/www/ usr/share/kelsorocr/models/ch_PP-OCRv4_rec_infer.onnx \
    usr/lib/kelsorocr/libonnxruntime.so.1 usr/share/applications/io.kelsor.KelsorOCR.desktop \
    usr/share/icons/hicolor/256x256/apps/io.kelsor.KelsorOCR.png \
    usr/share/metainfo/io.kelsor.KelsorOCR.metainfo.xml usr/lib/systemd/user/kelsor-server.service; do
    grep -q " \./$path" "$ROOT/list.txt" || { echo "check-package: $path missing" >&2; exit 1; }
done
echo "check-package: file list complete"
dpkg-deb -f "$DEB" Depends

dpkg-deb -x "$DEB" "$ROOT/root"
check_links "$ROOT/root"
desktop-file-validate "$ROOT/root/usr/share/applications/io.kelsor.KelsorOCR.desktop"
appstreamcli validate --no-net "$ROOT/root/usr/share/metainfo/io.kelsor.KelsorOCR.metainfo.xml"
if command -v lintian >/dev/null; then
    lintian --fail-on error "$DEB"
else
    echo "check-package: lintian not installed, skipped"
fi

# The unpacked server with its own data folder and free ports.
export XDG_DATA_HOME="$ROOT/data" XDG_RUNTIME_DIR="$ROOT/runtime" OMP_THREAD_LIMIT=1
mkdir -p "$XDG_RUNTIME_DIR"
"$ROOT/root/usr/bin/kelsor-server" --data "$XDG_DATA_HOME/kelsor-server" --cloud-port 0 --account-port 0 --engines 1 >"$ROOT/server.log" 2>&1 &
SERVER_PID=$!
for _ in $(seq 1 300); do grep -q "ready" "$ROOT/server.log" && break; sleep 0.1; done
grep "engine\|ready" "$ROOT/server.log"
PORT=$(sed -n 's/^kelsor-server: account http port //p' "$ROOT/server.log")
curl -fsS "http://127.0.0.1:$PORT/healthz" >/dev/null
curl -fsS "http://127.0.0.1:$PORT/" | grep -q "KelsorOCR" # pages found beside the program
echo "check-package: kelsor-server answers on port $PORT"

export KELSOR_API_HOST="api.kelsor.localhost:$PORT" QTWEBENGINE_DISABLE_SANDBOX=1
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    "$0" & pid=$!
    for _ in $(seq 1 100); do
        xdotool search --name "KelsorOCR文字识别" >/dev/null 2>&1 && { echo "check-package: main window shown"; kill $pid; exit 0; }
        sleep 0.2
    done
    kill $pid; echo "check-package: no main window" >&2; exit 1' "$ROOT/root/usr/bin/KelsorOCR"
