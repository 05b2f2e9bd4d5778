#include "Admin.h"

#include "CommandLine.h"
#include "DemoSeeder.h"
#include "Service.h"
#include "store/StoreMigration.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

Admin::Admin(const ServerConfig& config, QTextStream& out, QTextStream& err)
    : m_config(config), m_out(out), m_err(err), m_files(config.dataDir)
{
}

bool Admin::fail(const QString& message)
{
    m_error = message;
    return false;
}

bool Admin::open()
{
    QString error;
    if (!m_db.open(m_config.dataDir, m_config.databaseUrl, &error))
        return fail(QStringLiteral("cannot open %1: %2").arg(m_config.dataDir, error));
    if (!m_files.prepare())
        return fail(QStringLiteral("cannot create the file folders under %1").arg(m_config.dataDir));
    // Addresses are announced as the service that last served this folder announces itself,
    // unless this command names a public URL of its own.
    if (m_config.publicUrl.isEmpty())
        m_config.publicUrl = m_db.setting(ServerConfig::publicUrlSetting());
    return true;
}

int Admin::run(const QString& command, const QStringList& args)
{
    auto wrongArguments = [this, &command] {
        m_err << "quillmere-server " << command << ": wrong arguments\n" << CommandLine::usage();
        return 2;
    };
    if (command == QLatin1String("migrate-to")) {
        if (args.size() != 1)
            return wrongArguments();
        return StoreMigration(m_out, m_err).run(m_config.dataDir, args[0]);
    }
    if (!open()) {
        m_err << "quillmere-server: " << m_error << "\n";
        return 1;
    }
    bool ok = false;
    if (command == QLatin1String("import")) {
        if (args.size() < 5 || args.size() > 6)
            return wrongArguments();
        const auto id = importBook(args[0], args[1], args[2], args[3], args[4], args.value(5));
        if (id)
            m_out << "imported book " << *id << "\n";
        ok = id.has_value();
    } else if (command == QLatin1String("approve") || command == QLatin1String("reject")) {
        bool isNumber = false;
        const qint64 id = args.value(0).toLongLong(&isNumber);
        if (args.size() != 1 || !isNumber)
            return wrongArguments();
        ok = command == QLatin1String("approve") ? approve(id) : reject(id);
        if (ok)
            m_out << command << "d upload " << id << "\n";
    } else if (command == QLatin1String("pending")) {
        listPending();
        ok = true;
    } else if (command == QLatin1String("publish-update")) {
        if (args.size() < 3 || (args.size() - 3) % 2 != 0)
            return wrongArguments();
        QList<QPair<QString, QString>> entries;
        for (int i = 3; i < args.size(); i += 2)
            entries.append({args[i], args[i + 1]});
        ok = publishUpdate(args[0], args[1], args[2], entries);
        if (ok)
            m_out << "published " << args[0] << " with " << entries.size() << " file(s)\n";
    } else if (command == QLatin1String("set-notice")) {
        if (args.size() != 2)
            return wrongArguments();
        ok = setNotice(args[0], args[1]);
    } else if (command == QLatin1String("seed-demo")) {
        DemoSeeder seeder(m_config, m_db, m_files);
        ok = seeder.seedDemo(m_out);
        m_error = seeder.lastError();
    } else if (command == QLatin1String("seed-bench")) {
        bool booksOk = false;
        bool usersOk = false;
        const int books = args.value(0).toInt(&booksOk);
        const int users = args.value(1).toInt(&usersOk);
        if (args.size() != 2 || !booksOk || !usersOk || books < 0 || users < 0)
            return wrongArguments();
        DemoSeeder seeder(m_config, m_db, m_files);
        ok = seeder.seedBench(books, users, m_out);
        m_error = seeder.lastError();
    } else {
        m_err << "quillmere-server: unknown command " << command << "\n" << CommandLine::usage();
        return 2;
    }
    if (!ok) {
        m_err << "quillmere-server " << command << ": " << m_error << "\n";
        return 1;
    }
    return 0;
}

std::optional<qint64> Admin::importBook(const QString& path, const QString& category, const QString& title,
                                        const QString& author, const QString& state, const QString& newchap)
{
    const QString extension = FileStore::extensionOf(path);
    if (!Service::kCategories.contains(category)) {
        fail(QStringLiteral("unknown category %1 (one of: %2)").arg(category, Service::kCategories.join(' ')));
        return std::nullopt;
    }
    if (title.trimmed().isEmpty()) {
        fail(QStringLiteral("the title is empty"));
        return std::nullopt;
    }
    if (state != QStringLiteral("连载") && state != QStringLiteral("全集")) {
        fail(QStringLiteral("the state must be 连载 or 全集"));
        return std::nullopt;
    }
    if (extension != QLatin1String("txt") && extension != QLatin1String("rar") && extension != QLatin1String("zip")) {
        fail(QStringLiteral("only TXT, RAR and ZIP files can be imported"));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read %1").arg(path));
        return std::nullopt;
    }
    const QByteArray data = file.readAll();
    if (data.isEmpty() || !FileStore::contentMatches(extension, data)) {
        fail(QStringLiteral("%1 is empty or not a %2 file").arg(path, extension.toUpper()));
        return std::nullopt;
    }
    const auto stored = m_files.store(data, QStringLiteral("b"), extension);
    if (!stored) {
        fail(QStringLiteral("cannot store the file under %1").arg(m_files.filesDir()));
        return std::nullopt;
    }
    BookRecord book;
    book.name = title.trimmed();
    book.category = category;
    book.author = author.trimmed();
    book.statue = state;
    book.newchap = state == QStringLiteral("连载") ? newchap.trimmed() : QString();
    book.file = *stored;
    book.sizeKb = (data.size() + 1023) / 1024;
    book.ftime = Service::now();
    book.review = Review::Approved;
    const qint64 id = m_db.insertBook(book);
    if (id == 0) {
        m_files.remove(*stored);
        fail(QStringLiteral("cannot write the book row"));
        return std::nullopt;
    }
    return id;
}

bool Admin::approve(qint64 id)
{
    const auto upload = m_db.book(id);
    if (!upload)
        return fail(QStringLiteral("no upload %1").arg(id));
    if (upload->review != Review::Pending)
        return fail(QStringLiteral("upload %1 is not waiting for review").arg(id));
    const auto target = upload->updateOf != 0 ? m_db.book(upload->updateOf) : std::nullopt;
    if (!m_db.begin())
        return fail(QStringLiteral("the database is busy"));
    bool ok = false;
    if (target) {
        // An update takes the place of the book it updates, which keeps its number in the
        // catalogue; the upload's own row goes.
        ok = m_db.replaceBookContent(target->id, *upload) && m_db.deleteBook(upload->id) &&
             (upload->uploaderId == 0 || m_db.addMoney(upload->uploaderId, Service::kUpdateCoins));
    } else {
        ok = m_db.setReview(id, Review::Approved) &&
             (upload->uploaderId == 0 || m_db.addMoney(upload->uploaderId, Service::kNewBookCoins));
    }
    if (!ok || !m_db.commit()) {
        m_db.rollback();
        return fail(QStringLiteral("cannot write the review"));
    }
    if (target) {
        m_files.remove(target->file);
        if (!upload->cover.isEmpty())
            m_files.remove(target->cover);
    }
    return true;
}

bool Admin::reject(qint64 id)
{
    const auto upload = m_db.book(id);
    if (!upload)
        return fail(QStringLiteral("no upload %1").arg(id));
    if (upload->review != Review::Pending)
        return fail(QStringLiteral("upload %1 is not waiting for review").arg(id));
    if (!m_db.setReview(id, Review::Rejected))
        return fail(QStringLiteral("cannot write the review"));
    // The row stays so that the uploader sees the verdict; the files are of no further use.
    m_files.remove(upload->file);
    m_files.remove(upload->cover);
    return true;
}

void Admin::listPending()
{
    for (const BookRecord& b : m_db.pendingBooks()) {
        m_out << b.id << "\t" << b.category << "\t" << b.name << "\t" << b.author << "\t" << b.statue << "\t"
              << b.sizeKb << " KB\t" << b.ftime << "\tuser " << b.uploaderId
              << (b.updateOf != 0 ? QStringLiteral("\tupdate of %1").arg(b.updateOf) : QString()) << "\n";
    }
}

bool Admin::publishUpdate(const QString& version, const QString& mandatory, const QString& notes,
                          const QList<QPair<QString, QString>>& entries)
{
    const QString must = mandatory.trimmed().toUpper();
    if (must != QLatin1String("TRUE") && must != QLatin1String("FALSE"))
        return fail(QStringLiteral("the mandatory flag must be TRUE or FALSE"));
    if (version.trimmed().isEmpty())
        return fail(QStringLiteral("the version is empty"));
    QStringList urls;
    QStringList folders;
    for (const auto& entry : entries) {
        QString url = entry.first;
        if (QFileInfo(url).isFile()) {
            // Served names are plain ASCII, so every updater can ask for them unchanged.
            static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_.\\-]*$"));
            if (!plainName.match(QFileInfo(url).fileName()).hasMatch())
                return fail(
                    QStringLiteral("%1: name update files with letters, digits, '_', '.' and '-' only").arg(url));
            const auto stored = m_files.storeUpdateFile(url);
            if (!stored)
                return fail(QStringLiteral("cannot publish %1").arg(url));
            url = m_config.publicOrigin() + QStringLiteral("/files/") +
                  QString::fromLatin1(QUrl::toPercentEncoding(*stored, "/"));
        } else if (!url.startsWith(QLatin1String("http://")) && !url.startsWith(QLatin1String("https://"))) {
            return fail(QStringLiteral("%1 is neither a file nor an http address").arg(url));
        }
        // The updater joins program folder, folder and file name without separators, so each
        // folder begins and ends with a backslash.
        QString folder = entry.second;
        folder.replace(QLatin1Char('/'), QLatin1Char('\\'));
        if (!folder.startsWith(QLatin1Char('\\')))
            folder.prepend(QLatin1Char('\\'));
        if (!folder.endsWith(QLatin1Char('\\')))
            folder.append(QLatin1Char('\\'));
        if (url.contains(QLatin1String("||")) || folder.contains(QLatin1String("||")) ||
            folder.contains(QLatin1String("..")))
            return fail(QStringLiteral("bad entry %1 %2").arg(entry.first, entry.second));
        urls.append(url);
        folders.append(folder);
    }
    if (!m_db.begin())
        return fail(QStringLiteral("the database is busy"));
    const bool ok = m_db.setSetting(QStringLiteral("version"), version.trimmed()) &&
                    m_db.setSetting(QStringLiteral("mustdown"), must) &&
                    m_db.setSetting(QStringLiteral("verinfo"), notes) &&
                    m_db.setSetting(QStringLiteral("downloadlist"), urls.join(QStringLiteral("||"))) &&
                    m_db.setSetting(QStringLiteral("savepathlist"), folders.join(QStringLiteral("||")));
    if (!ok || !m_db.commit()) {
        m_db.rollback();
        return fail(QStringLiteral("cannot write the update information"));
    }
    return true;
}

bool Admin::setNotice(const QString& which, const QString& text)
{
    static const QStringList keys = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                     QStringLiteral("4")};
    QString key;
    if (keys.contains(which))
        key = QStringLiteral("reader_") + which;
    else if (which.startsWith(QLatin1String("reader_")) && keys.contains(which.mid(7)))
        key = which;
    else if (which == QLatin1String("news"))
        key = QStringLiteral("news");
    else
        return fail(QStringLiteral("the notice is one of 1, 2, 3, 4 or news"));
    return m_db.setSetting(key, text) || fail(QStringLiteral("cannot write the notice"));
}
