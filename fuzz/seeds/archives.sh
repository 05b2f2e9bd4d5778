#!/usr/bin/env bash
# Seeds for fuzz_archive beside the RAR files of the shared test data: small ZIP and 7z
# archives made here with the system's zip and 7z (a book in folders, a link, an empty folder,
# GBK names, a password, a solid 7z) and ZIPs written entry by entry with names and links
# that try to leave the folder. Archives a missing tool would make are left out.
#   archives.sh SEED_DIR [TESTDATA_DIR]
set -euo pipefail
out="$(cd "$1" && pwd)"
testdata="${2:-}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cd "$work"
mkdir -p book/正文 book/empty
printf '第一回 宴桃园豪杰三结义\n滚滚长江东逝水，浪花淘尽英雄。\n' > book/正文/三国演义.txt
printf '第一回 宴桃园豪杰三结义\n' | iconv -f UTF-8 -t GB18030 > book/gbk.txt
if [ -n "$testdata" ] && [ -f "$testdata/novels/nahan-luxun-pg-utf8.txt" ]; then
    head -c 6000 "$testdata/novels/nahan-luxun-pg-utf8.txt" > book/nahan.txt
fi
ln -s 正文/三国演义.txt book/link.txt

if command -v zip > /dev/null; then
    zip -qry "$out/book.zip" book
    zip -qr0 "$out/book-stored.zip" book/正文
    zip -qr -P secret "$out/book-password.zip" book/正文
else
    echo "archives.sh: zip not installed; no ZIP seeds made with it" >&2
fi
if command -v 7z > /dev/null; then
    7z a -bd -y -snl "$out/book.7z" book > /dev/null
    7z a -bd -y -ms=off -mx=1 "$out/book-nonsolid.7z" book/正文 book/gbk.txt > /dev/null
    7z a -bd -y -psecret "$out/book-password.7z" book/gbk.txt > /dev/null
    7z a -bd -y -psecret -mhe=on "$out/book-hidden-names.7z" book/gbk.txt > /dev/null
    7z a -bd -y -tzip -mm=BZip2 "$out/book-bzip2.zip" book/gbk.txt > /dev/null
else
    echo "archives.sh: 7z not installed (Debian p7zip-full); no 7z seeds" >&2
fi

# Entries no ordinary tool writes: names and links that climb out, absolute names, a Windows
# drive, backslashes, a link to a folder and a file written through it, many tiny entries.
python3 - "$out" <<'PY'
import stat, sys, zipfile

out = sys.argv[1]

def link(z, name, target):
    info = zipfile.ZipInfo(name)
    info.create_system = 3
    info.external_attr = (stat.S_IFLNK | 0o777) << 16
    z.writestr(info, target)

with zipfile.ZipFile(out + "/escape.zip", "w") as z:
    z.writestr("../outside.txt", "climbs out of the unpacking folder")
    z.writestr("../../outside.txt", "climbs out of the book folder")
    z.writestr("a/../../../../deep.txt", "climbs further")
    z.writestr("/tmp/absolute.txt", "absolute")
    z.writestr("C:\\windows\\drive.txt", "a drive")
    z.writestr("a\\..\\..\\back.txt", "backslashes")
    z.writestr("ok/./inside.txt", "stays")
    link(z, "up", "..")
    link(z, "root", "/")
    link(z, "ok/sibling", "../../outside")
with zipfile.ZipFile(out + "/through-link.zip", "w") as z:
    link(z, "self", ".")
    link(z, "dir", "ok")
    z.writestr("ok/file.txt", "in the folder")
    z.writestr("dir/through.txt", "written through a link")
    z.writestr("test.txt/inner.txt", "a folder where the user has a file")
    z.writestr("testdir", "a file where the user has a folder")
with zipfile.ZipFile(out + "/many.zip", "w") as z:
    for i in range(120):
        z.writestr("f%03d.txt" % i, "x")
with zipfile.ZipFile(out + "/deflated.zip", "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("big.txt", "第一章\n" * 2000)
    z.writestr(zipfile.ZipInfo("空目录/"), "")
PY
