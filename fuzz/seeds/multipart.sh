#!/usr/bin/env bash
# Seeds for fuzz_multipart: upload bodies laid out as the reader's upload page builds them (a
# boundary line first, text parts in GB2312 with blanks in their header, file parts without,
# each part ended by CR LF, the closing delimiter last), and a few damaged ones.
#   multipart.sh SEED_DIR [TESTDATA_DIR]
set -euo pipefail
out="$1"
testdata="${2:-}"
boundary="__NextPart__Ab3xYz09QrStUvWxZy12Cd45"

gbk() { printf '%s' "$1" | iconv -f UTF-8 -t GB18030; }
text_part() {
    printf -- '--%s\r\nContent-Disposition: form-data; name="%s"\r\n\r\n' "$boundary" "$1"
    gbk "$2"
    printf '\r\n'
}
file_part() { # name, file name, bytes (a printf format)
    printf -- '--%s\r\nContent-Disposition:form-data;name="%s";filename="' "$boundary" "$1"
    gbk "$2"
    printf '"\r\nContent-Type:application/octet-stream\r\n\r\n'
    printf -- "$3"
    printf '\r\n'
}
fields() { # state, newest chapter
    text_part stype "武侠仙侠"
    text_part sname "三国演义"
    text_part sauthor "罗贯中"
    text_part username "demo"
    text_part smemo "滚滚长江东逝水，浪花淘尽英雄。"
    text_part sstatue "$1"
    text_part snewchap "$2"
}
closing() { printf -- '--%s--' "$boundary"; }

book='\xb5\xda\xd2\xbb\xbb\xd8 \xd1\xe7\xcc\xd2\xd4\xb0\r\n\xb9\xf6\xb9\xf6\xb3\xa4\xbd\xad\r\n'
{ file_part file1 "/home/reader/三国演义.txt" "$book"; fields "连载" "第十回"; closing; } > "$out/upload-serial"
{ file_part file1 "/home/reader/三国演义.txt" "$book"; file_part file2 "/home/reader/cover.gif" 'GIF89a\x01\x00\x01\x00\x00\x00\x00;'
  fields "全集" ""; closing; } > "$out/upload-cover"
{ file_part file1 "C:\\书\\sanguo.rar" 'Rar!\x1a\x07\x00\xcf\x90\x73\x00\x00\x0d'; fields "全集" ""; closing; } > "$out/upload-rar"
# A book whose bytes hold CR LF and dashes, and one that almost holds the delimiter.
{ file_part file1 "a.txt" "line\r\n--\r\n--__NextPart__\r\n-- $boundary"; fields "连载" "第一章"; closing; } > "$out/upload-dashes"
# No data at all, a part without its line end, unquoted names, a lower-case header.
{ file_part file1 "empty.txt" ''; printf -- '--%s\r\ncontent-disposition: form-data; name=stype\r\n\r\n\r\n' "$boundary"
  printf -- '--%s\r\nContent-Disposition: form-data; name="sname"\r\n\r\n' "$boundary"; closing; } > "$out/upload-odd"
# Damaged: cut before the closing delimiter, a header without its blank line, no boundary line.
head -c 300 "$out/upload-serial" > "$out/upload-truncated"
printf -- '--%s\r\nContent-Disposition: form-data; name="stype"\r\n--%s--' "$boundary" "$boundary" > "$out/upload-bad-header"
printf 'Content-Disposition: form-data; name="stype"\r\n\r\nx\r\n--%s--' "$boundary" > "$out/upload-no-boundary"
# A slice of a real book as the file part.
if [ -n "$testdata" ] && [ -f "$testdata/novels/nahan-luxun-pg-gb18030.txt" ]; then
    { printf -- '--%s\r\nContent-Disposition:form-data;name="file1";filename="nahan.txt"\r\n' "$boundary"
      printf 'Content-Type:application/octet-stream\r\n\r\n'
      head -c 2048 "$testdata/novels/nahan-luxun-pg-gb18030.txt"; printf '\r\n'; fields "全集" ""; closing; } > "$out/upload-novel"
fi
