#!/usr/bin/env bash
# Load figures of the reference service on loopback: 10,000 catalogue books and 1,000 users,
# catalogue list and search driven by wrk at 32 connections, then 200 concurrent
# registrations and 200 concurrent logins checked for lost or duplicated accounts.
# With --instances N: the same catalogue load through HAProxy, first with one instance behind
# it, then with N, all on one throwaway PostgreSQL cluster (initdb into a temporary folder, as
# the user nobody when run as root), printing both.
# Usage: bash bench/server_load.sh [--instances N] [BUILD_DIR]   (every request goes to 127.0.0.1 only)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
instances=""
if [ "${1:-}" = "--instances" ]; then
    instances="${2:?--instances wants a number}"
    shift 2
fi
build="${1:-${QUILLMERE_BUILD_DIR:-$root/build}}"
server="$build/bin/quillmere-server"
duration="${BENCH_SECONDS:-10}"
[ -x "$server" ] || { echo "server_load: build quillmere-server first ($server)" >&2; exit 1; }
command -v wrk >/dev/null || { echo "server_load: wrk is not installed" >&2; exit 1; }

work="$(mktemp -d)"
chmod 755 "$work"
taken=""
free_port() {
    local candidate
    for candidate in $(seq 18100 18299); do
        case " $taken " in *" $candidate "*) continue ;; esac
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
            taken="$taken $candidate"
            echo "$candidate"
            return
        fi
    done
    echo "server_load: no free port" >&2
    exit 1
}
pids=()
pg_bin=/usr/lib/postgresql/15/bin
as_db_user() { if [ "$(id -u)" = 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi; }
cleanup() {
    set +e
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
    [ -f "$work/pg/data/postmaster.pid" ] && as_db_user "$pg_bin/pg_ctl" -D "$work/pg/data" -m immediate -w stop >/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

start_server() { # LOG ARGS...
    local log=$1
    shift
    "$server" "$@" >"$log" 2>&1 &
    pids+=($!)
    for _ in $(seq 1 100); do grep -q serving "$log" && return; sleep 0.1; done
    echo "server_load: the service did not start:" >&2
    cat "$log" >&2
    exit 1
}

if [ -n "$instances" ]; then
    command -v haproxy >/dev/null || { echo "server_load: haproxy is not installed" >&2; exit 1; }
    [ -x "$pg_bin/initdb" ] || { echo "server_load: PostgreSQL 15 is not installed" >&2; exit 1; }
    mkdir "$work/pg"
    [ "$(id -u)" = 0 ] && chown nobody "$work/pg"
    pg_port=$(free_port)
    as_db_user "$pg_bin/initdb" -D "$work/pg/data" -U quillmere --auth=trust -E UTF8 --locale=C.UTF-8 >/dev/null
    as_db_user "$pg_bin/pg_ctl" -D "$work/pg/data" -l "$work/pg/log" -w \
        -o "-k $work/pg -p $pg_port -h 127.0.0.1 -c max_connections=200" start >/dev/null
    database="postgresql://quillmere@127.0.0.1:$pg_port/postgres"
    "$server" --data "$work/data" --database "$database" seed-bench 10000 1000
    backends=()
    for i in $(seq 1 "$instances"); do
        backends+=("$(free_port)")
        start_server "$work/server$i.log" --data "$work/data" --database "$database" \
            --listen "127.0.0.1:${backends[-1]}" --trusted-proxy 127.0.0.1
    done
    front=$(free_port)
    base="http://127.0.0.1:$front"
else
    port=$(free_port)
    base="http://127.0.0.1:$port"
    "$server" --data "$work/data" seed-bench 10000 1000
    start_server "$work/server.log" --data "$work/data" --listen "127.0.0.1:$port"
fi

# Requests rotate over every category and 50 pages, and over search words.
cat >"$work/list.lua" <<'LUA'
local types = {"%E5%85%A8%E9%83%A8%E8%B5%84%E6%BA%90", "%E6%AD%A6%E4%BE%A0%E4%BB%99%E4%BE%A0",
  "%E7%8E%84%E5%B9%BB%E4%BF%AE%E7%9C%9F", "%E9%83%BD%E5%B8%82%E8%A8%80%E6%83%85",
  "%E6%B8%B8%E6%88%8F%E5%8A%A8%E6%BC%AB", "%E5%8E%86%E5%8F%B2%E5%86%9B%E4%BA%8B"}
local n = 0
request = function()
  n = n + 1
  return wrk.format("GET", "/readerserver/listbook.asp?action=list&type=" .. types[n % #types + 1] ..
    "&page=" .. (n % 50 + 1) .. "&rnt=2026-12-8%2010:00:00")
end
LUA
cat >"$work/search.lua" <<'LUA'
local words = {"%E5%89%91", "%E4%BB%99", "%E5%9F%8E", "%E6%98%9F", "%E6%A2%A6", "%E9%9B%AA", "%E9%BE%99", "%E9%A3%8E"}
local n = 0
request = function()
  n = n + 1
  return wrk.format("GET", "/readerserver/listbook.asp?action=search&key=" .. words[n % #words + 1] ..
    "%E4%BC%A0%E8%AF%B4" .. (n % 100) .. "&page=" .. (n % 3 + 1) .. "&rnt=x")
end
LUA
# Every request a different word: no reply can come from the service's reply cache.
cat >"$work/search-uncached.lua" <<'LUA'
local n = 0
request = function()
  n = n + 1
  return wrk.format("GET", "/readerserver/listbook.asp?action=search&key=%E4%BD%9C%E8%80%85" .. n .. "&rnt=x")
end
LUA

run_wrk() {
    local label=$1 script=$2
    local out
    out="$(wrk -t2 -c32 -d"${duration}s" --latency -s "$script" "$base/" 2>&1)"
    local rps p99 errors
    rps="$(awk '/Requests\/sec/ {print $2}' <<<"$out")"
    p99="$(awk '$1 == "99%" {print $2}' <<<"$out")"
    errors="$(grep -E 'Non-2xx|Socket errors' <<<"$out" | tr '\n' ' ' || true)"
    printf '%-28s %10s req/s   p99 %8s   %s\n' "$label" "$rps" "$p99" "${errors:-no errors}"
}

catalogue() {
    run_wrk "list (category, page)" "$work/list.lua"
    run_wrk "search (rotating words)" "$work/search.lua"
    run_wrk "search (every word new)" "$work/search-uncached.lua"
}

# HAProxy in front of the first COUNT instances, as deploy/haproxy.cfg has it.
proxy_pid=""
start_proxy() { # COUNT
    if [ -n "$proxy_pid" ]; then kill "$proxy_pid" 2>/dev/null; wait "$proxy_pid" 2>/dev/null || true; fi
    {
        printf 'global\n  maxconn 4000\ndefaults\n  mode http\n  timeout connect 5s\n'
        printf '  timeout client 60s\n  timeout server 60s\n  option forwardfor\n'
        printf 'frontend quillmere\n  bind 127.0.0.1:%s\n  default_backend instances\n' "$front"
        printf 'backend instances\n  balance roundrobin\n  option httpchk GET /healthz\n'
        for i in $(seq 1 "$1"); do
            printf '  server i%s 127.0.0.1:%s check inter 2s\n' "$i" "${backends[$((i - 1))]}"
        done
    } >"$work/haproxy.cfg"
    haproxy -db -f "$work/haproxy.cfg" >"$work/haproxy.log" 2>&1 &
    proxy_pid=$!
    pids+=("$proxy_pid")
    for _ in $(seq 1 100); do curl -sf "$base/healthz" >/dev/null && return; sleep 0.1; done
    echo "server_load: haproxy did not start:" >&2
    cat "$work/haproxy.log" >&2
    exit 1
}

if [ -n "$instances" ]; then
    echo "== catalogue on PostgreSQL through HAProxy, 10000 books, wrk 2 threads, 32 connections, ${duration}s each"
    echo "-- 1 instance"
    start_proxy 1
    catalogue
    echo "-- $instances instances"
    start_proxy "$instances"
    catalogue
else
    echo "== catalogue, 10000 books, wrk 2 threads, 32 connections, ${duration}s each"
    catalogue
fi

echo "== accounts, 1000 existing users${instances:+, through HAProxy to $instances instances}"
export base
register() {
    curl -s -X POST --data "action=reg&username=load$1&userpass=%61%62%63%31%32%33&email=a%40b%2Ecom&sex=%C4%D0" \
        "$base/readerserver/userinfo.asp"
    echo
}
login() {
    curl -s "$base/readerserver/userinfo.asp?action=login&username=load$1&password=abc123&cookies=0"
    echo
}
export -f register login
start=$(date +%s.%N)
reg_ok=$(seq -w 1 200 | xargs -P 200 -I{} bash -c 'register {}' | grep -c '<logininfo>1|' || true)
reg_time=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {print b - a}')
start=$(date +%s.%N)
login_ok=$(seq -w 1 200 | xargs -P 200 -I{} bash -c 'login {}' | grep -c '<logininfo>1|' || true)
login_time=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {print b - a}')
same_ok=$(seq 1 20 | xargs -P 20 -I{} bash -c 'register 999' | grep -c '<logininfo>1|' || true)
count_accounts="SELECT COUNT(*), COUNT(DISTINCT name) FROM users WHERE name LIKE 'load%'"
if [ -n "$instances" ]; then
    read -r stored distinct < <(psql -h 127.0.0.1 -p "$pg_port" -U quillmere -d postgres -At -F ' ' -c "$count_accounts")
else
    read -r stored distinct < <(sqlite3 -separator ' ' "$work/data/service.db" "$count_accounts")
fi
printf '200 concurrent registrations  %3d accepted in %.1f s\n' "$reg_ok" "$reg_time"
printf '200 concurrent logins         %3d accepted in %.1f s\n' "$login_ok" "$login_time"
printf '20 concurrent of one name     %3d accepted\n' "$same_ok"
printf 'accounts stored               %3d (%d distinct; expected 201)\n' "$stored" "$distinct"
if [ "$reg_ok" -eq 200 ] && [ "$login_ok" -eq 200 ] && [ "$same_ok" -eq 1 ] && [ "$stored" -eq 201 ] &&
    [ "$distinct" -eq 201 ]; then
    echo "accounts: no lost or duplicated account"
else
    echo "accounts: MISMATCH" >&2
    exit 1
fi
