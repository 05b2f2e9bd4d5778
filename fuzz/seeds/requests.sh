#!/usr/bin/env bash
# Seeds for fuzz_requestdecoding: request heads as the reader and browsers send them, query
# strings with UTF-8 and code-page values, and form bodies as the reader's form encoder writes
# them (GB2312 escapes, "%A" for a line feed).
#   requests.sh SEED_DIR [TESTDATA_DIR]
set -euo pipefail
out="$1"

printf 'GET /readerserver/listbook.asp?action=list&type=%%E5%%85%%A8%%E9%%83%%A8%%E8%%B5%%84%%E6%%BA%%90&page=2&rnt=20260307080500 HTTP/1.1\r\nHost: 127.0.0.1:8086\r\nConnection: Keep-Alive\r\nAccept-Encoding: gzip, deflate\r\nAccept-Language: zh-CN,en,*\r\nUser-Agent: Mozilla/5.0\r\n\r\n' > "$out/head-catalogue"
printf 'GET /readerserver/listbook.asp?action=search&key=三国 HTTP/1.1\r\nHost: 127.0.0.1:8086\r\n\r\n' > "$out/head-raw-utf8"
printf 'GET /ReaderServer/userinfo.asp?action=login&username=demo&password=demo 123+x&cookies=1 HTTP/1.1\r\nHost: h\r\nCookie: a=1\r\nCookie: qm_session=abc; qm_user=demo\r\n\r\n' > "$out/head-login"
printf 'POST /readerserver/userinfo.asp HTTP/1.1\r\nHost: h\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 97\r\nExpect: 100-continue\r\nConnection: close\r\n\r\naction=reg&username=%%C0%%EE%%CB%%C4&userpass=abc%%A&email=a%%40b.cn&sex=%%C4%%D0&qq=%%31%%32\n' > "$out/head-post"
printf 'POST /readerserver/uploadbook.asp HTTP/1.0\r\nConnection: keep-alive\r\nContent-Type: multipart/form-data\r\nContent-Length: 10, 10\r\n\r\n' > "$out/head-http10"
printf '\r\n\nGET http://127.0.0.1:8086/files/12/%%E4%%B8%%89.txt?x=1#top HTTP/1.1\r\nHost: h\r\n\r\n' > "$out/head-absolute"
printf 'GET /a HTTP/1.1\nHost: h\nTransfer-Encoding: chunked\n\n' > "$out/head-chunked"
printf 'GET /a HTTP/2.0\r\n\r\n' > "$out/head-version"
printf ' GET /a HTTP/1.1\r\nX: 1\r\n folded\r\n\r\n' > "$out/head-folded"
printf 'action=list&type=%%CE%%E4%%CF%%C0%%CF%%C9%%CF%%C0&page=1' > "$out/query-gbk"
printf 'action=list&type=全部资源&page=3&key=a+b%%20c' > "$out/query-utf8"
printf 'action=edit&userid=7&userpass=%%A%%D%%9abc&anwser=%%B4%%F0%%B0%%B8&email=&qq=+' > "$out/form-gbk"
printf 'a=1&a=2&&=x&k&%%zz=1' > "$out/form-odd"
printf 'username=%%E6%%9D%%8E%%E5%%9B%%9B&sex=%%E5%%A5%%B3&question=%%F0%%9F%%98%%80' > "$out/form-utf8"
