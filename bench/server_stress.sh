#!/usr/bin/env bash
# The reference service under hostile load on loopback, with its default limits: 200
# connections each announcing a 64 MB upload body (8 MB sent, then silence), 5,000
# connections trickling request heads a byte at a time (reopened whenever the service closes
# them), and 30 downloads of a 60 MB book that are never read. Meanwhile a normal client asks
# for a catalogue page four times a second. Prints the service's peak resident memory (goal:
# under 300 MB) and the catalogue request's latency (goal: under 100 ms).
# Usage: bash bench/server_stress.sh [BUILD_DIR]   (every request goes to 127.0.0.0/8 only;
# STRESS_SECONDS sets how long the load is measured, 40 by default)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-${QUILLMERE_BUILD_DIR:-$root/build}}"
server="$build/bin/quillmere-server"
duration="${STRESS_SECONDS:-40}"
[ -x "$server" ] || { echo "server_stress: build quillmere-server first ($server)" >&2; exit 1; }
command -v python3 >/dev/null || { echo "server_stress: python3 is not installed" >&2; exit 1; }

work="$(mktemp -d)"
port=""
for candidate in $(seq 18200 18299); do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then port=$candidate; break; fi
done
[ -n "$port" ] || { echo "server_stress: no free port" >&2; exit 1; }
server_pid=""
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

"$server" --data "$work/data" seed-bench 10000 100 >/dev/null
python3 -c "
import sys
line = '　　山风吹过竹林，远处传来几声钟响。他推开窗，看见院中的桃花开得正好。\r\n'.encode('gb18030')
with open(sys.argv[1], 'wb') as f:
    f.write(line * (60 * 1024 * 1024 // len(line) + 1))
" "$work/big.txt"
"$server" --data "$work/data" import "$work/big.txt" 其他分类 六十兆的书 压测 全集 >/dev/null
rm -f "$work/big.txt"
"$server" --data "$work/data" --listen "127.0.0.1:$port" >"$work/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do grep -q serving "$work/server.log" && break; sleep 0.1; done

cat >"$work/stress.py" <<'PY'
import asyncio, re, resource, socket, statistics, sys, time

port, pid, duration = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3])
BODIES, TRICKLERS, DOWNLOADS = 200, 5000, 30
soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
state = {"stop": False, "rss_peak": 0}
stats = {"bodies_refused": 0, "bodies_taken": 0, "bodies_closed": 0, "trickle_open": 0, "trickle_peak": 0,
         "trickle_closed": 0, "trickle_longest": 0.0, "trickle_failed": 0, "downloads": 0, "latencies": [],
         "catalogue_failed": 0}

def status_of(reply):
    m = re.match(rb"HTTP/1\.[01] (\d{3})", reply)
    return int(m.group(1)) if m else 0

async def exchange(request, source="127.0.0.1"):
    reader, writer = await asyncio.open_connection("127.0.0.1", port, local_addr=(source, 0))
    writer.write(request)
    reply = await reader.read()
    writer.close()
    return reply

def resident(field):
    try:
        for line in open(f"/proc/{pid}/status"):
            if line.startswith(field):
                return int(line.split()[1]) // 1024
    except OSError:
        pass
    return 0

async def sample_memory():
    while not state["stop"]:
        state["rss_peak"] = max(state["rss_peak"], resident("VmRSS:"))
        await asyncio.sleep(0.25)

async def body(i, cookie):
    source = f"127.0.2.{i % 20 + 1}"
    try:
        reader, writer = await asyncio.open_connection("127.0.0.1", port, local_addr=(source, 0))
        writer.write(b"POST /readerserver/uploadbook.asp HTTP/1.1\r\nHost: x\r\nCookie: " + cookie +
                     b"\r\nContent-Type: multipart/form-data\r\nContent-Length: 67108864\r\n\r\n")
        await writer.drain()
        try:
            first = await asyncio.wait_for(reader.read(4096), 1.0)
            stats["bodies_refused"] += 1
            writer.close()
            return
        except asyncio.TimeoutError:
            pass
        stats["bodies_taken"] += 1
        chunk = b"--" + b"x" * (1024 * 1024 - 2)
        for _ in range(8):
            writer.write(chunk)
            await writer.drain()
        while not state["stop"]:
            try:
                if not await asyncio.wait_for(reader.read(4096), 1.0):
                    stats["bodies_closed"] += 1
                    return
            except asyncio.TimeoutError:
                pass
        writer.close()
    except OSError:
        stats["bodies_closed"] += 1

async def trickle(i):
    source = f"127.0.1.{i % 100 + 1}"
    head = b"GET /readerserver/listbook.asp?action=list&page=1 HTTP/1.1\r\nHost: x\r\nX-Slow: " + b"y" * 200 + b"\r\n"
    await asyncio.sleep(i % 50 * 0.1)
    while not state["stop"]:
        try:
            reader, writer = await asyncio.open_connection("127.0.0.1", port, local_addr=(source, 0))
        except OSError:
            stats["trickle_failed"] += 1
            await asyncio.sleep(1)
            continue
        opened = time.monotonic()
        stats["trickle_open"] += 1
        stats["trickle_peak"] = max(stats["trickle_peak"], stats["trickle_open"])
        closed = False
        for byte in range(len(head)):
            if state["stop"]:
                break
            try:
                writer.write(head[byte:byte + 1])
                # Anything that arrives (the end, or a 408 and then the end) closes it.
                await asyncio.wait_for(reader.read(4096), 2.0)
                closed = True
            except asyncio.TimeoutError:
                continue
            except OSError:
                closed = True
            if closed:
                break
        stats["trickle_open"] -= 1
        writer.close()
        if closed:
            stats["trickle_closed"] += 1
            stats["trickle_longest"] = max(stats["trickle_longest"], time.monotonic() - opened)

async def download(url, sockets):
    loop = asyncio.get_running_loop()
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    s.bind(("127.0.3.1", 0))
    s.setblocking(False)
    await loop.sock_connect(s, ("127.0.0.1", port))
    await loop.sock_sendall(s, b"GET " + url + b" HTTP/1.1\r\nHost: x\r\n\r\n")
    if status_of(await loop.sock_recv(s, 64)) == 200:
        stats["downloads"] += 1
    sockets.append(s)  # never read again

# The normal client runs in a process of its own, so that the attack's bookkeeping in this
# one does not count as the service's latency.
PROBE = r"""
import re, socket, sys, time
port, seconds = int(sys.argv[1]), float(sys.argv[2])
end, n = time.monotonic() + seconds, 0
while time.monotonic() < end:
    n += 1
    start = time.monotonic()
    try:
        s = socket.create_connection(("127.0.0.1", port), timeout=10)
        s.sendall(b"GET /readerserver/listbook.asp?action=list&type=%E5%85%A8%E9%83%A8%E8%B5%84%E6%BA%90&page=" +
                  str(n % 50 + 1).encode() + b"&rnt=x HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        reply = b""
        while True:
            data = s.recv(65536)
            if not data:
                break
            reply += data
        s.close()
        ok = reply.startswith(b"HTTP/1.1 200") and b"</booklist>" in reply
        print(f"{(time.monotonic() - start) * 1000:.2f}" if ok else "failed", flush=True)
    except OSError:
        print("failed", flush=True)
    time.sleep(0.25)
"""

async def catalogue():
    probe = await asyncio.create_subprocess_exec(sys.executable, "-c", PROBE, str(port), str(duration),
                                                 stdout=asyncio.subprocess.PIPE)
    out, _ = await probe.communicate()
    for line in out.decode().split():
        if line == "failed":
            stats["catalogue_failed"] += 1
        else:
            stats["latencies"].append(float(line))

async def main():
    login = await exchange(b"GET /readerserver/userinfo.asp?action=login&username=bench00001&password=benchpass"
                           b"&cookies=0 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
    cookie = re.search(rb"(QMSESSION=[0-9a-f]{32})", login).group(1)
    listing = await exchange(b"GET /readerserver/listbook.asp?action=search&key=%E5%85%AD%E5%8D%81%E5%85%86 "
                             b"HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
    url = re.search(rb"<downurl>(.*?)</downurl>", listing).group(1)
    before = resident("VmRSS:")
    tasks = [asyncio.create_task(sample_memory())]
    sockets = []
    for i in range(DOWNLOADS):
        await download(url, sockets)
    tasks += [asyncio.create_task(body(i, cookie)) for i in range(BODIES)]
    tasks += [asyncio.create_task(trickle(i)) for i in range(TRICKLERS)]
    await asyncio.sleep(5)  # let the load build up
    await catalogue()
    state["stop"] = True
    await asyncio.sleep(2.5)
    for t in tasks:
        t.cancel()
    hwm = resident("VmHWM:")
    lat = sorted(stats["latencies"])
    print(f"service memory before the load     {before:6d} MB resident")
    print(f"bodies announced (64 MB each)      {BODIES:6d}: {stats['bodies_taken']} taken in (8 MB sent each), "
          f"{stats['bodies_refused']} refused at once, {stats['bodies_closed']} closed by the service")
    print(f"trickling connections              {TRICKLERS:6d}: {stats['trickle_peak']} open at the peak, "
          f"{stats['trickle_closed']} closed by the service, longest held {stats['trickle_longest']:.1f} s, "
          f"{stats['trickle_failed']} connects failed")
    print(f"stalled 60 MB downloads            {DOWNLOADS:6d}: {stats['downloads']} started")
    if lat:
        p95 = lat[int(len(lat) * 0.95) - 1] if len(lat) >= 20 else lat[-1]
        print(f"catalogue page while loaded        {len(lat):6d} answered: median {statistics.median(lat):.1f} ms, "
              f"p95 {p95:.1f} ms, max {lat[-1]:.1f} ms; {stats['catalogue_failed']} failed   (goal < 100 ms)")
    else:
        print(f"catalogue page while loaded             0 answered; {stats['catalogue_failed']} failed   (goal < 100 ms)")
    peak = max(hwm, state["rss_peak"])
    print(f"service peak resident memory       {peak:6d} MB   (goal < 300 MB)")
    ok = lat and lat[-1] < 100 and stats["catalogue_failed"] == 0 and peak < 300
    print("stress: goals met" if ok else "stress: GOALS MISSED")
    return 0 if ok else 1

sys.exit(asyncio.run(main()))
PY

echo "== stress on 127.0.0.1:$port: ${duration}s of load after 5s of ramp-up"
python3 "$work/stress.py" "$port" "$server_pid" "$duration"
