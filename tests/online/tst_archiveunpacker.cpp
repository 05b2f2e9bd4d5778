// Unpacking downloaded archives: the shared RAR set (RAR 4 and 5, damaged, encrypted, a bomb),
// hostile entries (absolute names, "..", links leading out), limits, and all-or-nothing
// extraction into a book folder that may already hold files.
#include "RarWriter.h"
#include "online/ArchiveUnpacker.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <archive.h>
#include <archive_entry.h>

namespace {

const QString kRarDir = QStringLiteral(QUILLMERE_TESTDATA_DIR "/rar");

struct ZipEntry {
    ZipEntry(QString n, QByteArray d = {}, char k = 'f', QString l = {})
        : name(std::move(n)), data(std::move(d)), kind(k), link(std::move(l))
    {
    }
    QString name;
    QByteArray data;
    char kind; // 'f' file, 'd' folder, 'l' symbolic link
    QString link;
};

// Writes a ZIP archive with libarchive; `charset` names the code page of the entry names
// (none: UTF-8), `password` encrypts the entries.
bool writeZip(const QString& path, const QList<ZipEntry>& entries, const char* charset = nullptr,
              const char* password = nullptr)
{
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    if (charset)
        archive_write_set_format_option(a, "zip", "hdrcharset", charset);
    if (password) {
        archive_write_set_format_option(a, "zip", "encryption", "zipcrypt");
        archive_write_set_passphrase(a, password);
    }
    bool ok = archive_write_open_filename(a, QFile::encodeName(path).constData()) == ARCHIVE_OK;
    for (const ZipEntry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, e.name.toUtf8().constData());
        if (e.kind == 'd') {
            archive_entry_set_filetype(entry, AE_IFDIR);
            archive_entry_set_perm(entry, 0755);
        } else if (e.kind == 'l') {
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_perm(entry, 0777);
            archive_entry_set_symlink_utf8(entry, e.link.toUtf8().constData());
        } else {
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, 0644);
            archive_entry_set_size(entry, e.data.size());
        }
        ok = ok && archive_write_header(a, entry) == ARCHIVE_OK;
        if (e.kind == 'f' && !e.data.isEmpty())
            ok = ok && archive_write_data(a, e.data.constData(), size_t(e.data.size())) == e.data.size();
        archive_entry_free(entry);
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    return ok;
}

// Everything under `folder` as "path" for files, "path/" for folders and "path -> target" for
// links, sorted.
QStringList tree(const QString& folder)
{
    QStringList items;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = QDir(folder).relativeFilePath(info.filePath());
        if (info.isSymLink())
            items << relative + " -> " + info.symLinkTarget().section('/', -1);
        else if (info.isDir())
            items << relative + "/";
        else
            items << relative;
    }
    items.sort();
    return items;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

} // namespace

class TestArchiveUnpacker : public QObject {
    Q_OBJECT

private slots:
    void safeEntryPaths_data();
    void safeEntryPaths();
    void sharedRarArchives_data();
    void sharedRarArchives();
    void bombIsStoppedAndLeavesNothing();
    void hostileZipEntriesStayInside();
    void linksAreMadeOnlyWhenTheyStayInside();
    void hardLinksAreCopiesOnlyFromInside();
    void limits_data();
    void limits();
    void chineseNamesInTheCodePage();
    void encryptedZip_data();
    void encryptedZip();
    void existingFilesAreReplacedAndFoldersKept();
    void notAnArchiveOrMissing_data();
    void notAnArchiveOrMissing();
    void cancelledBeforeItStarts();
    void testModeWritesNothing();
};

void TestArchiveUnpacker::safeEntryPaths_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("safe");
    QTest::newRow("plain") << "book.txt"
                           << "book.txt";
    QTest::newRow("nested") << "a/b/c.txt"
                            << "a/b/c.txt";
    QTest::newRow("dots and doubled slashes") << "./a//./b.txt"
                                              << "a/b.txt";
    QTest::newRow("windows separators") << "卷一\\第一章.txt" << QStringLiteral("卷一/第一章.txt");
    QTest::newRow("parent") << "../x.txt"
                            << "";
    QTest::newRow("parent in the middle") << "a/../../x.txt"
                                          << "";
    QTest::newRow("harmless-looking parent") << "a/../x.txt"
                                             << "";
    QTest::newRow("windows parent") << "..\\x.txt"
                                    << "";
    QTest::newRow("absolute") << "/etc/passwd"
                              << "";
    QTest::newRow("windows absolute") << "\\Windows\\x.txt"
                                      << "";
    QTest::newRow("drive") << "C:\\x.txt"
                           << "";
    QTest::newRow("drive without separator") << "c:x.txt"
                                             << "";
    QTest::newRow("only dots") << "./."
                               << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("dots inside a name") << "a..b/..c.txt"
                                        << "a..b/..c.txt";
}

void TestArchiveUnpacker::safeEntryPaths()
{
    QFETCH(QString, name);
    QFETCH(QString, safe);
    QCOMPARE(Unpack::safeEntryPath(name), safe);
}

void TestArchiveUnpacker::sharedRarArchives_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("present"); // besides the book folder's own keep.txt
    const QStringList none;
    QTest::newRow("rar4 stored, link inside")
        << "rar4-stored-subdirs-symlink.rar" << 0
        << QStringList{"test.txt", "testdir/", "testdir/test.txt", "testemptydir/", "testlink -> test.txt"};
    QTest::newRow("rar4 compressed")
        << "rar4-compressed-subdirs.rar" << 0
        << QStringList{"LibarchiveAddingTest.html", "testdir/",      "testdir/LibarchiveAddingTest.html",
                       "testdir/test.txt",          "testemptydir/", "testlink -> LibarchiveAddingTest.html"};
    QTest::newRow("rar4 made on windows")
        << "rar4-win32-stored.rar" << 0
        << QStringList{"test.txt", "testdir/", "testdir/test.txt", "testemptydir/", "testshortcut.lnk"};
    QTest::newRow("rar4 unicode names") << "rar4-cp932-names.rar" << 0
                                        << QStringList{QStringLiteral("ディレクトリ/"),
                                                       QStringLiteral("ディレクトリ/テキストファイル.txt")};
    QTest::newRow("rar4 nested") << "rar4-nested-dirs-stored.rar" << 0
                                 << QStringList{"example/", "example/empty/", "example/foo/", "example/foo/bar.txt",
                                                "example/hoge.txt"};
    QTest::newRow("rar4 without end block") << "rar4-missing-end-block.rar" << 0 << QStringList{"test.txt"};
    QTest::newRow("rar5 stored") << "rar5-stored.rar" << 0 << QStringList{"helloworld.txt"};
    QTest::newRow("rar5 compressed") << "rar5-compressed.rar" << 0 << QStringList{"test.bin"};
    QTest::newRow("rar5 solid") << "rar5-solid.rar" << 0
                                << QStringList{"test.bin",  "test1.bin", "test2.bin", "test3.bin",
                                               "test4.bin", "test5.bin", "test6.bin"};
    QTest::newRow("rar5 names outside the basic plane, hard and symbolic link")
        << "rar5-unicode-emoji-links.rar" << 0
        << QStringList{QStringLiteral("Ⓗⓐⓡⓓ Ⓛⓘⓝⓚ.txt"), QStringLiteral("👋🌎.txt"),
                       QStringLiteral("𝒮𝓎𝓂𝒷𝑜𝓁𝒾𝒸 𝐿𝒾𝓃𝓀.txt -> 👋🌎.txt")};
    QTest::newRow("rar4 solid (not readable here)") << "rar4-solid.rar" << int(Unpack::BadData) << none;
    QTest::newRow("rar4 damaged") << "rar4-corrupt-truncated.rar" << int(Unpack::BadData) << none;
    QTest::newRow("rar4 first of several volumes") << "rar4-multivolume.part1.rar" << int(Unpack::BadData) << none;
    QTest::newRow("rar5 damaged tables") << "rar5-corrupt-bad-tables.rar" << int(Unpack::BadData) << none;
    QTest::newRow("rar5 truncated") << "rar5-corrupt-truncated-huff.rar" << int(Unpack::BadData) << none;
    QTest::newRow("rar5 first of several volumes") << "rar5-multivolume.part1.rar" << int(Unpack::BadData) << none;
    QTest::newRow("rar4 encrypted data") << "rar4-encrypted-data.rar" << int(Unpack::DataEncrypted) << none;
    QTest::newRow("rar4 solid encrypted") << "rar4-solid-encrypted-data.rar" << int(Unpack::DataEncrypted) << none;
    QTest::newRow("rar4 encrypted headers") << "rar4-encrypted-headers.rar" << int(Unpack::HeadersEncrypted) << none;
    QTest::newRow("rar4 encrypted headers 2")
        << "rar4-encrypted-headers-2.rar" << int(Unpack::HeadersEncrypted) << none;
    QTest::newRow("rar5 encrypted data") << "rar5-encrypted-data.rar" << int(Unpack::DataEncrypted) << none;
    QTest::newRow("rar5 encrypted headers") << "rar5-encrypted-headers.rar" << int(Unpack::HeadersEncrypted) << none;
}

// A failure leaves the book folder exactly as it was: nothing half unpacked, no hidden
// working folder.
void TestArchiveUnpacker::sharedRarArchives()
{
    QFETCH(QString, file);
    QFETCH(int, result);
    QFETCH(QStringList, present);
    if (!QFileInfo::exists(kRarDir + "/" + file))
        QSKIP("the shared RAR archives are not available");
    QTemporaryDir dir;
    const QString book = dir.filePath("book");
    writeFile(book + "/keep.txt", "mine");
    QCOMPARE(UnpackArchive(Unpack::Extract, kRarDir + "/" + file, book, QString()), result);
    present << "keep.txt";
    present.sort();
    QCOMPARE(tree(book), present);
    QCOMPARE(readFile(book + "/keep.txt"), QByteArray("mine"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"book"});
}

void TestArchiveUnpacker::bombIsStoppedAndLeavesNothing()
{
    const QString bomb = kRarDir + "/rar4-ppmd-bomb-241mb.rar";
    if (!QFileInfo::exists(bomb))
        QSKIP("the shared RAR archives are not available");
    QTemporaryDir dir;
    UnpackOptions options;
    options.limits.maxExpandedBytes = 16 * 1024 * 1024; // it declares 241 MB
    QCOMPARE(UnpackArchive(Unpack::Extract, bomb, dir.path(), QString(), options), int(Unpack::TooLarge));
    QCOMPARE(tree(dir.path()), QStringList());
}

void TestArchiveUnpacker::hostileZipEntriesStayInside()
{
    QTemporaryDir dir;
    const QString zip = dir.filePath("hostile.zip");
    const QString book = dir.filePath("downloads/book");
    const QString absolute = dir.filePath("absolute.txt");
    QVERIFY(writeZip(zip, {{"../escape.txt", "x"},
                           {"../../escape2.txt", "x"},
                           {"ok/../../climb.txt", "x"},
                           {absolute, "x"},
                           {"..\\windows.txt", "x"},
                           {"ok/book.txt", "book"},
                           {"./here/./there.txt", "there"}}));
    QCOMPARE(UnpackArchive(Unpack::Extract, zip, book, QString()), 0);
    QCOMPARE(tree(book), (QStringList{"here/", "here/there.txt", "ok/", "ok/book.txt"}));
    QCOMPARE(tree(dir.path()),
             (QStringList{"downloads/", "downloads/book/", "downloads/book/here/", "downloads/book/here/there.txt",
                          "downloads/book/ok/", "downloads/book/ok/book.txt", "hostile.zip"}));
    QVERIFY(!QFileInfo::exists(absolute));
}

void TestArchiveUnpacker::linksAreMadeOnlyWhenTheyStayInside()
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    const QString zip = dir.filePath("links.zip");
    const QString book = dir.filePath("book");
    // "through" is a link to a folder outside followed by a file below it: were the link made
    // first, the file would land outside.
    QVERIFY(writeZip(zip, {{"book.txt", "text"},
                           {"through", {}, 'l', outside.path()},
                           {"through/evil.txt", "evil"},
                           {"passwd.txt", {}, 'l', "/etc/passwd"},
                           {"up.txt", {}, 'l', "../up.txt"},
                           {"sub/in.txt", {}, 'l', "../book.txt"},
                           {"same.txt", {}, 'l', "book.txt"},
                           {"sub/deeper.txt", {}, 'l', "x/../../book.txt"},
                           {"sub/x/", {}, 'd'}}));
    QCOMPARE(UnpackArchive(Unpack::Extract, zip, book, QString()), 0);
    QCOMPARE(tree(book),
             (QStringList{"book.txt", "same.txt -> book.txt", "sub/", "sub/x/", "through/", "through/evil.txt"}));
    QCOMPARE(tree(outside.path()), QStringList());
}

void TestArchiveUnpacker::hardLinksAreCopiesOnlyFromInside()
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    writeFile(outside.filePath("secret.txt"), "secret");
    const QString rar = dir.filePath("links.rar");
    const QString book = dir.filePath("book/inner");
    writeFile(dir.filePath("book/secret.txt"), "beside");
    writeFile(rar, RarWriter::stored({{"book.txt", "text"}}, {{"copy.txt", "book.txt"},
                                                              {"sub/copy.txt", "./book.txt"},
                                                              {"absolute.txt", outside.filePath("secret.txt")},
                                                              {"up.txt", "../secret.txt"},
                                                              {"climbing.txt", "sub/../../secret.txt"},
                                                              {"book.txt", "book.txt"},
                                                              {"../out.txt", "book.txt"},
                                                              {"dangling.txt", "missing.txt"}}));
    QCOMPARE(UnpackArchive(Unpack::Extract, rar, book, QString()), 0);
    QCOMPARE(tree(book), (QStringList{"book.txt", "copy.txt", "sub/", "sub/copy.txt"}));
    QCOMPARE(readFile(book + "/book.txt"), QByteArray("text"));
    QCOMPARE(readFile(book + "/copy.txt"), QByteArray("text"));
    QCOMPARE(tree(outside.path()), QStringList{"secret.txt"});
    QCOMPARE(tree(dir.filePath("book")), (QStringList{"inner/", "inner/book.txt", "inner/copy.txt", "inner/sub/",
                                                      "inner/sub/copy.txt", "secret.txt"}));
}

void TestArchiveUnpacker::limits_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("fileBytes");
    QTest::addColumn<int>("maxEntries");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<int>("result");
    QTest::newRow("entries at the limit") << 10 << 10 << 10 << qint64(1000) << 0;
    QTest::newRow("one entry too many") << 11 << 10 << 10 << qint64(1000) << int(Unpack::TooManyEntries);
    QTest::newRow("bytes at the limit") << 3 << 1000 << 100 << qint64(3000) << 0;
    QTest::newRow("one byte too many") << 3 << 1000 << 100 << qint64(2999) << int(Unpack::TooLarge);
}

void TestArchiveUnpacker::limits()
{
    QFETCH(int, files);
    QFETCH(int, fileBytes);
    QFETCH(int, maxEntries);
    QFETCH(qint64, maxBytes);
    QFETCH(int, result);
    QTemporaryDir dir;
    QList<ZipEntry> entries;
    for (int i = 0; i < files; ++i)
        entries.append({QStringLiteral("f%1.txt").arg(i), QByteArray(fileBytes, char('a' + i))});
    QVERIFY(writeZip(dir.filePath("many.zip"), entries));
    UnpackOptions options;
    options.limits.maxEntries = maxEntries;
    options.limits.maxExpandedBytes = maxBytes;
    const QString book = dir.filePath("book");
    QCOMPARE(UnpackArchive(Unpack::Extract, dir.filePath("many.zip"), book, QString(), options), result);
    QCOMPARE(tree(book).size(), result == 0 ? files : 0);
}

void TestArchiveUnpacker::chineseNamesInTheCodePage()
{
    QTemporaryDir dir;
    const QString zip = dir.filePath("gbk.zip");
    QVERIFY(writeZip(zip, {{QStringLiteral("第一卷/正文.txt"), "text"}}, "CP936"));
    QCOMPARE(UnpackArchive(Unpack::Extract, zip, dir.filePath("book"), QString()), 0);
    QCOMPARE(tree(dir.filePath("book")), (QStringList{QStringLiteral("第一卷/"), QStringLiteral("第一卷/正文.txt")}));
}

void TestArchiveUnpacker::encryptedZip_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("result");
    QTest::newRow("no password") << QString() << int(Unpack::DataEncrypted);
    QTest::newRow("wrong password") << "guess" << int(Unpack::DataEncrypted);
    QTest::newRow("right password") << "secret" << 0;
}

void TestArchiveUnpacker::encryptedZip()
{
    QFETCH(QString, password);
    QFETCH(int, result);
    QTemporaryDir dir;
    const QString zip = dir.filePath("locked.zip");
    QVERIFY(writeZip(zip, {{"a.txt", "hello"}}, nullptr, "secret"));
    const QString book = dir.filePath("book");
    QCOMPARE(UnpackArchive(Unpack::Extract, zip, book, password), result);
    QCOMPARE(tree(book), result == 0 ? QStringList{"a.txt"} : QStringList());
    if (result == 0)
        QCOMPARE(readFile(book + "/a.txt"), QByteArray("hello"));
}

void TestArchiveUnpacker::existingFilesAreReplacedAndFoldersKept()
{
    QTemporaryDir dir;
    const QString book = dir.filePath("book");
    writeFile(book + "/book.txt", "old and longer than the new text");
    writeFile(book + "/notes/mine.txt", "mine");
    writeFile(book + "/sub/old.txt", "old");
    const QString zip = dir.filePath("new.zip");
    QVERIFY(writeZip(zip, {{"book.txt", "new"}, {"notes", "a file named like a folder"}, {"sub/new.txt", "new"}}));
    QCOMPARE(UnpackArchive(Unpack::Extract, zip, book, QString()), 0);
    QCOMPARE(readFile(book + "/book.txt"), QByteArray("new"));
    QCOMPARE(readFile(book + "/notes/mine.txt"), QByteArray("mine"));
    QCOMPARE(tree(book), (QStringList{"book.txt", "notes/", "notes/mine.txt", "sub/", "sub/new.txt", "sub/old.txt"}));
}

void TestArchiveUnpacker::notAnArchiveOrMissing_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("result");
    QTest::newRow("a web page") << QByteArray("<html><body>404</body></html>") << int(Unpack::NotAnArchive);
    QTest::newRow("empty") << QByteArray() << int(Unpack::NotAnArchive);
    QTest::newRow("missing") << QByteArray("<missing>") << int(Unpack::CannotOpen);
}

void TestArchiveUnpacker::notAnArchiveOrMissing()
{
    QFETCH(QByteArray, content);
    QFETCH(int, result);
    QTemporaryDir dir;
    const QString file = dir.filePath("book.rar");
    if (content != "<missing>")
        writeFile(file, content);
    QCOMPARE(UnpackArchive(Unpack::Extract, file, dir.filePath("book"), QString()), result);
    QCOMPARE(tree(dir.filePath("book")), QStringList());
}

void TestArchiveUnpacker::cancelledBeforeItStarts()
{
    QTemporaryDir dir;
    QVERIFY(writeZip(dir.filePath("a.zip"), {{"a.txt", "a"}}));
    std::atomic<bool> cancelled{true};
    UnpackOptions options;
    options.cancelled = &cancelled;
    QCOMPARE(UnpackArchive(Unpack::Extract, dir.filePath("a.zip"), dir.filePath("book"), QString(), options),
             int(Unpack::Cancelled));
    QCOMPARE(tree(dir.filePath("book")), QStringList());
}

void TestArchiveUnpacker::testModeWritesNothing()
{
    QTemporaryDir dir;
    QVERIFY(writeZip(dir.filePath("a.zip"), {{"a.txt", "a"}}));
    QCOMPARE(UnpackArchive(Unpack::Test, dir.filePath("a.zip"), dir.filePath("book"), QString()), 0);
    QCOMPARE(UnpackArchive(Unpack::List, dir.filePath("a.zip"), dir.filePath("book"), QString()), 0);
    QVERIFY(!QFileInfo::exists(dir.filePath("book")));
}

QTEST_GUILESS_MAIN(TestArchiveUnpacker)
#include "tst_archiveunpacker.moc"
