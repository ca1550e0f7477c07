#!/usr/bin/env bash
# Installs what is missing, builds, and runs KelsorOCR against the project's
# own local services (kelsor-server), which it starts when they are not running.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
BUILD_DIR="${KELSOR_BUILD_DIR:-build}"
export OMP_THREAD_LIMIT=1

if [ -x "$BUILD_DIR/server/kelsor-server" ]; then
    if ! pgrep -x kelsor-server >/dev/null; then
        DATA="${XDG_DATA_HOME:-$HOME/.local/share}/kelsor-server"
        mkdir -p "$DATA"
        echo "run: starting kelsor-server (data in $DATA, log in $DATA/server.log)"
        nohup "$BUILD_DIR/server/kelsor-server" --data "$DATA" >"$DATA/server.log" 2>&1 &
        sleep 1
    fi
fi

exec "$BUILD_DIR/app/KelsorOCR" "$@"
