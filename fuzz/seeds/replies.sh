#!/usr/bin/env bash
# Seeds for fuzz_replies: the service's replies as it writes them (UTF-8 with a declaration,
# no blanks between elements), the same in GB2312 declared in the document or only in the
# content type, incomplete ones, and upload answers. The first byte of each seed chooses the
# content type (bits 0-1: none, gb2312, utf-8, GBK), a GB2312 declaration put first (bit 2) and
# the status (bits 3-4: 200, 413, 500, none).
#   replies.sh SEED_DIR [TESTDATA_DIR]
set -euo pipefail
out="$1"
decl='<?xml version="1.0" encoding="UTF-8"?>'

seed() { # name, choice byte (octal), body
    { printf "\\$2"; printf '%s' "$3"; } > "$out/$1"
}
gbk_seed() { # name, choice byte (octal), body in UTF-8 to be sent in the code page
    { printf "\\$2"; printf '%s' "$3" | iconv -f UTF-8 -t GB18030; } > "$out/$1"
}

book() { # id, name, class, author, statue, ftime, size, downurl
    printf '<bookinfo><id>%s</id><name>%s</name><class>%s</class><author>%s</author><statue>%s</statue><ftime>%s</ftime><size>%s</size><downurl>%s</downurl></bookinfo>' "$@"
}
books="$(book 12 三国演义 历史军事 罗贯中 全集 '2026-03-07 08:05:00' 1532 '/files/12/三国演义.txt')$(book 13 'A &amp; B' 武侠仙侠 金庸 连载 '2009-3-7 8:05:00' 0.5 '/files/13/A &amp; B.rar')$(book 14 西游记 玄幻修真 吴承恩 全集 'soon' 1e308 '/files/14/西游记.zip')"
catalogue="$decl<booklist>$books<otherinfo><pageinfo>25,500,3,2,4</pageinfo></otherinfo></booklist>"
seed catalogue 000 "$catalogue"
gbk_seed catalogue-gb-declared 000 "<?xml version=\"1.0\" encoding=\"gb2312\"?><booklist>$books<otherinfo><pageinfo>1,20,1,1,1</pageinfo></otherinfo></booklist>"
gbk_seed catalogue-gb-charset 001 "<booklist>$books<otherinfo><pageinfo>2,40,2,1,2</pageinfo></otherinfo></booklist>"
seed catalogue-gb-prefixed 004 "<booklist>$books<otherinfo><pageinfo>1e300,1,1e300,1,2</pageinfo></otherinfo></booklist>"
seed catalogue-empty 000 "$decl<booklist></booklist>"
seed catalogue-missing-field 000 "$decl<booklist><bookinfo><id>1</id><name>x</name></bookinfo></booklist>"
seed catalogue-short-pageinfo 002 "$decl<booklist>$books<otherinfo><pageinfo>3,2</pageinfo></otherinfo></booklist>"
seed catalogue-cdata 000 "$decl<booklist><bookinfo><id><![CDATA[<1>]]></id><name>&#x4E09;&#22269;</name><class/><author/><statue/><ftime/><size/><downurl/></bookinfo><otherinfo><pageinfo> 1 , 0 , 1 , 1 , 1 </pageinfo></otherinfo></booklist>"

info="<reader_1>http://127.0.0.1:8086/readerserver/notice.asp</reader_1><reader_2>&lt;b&gt;欢迎&lt;/b&gt;</reader_2><reader_3></reader_3><reader_4>&lt;img src=x onerror=alert(1)&gt;</reader_4>"
update="<version> v1.4 </version><mustdown>TRUE</mustdown><verinfo>新的阅读页</verinfo><downloadlist>http://127.0.0.1:8086/files/update/Reader.html||http://127.0.0.1:8086/files/update/voiceread.html</downloadlist><savepathlist>\\||\\help\\</savepathlist>"
seed info 000 "$decl<infobase>$info$update</infobase>"
seed info-no-snippets 000 "$decl<infobase>$update</infobase>"
seed info-escaping 000 "$decl<infobase>$info<version>v9</version><mustdown>FALSE</mustdown><verinfo/><downloadlist>http://h/a/..||ftp://h/b||https://h/c.dll||http://h/d</downloadlist><savepathlist>\\..\\||\\||C:\\x\\||\\a\\.\\</savepathlist></infobase>"
seed info-unequal 000 "$decl<infobase>$info<version>v9</version><mustdown>FALSE</mustdown><verinfo/><downloadlist>http://h/a||http://h/b</downloadlist><savepathlist>\\</savepathlist></infobase>"
gbk_seed info-gb 001 "<infobase>$info$update</infobase>"

record="<purl>http://127.0.0.1:8086/readerserver/userinfo.asp</purl><pinfo>阅读器</pinfo><uid>7</uid><uname>demo</uname><userlogin>12</userlogin><lastdate>2026-03-07 08:05:00</lastdate><userpoint>30</userpoint><usermoney>15</usermoney><usermail>demo@example.cn</usermail><qq>12345</qq><sex>男</sex><question>我的小学</question><uploadlimit>67108864</uploadlimit>"
seed check 000 "$decl<userbase><logininfo>1|demo</logininfo>$record</userbase>"
seed login-failed 000 "$decl<userbase><logininfo>0|用户名或密码错误！</logininfo></userbase>"
seed logout 000 "$decl<userbase><logininfo>0|已安全退出，欢迎下次光临！</logininfo></userbase>"
seed edit-refused 000 "$decl<userbase><logininfo> 3 |邮箱格式不对|多余</logininfo></userbase>"
seed check-not-200 020 "$decl<userbase><logininfo>1|demo</logininfo>$record</userbase>"
gbk_seed check-gb 000 "<?xml version=\"1.0\" encoding=\"gb2312\"?><userbase><logininfo>1|演示</logininfo>$record</userbase>"

seed ranking 000 "$decl<usertop><uinfo><uname>demo</uname><userpoint>30</userpoint></uinfo><uinfo><uname>王五</uname><usermoney>8</usermoney></uinfo></usertop>"
mine="<bookinfo><id>3</id><name>新书</name><class>其他分类</class><statue>连载</statue><newchap>第十章</newchap><ftime>2026-03-07 08:05:00</ftime><checkif>1</checkif></bookinfo><bookinfo><id>4</id><name>旧书</name><class>其他分类</class><statue>全集</statue><newchap/><ftime>2009/3/7</ftime><checkif>2</checkif></bookinfo>"
seed user-books 000 "$decl<booklist>$mine<otherinfo><pageinfo>2,12,1,1,2</pageinfo></otherinfo></booklist>"
seed user-books-huge-pages 000 "$decl<booklist>$mine<otherinfo><pageinfo>1e300,12,1,1,2</pageinfo></otherinfo></booklist>"

gbk_seed upload-ok 000 "1|《新书》上传成功，等待审核！"
gbk_seed upload-refused 000 "0|电子书只能是TXT、RAR或ZIP文件！"
seed upload-too-large 010 "67108864"
seed upload-server-error 020 "oops"
seed empty 000 "   "
seed broken 000 "$decl<booklist><bookinfo>"
{ printf '\000\377\376<\000a\000/\000>\000'; } > "$out/utf16"
