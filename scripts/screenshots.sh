#!/usr/bin/env bash
# Photographs the reader: the bookshelf page, the reading page with a chapter open (and
# once more searching it), the book dialog, the settings page and the online page, saved as
# PNG files into the folder given as the first argument; then the reading page and the
# bookshelf in each theme (theme-*.png).
# The reader runs under xvfb-run with a temporary home whose shelf holds a few novels; unless
# QUILLMERE_SERVICE names a service, the online page shows the demo catalogue of a reference
# service started for the tour on a free loopback port.
set -euo pipefail
out="${1:?usage: scripts/screenshots.sh <output folder>}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUILLMERE_BUILD_DIR:-$root/build}"
novels="${QUILLMERE_TESTDATA_DIR:-$root/../shared/testdata}/novels"
reader="$build/bin/Quillmere"

[ -x "$reader" ] || { echo "screenshots: $reader not built (run scripts/build.sh)" >&2; exit 1; }
[ -d "$novels" ] || { echo "screenshots: no novels in $novels" >&2; exit 1; }
mkdir -p "$out"
out="$(cd "$out" && pwd)"

home="$(mktemp -d)"
server_pid=""
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$home"
}
trap cleanup EXIT
mkdir -p "$home/DataFile" "$home/TxtBook"
cp "$build/bin/Reader.html" "$build/bin/Reader.js" "$home/"

# A shelf of four books, the last added (shown first and opened by the tour) last here.
sql="$(mktemp)"
cat "$root/resources/schema.sql" > "$sql"
add() { # category, title, author, file
    local path="$novels/$4"
    [ -f "$path" ] || return 0
    printf "INSERT INTO BookList(type,name,author,path,marke) VALUES('%s','%s','%s','%s','Null');\n" \
        "$1" "$2" "$3" "${path//\'/\'\'}" >> "$sql"
}
add "其他分类" "呐喊" "鲁迅" nahan-luxun-pg-utf8.txt
add "纪实文学" "儒林外史" "吴敬梓" rulinwaishi-pg-utf8.txt
add "历史军事" "水浒传" "施耐庵" shuihuzhuan-pg-utf8.txt
add "玄幻修真" "西游记" "吴承恩" xiyouji-web-simp-utf8-bom.txt
echo "UPDATE SysSet SET DownSavePath='$home/TxtBook';" >> "$sql"
sqlite3 "$home/DataFile/Data.db" < "$sql"
rm -f "$sql"

export QUILLMERE_HOME="$home"
export QUILLMERE_SCREENSHOTS="$out"
if [ -z "${QUILLMERE_SERVICE:-}" ] && [ -x "$build/bin/quillmere-server" ]; then
    server="$build/bin/quillmere-server"
    for _ in 1 2 3 4 5; do
        port=$((20000 + RANDOM % 30000))
        "$server" --data "$home/service" --listen "127.0.0.1:$port" seed-demo >/dev/null
        "$server" --data "$home/service" --listen "127.0.0.1:$port" >"$home/service.log" 2>&1 &
        server_pid=$!
        for _ in $(seq 1 50); do
            grep -q serving "$home/service.log" 2>/dev/null && break
            kill -0 "$server_pid" 2>/dev/null || break
            sleep 0.1
        done
        if grep -q serving "$home/service.log" 2>/dev/null; then
            export QUILLMERE_SERVICE="http://127.0.0.1:$port"
            break
        fi
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
        server_pid=""
    done
fi
export QUILLMERE_SERVICE="${QUILLMERE_SERVICE:-http://127.0.0.1:9}"
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu}"
export QT_QPA_PLATFORM=xcb
export LC_ALL=C.UTF-8
xvfb-run -a -s "-screen 0 1280x860x24" "$reader"
ls -l "$out"/bookshelf.png "$out"/reading.png "$out"/reading-find.png "$out"/bookdialog.png "$out"/settings.png "$out"/online.png \
    "$out"/theme-*.png
