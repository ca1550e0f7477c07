#!/usr/bin/env bash
# Installs what is missing, builds, starts kelsor-server (the project's local
# account, identity and OCR services) when it is not running, signs the demo
# account in on the first start, and runs the KelsorOCR desktop client.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh -DKELSOR_REQUIRE_PPOCR=ON
BUILD_DIR="${KELSOR_BUILD_DIR:-build}"
export OMP_THREAD_LIMIT=1
source scripts/chinese-locale.sh
DATA_HOME="${XDG_DATA_HOME:-$HOME/.local/share}"
SERVER_DATA="$DATA_HOME/kelsor-server"
SERVER="$BUILD_DIR/server/kelsor-server"
CLIENT="$BUILD_DIR/shell/KelsorOCR"

# The client's default hosts name the server's default ports; a server that
# answers there is the one to use.
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
if ! listening 18080 || ! listening 18443; then
    mkdir -p "$SERVER_DATA"
    echo "run: starting kelsor-server (data in $SERVER_DATA, log in $SERVER_DATA/server.log)"
    nohup "$SERVER" --data "$SERVER_DATA" >"$SERVER_DATA/server.log" 2>&1 &
    for _ in $(seq 1 600); do
        grep -q "kelsor-server: ready" "$SERVER_DATA/server.log" 2>/dev/null && break
        sleep 0.1
    done
    grep -q "kelsor-server: ready" "$SERVER_DATA/server.log" ||
        { echo "run: kelsor-server did not start; see $SERVER_DATA/server.log" >&2; exit 1; }
    # Which engine recognises (and why not PP-OCR, when it falls back).
    grep "^kelsor-server: engine" "$SERVER_DATA/server.log" | sed 's/^kelsor-server:/run: kelsor-server/'
fi

# Without a saved session the client would start signed out: save one of the
# demo account, which the client then signs in with by itself.
if [ ! -f "$DATA_HOME/KelsorOCR/ud" ]; then
    "$SERVER" demo-session --data "$SERVER_DATA" | "$CLIENT" --write-session
fi

exec "$CLIENT"
