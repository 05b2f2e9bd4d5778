#!/usr/bin/env bash
# Installs what the project needs, builds it, starts the reference service on 127.0.0.1 with
# a seeded data folder, then the reader with its built-in defaults (the library database
# beside the program, the service on 127.0.0.1:8086); the service stops when the reader exits.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLMERE_BUILD_DIR:-$root/build}"
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"

data="${QUILLMERE_SERVER_DATA:-$build/server-data}"
listen="${QUILLMERE_SERVER_LISTEN:-127.0.0.1:8086}"
server="$build/bin/quillmere-server"
# Fills the data folder with the demo catalogue and account the first time; later runs keep it.
"$server" --data "$data" --listen "$listen" seed-demo

log="$data/server.log"
"$server" --data "$data" --listen "$listen" >"$log" 2>&1 &
server_pid=$!
stop_server() {
    if kill -0 "$server_pid" 2>/dev/null; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
}
trap stop_server EXIT
trap 'exit 130' INT TERM HUP
for _ in $(seq 1 100); do
    grep -q serving "$log" 2>/dev/null && break
    if ! kill -0 "$server_pid" 2>/dev/null; then
        echo "run: the service did not start (see $log); the reader starts without it" >&2
        break
    fi
    sleep 0.1
done

# The web engine refuses its sandbox when run as root.
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
status=0
"$build/bin/Quillmere" "$@" || status=$?
exit "$status"
