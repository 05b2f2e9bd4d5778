#include "DemoSeeder.h"

#include "PasswordHasher.h"
#include "RarWriter.h"
#include "Service.h"
#include "TextCodec.h"

#include <QDateTime>

#include <archive.h>
#include <archive_entry.h>

namespace {

const char* const kNumerals[] = {"一", "二", "三",   "四",   "五",   "六",   "七",   "八",
                                 "九", "十", "十一", "十二", "十三", "十四", "十五", "十六"};

const char* const kPhrases[] = {
    "山风吹过竹林，远处传来几声钟响。",   "他推开窗，看见院中的桃花开得正好。", "众人听罢，面面相觑，半晌无人说话。",
    "她低头想了一想，终于点了点头。",     "夜色渐深，城中灯火一盏盏熄了下去。", "那老者捋着胡须，笑道：“不急，不急。”",
    "马蹄声由远而近，尘土扬起老高。",     "雨下了整整一夜，第二日天才放晴。",   "他心中暗想，此事只怕没有那么简单。",
    "桌上的茶早已凉了，却没有人去动它。", "一行人沿着河岸向东走了三十余里。",   "窗外的蝉鸣一阵紧似一阵。",
};

struct DemoBook {
    const char* name;
    const char* author;
    const char* statue;
};

// Three books a category, in the categories' fixed order.
const DemoBook kDemoBooks[] = {
    {"青锋剑影录", "江南客", "全集"},     {"云海仙踪", "白石道人", "连载"},   {"孤城刀客", "北风", "全集"},
    {"星河帝尊", "墨染青衣", "连载"},     {"九转玄功", "风吟", "全集"},       {"太古灵源", "云中君", "连载"},
    {"都市晨光", "林小雨", "全集"},       {"半城烟雨半城你", "苏浅", "连载"}, {"咖啡馆的秋天", "叶知秋", "全集"},
    {"像素冒险家", "老猫", "连载"},       {"二次元的夏天", "小柚子", "全集"}, {"电竞少年", "疾风", "连载"},
    {"长河落日", "史笔", "全集"},         {"烽火边关", "铁衣", "连载"},       {"大唐驿站", "长安旧客", "全集"},
    {"雨夜迷案", "程默", "全集"},         {"古宅回声", "幽兰", "连载"},       {"第七个证人", "周密", "全集"},
    {"行走在高原", "路远", "全集"},       {"小镇纪事", "陈实", "全集"},       {"老街手艺人", "方言", "连载"},
    {"古文入门三十讲", "何先生", "全集"}, {"写作的基本功", "文心", "全集"},   {"英语词汇的故事", "王老师", "连载"},
    {"管理的常识", "宁远", "全集"},       {"论语随笔", "闲云", "全集"},       {"团队的力量", "高远", "连载"},
    {"杂记百篇", "无名氏", "全集"},       {"旅途随想", "行者", "连载"},       {"四季食单", "阿满", "全集"},
};

struct DemoUser {
    const char* name;
    const char* password;
    int points;
    int money;
};

const DemoUser kDemoUsers[] = {
    {"demo", "demo123", 120, 25},    {"书虫小明", "demo123", 360, 12}, {"夜读人", "demo123", 80, 40},
    {"江湖过客", "demo123", 210, 5}, {"reader_01", "demo123", 30, 18},
};

} // namespace

DemoSeeder::DemoSeeder(const ServerConfig& config, ServiceDatabase& db, FileStore& files)
    : m_config(config), m_db(db), m_files(files)
{
}

bool DemoSeeder::isEmpty()
{
    return m_db.bookCount() == 0 && m_db.userCount() == 0;
}

QString DemoSeeder::bookText(const QString& title, int chapters, int seed)
{
    QString text = title + QStringLiteral("\r\n\r\n");
    const int phraseCount = int(sizeof kPhrases / sizeof kPhrases[0]);
    for (int c = 0; c < chapters; ++c) {
        text += QStringLiteral("第%1章 %2\r\n")
                    .arg(QString::fromUtf8(kNumerals[c % 16]),
                         QString::fromUtf8(kPhrases[(seed + c) % phraseCount]).left(4));
        for (int p = 0; p < 12; ++p) {
            text += QStringLiteral("　　");
            for (int s = 0; s < 4; ++s)
                text += QString::fromUtf8(kPhrases[(seed * 7 + c * 5 + p * 3 + s) % phraseCount]);
            text += QStringLiteral("\r\n");
        }
        text += QStringLiteral("\r\n");
    }
    return text;
}

QByteArray DemoSeeder::zipOf(const QString& entryName, const QByteArray& data)
{
    QByteArray buffer(data.size() + 64 * 1024, '\0');
    size_t used = 0;
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_open_memory(a, buffer.data(), static_cast<size_t>(buffer.size()), &used);
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, entryName.toUtf8().constData());
    archive_entry_set_size(entry, data.size());
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_mtime(entry, QDateTime::currentSecsSinceEpoch(), 0);
    bool ok = archive_write_header(a, entry) == ARCHIVE_OK &&
              archive_write_data(a, data.constData(), static_cast<size_t>(data.size())) == data.size();
    archive_entry_free(entry);
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    if (!ok)
        return {};
    buffer.truncate(static_cast<int>(used));
    return buffer;
}

bool DemoSeeder::seedDemo(QTextStream& out)
{
    if (!isEmpty()) {
        out << "the service already has books or users; nothing seeded\n";
        return true;
    }
    PasswordHasher hasher(m_config.pwhashOps, m_config.pwhashMemBytes);
    QList<qint64> userIds;
    const QString created = Service::now();
    for (const DemoUser& u : kDemoUsers) {
        UserRecord user;
        user.name = QString::fromUtf8(u.name);
        user.pwhash = hasher.hash(QString::fromUtf8(u.password));
        user.answerHash = hasher.hash(QStringLiteral("书"));
        user.email = user.name == QLatin1String("demo") ? QStringLiteral("demo@example.com")
                                                        : QStringLiteral("reader@example.com");
        user.sex = QStringLiteral("保密");
        user.question = QStringLiteral("你最喜欢的明星是谁?");
        user.points = u.points;
        user.money = u.money;
        const qint64 id = m_db.insertUser(user, created);
        if (id <= 0) {
            m_error = QStringLiteral("cannot create the demo user %1").arg(user.name);
            return false;
        }
        userIds.append(id);
    }

    const QDateTime start = QDateTime::currentDateTime();
    int index = 0;
    for (const DemoBook& d : kDemoBooks) {
        BookRecord book;
        book.name = QString::fromUtf8(d.name);
        book.author = QString::fromUtf8(d.author);
        book.statue = QString::fromUtf8(d.statue);
        book.category = Service::kCategories[index / 3];
        const int chapters = 6 + index % 5;
        if (book.statue == QStringLiteral("连载"))
            book.newchap = QStringLiteral("第%1章").arg(QString::fromUtf8(kNumerals[chapters - 1]));
        book.memo = QStringLiteral("演示用的电子书，内容由程序生成。");
        const QByteArray text = TextCodec::encodeGbk(bookText(book.name, chapters, index));
        // Every third book comes as a ZIP archive and three come as RAR archives (the book in
        // a folder of its own), so downloads of every kind can be tried.
        const bool zipped = index % 3 == 2;
        const bool rarred = index % 9 == 4;
        QByteArray data = text;
        QString extension = QStringLiteral("txt");
        if (zipped) {
            data = zipOf(QStringLiteral("demo-%1.txt").arg(index + 1, 2, 10, QLatin1Char('0')), text);
            extension = QStringLiteral("zip");
        } else if (rarred) {
            data = RarWriter::stored({{book.name + QLatin1Char('/') + book.name + QStringLiteral(".txt"), text}});
            extension = QStringLiteral("rar");
        }
        const auto stored = m_files.store(data, QStringLiteral("b"), extension);
        if (data.isEmpty() || !stored) {
            m_error = QStringLiteral("cannot store the demo book %1").arg(book.name);
            return false;
        }
        book.file = *stored;
        book.sizeKb = (data.size() + 1023) / 1024;
        book.ftime = start.addSecs(-3600LL * (index + 1)).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        // The demo account shared two of the books and waits for review of a third.
        book.uploaderId = index < 3 ? userIds.first() : 0;
        book.review = index == 2 ? Review::Pending : Review::Approved;
        if (m_db.insertBook(book) == 0) {
            m_error = QStringLiteral("cannot write the demo book %1").arg(book.name);
            return false;
        }
        ++index;
    }

    const QString origin = m_config.publicOrigin();
    m_db.setSetting(QStringLiteral("reader_1"), origin + QStringLiteral("/readerserver/NewsInfo.asp"));
    m_db.setSetting(
        QStringLiteral("reader_2"),
        QStringLiteral(
            "<div style=\"text-align:center;color:#c64f06\">Quillmere 书友社区：人人为我，我为人人！</div>"));
    m_db.setSetting(QStringLiteral("reader_3"),
                    QStringLiteral("<p style=\"color:#999;font-size:12px\">本书由 Quillmere 书友社区分享</p>"));
    m_db.setSetting(QStringLiteral("reader_4"),
                    QStringLiteral("<p style=\"color:#999;font-size:12px\">喜欢本书请推荐给你的朋友</p>"));
    m_db.setSetting(QStringLiteral("version"), QStringLiteral("v1.3"));
    m_db.setSetting(QStringLiteral("mustdown"), QStringLiteral("FALSE"));
    out << "seeded " << index << " books and " << userIds.size() << " users (log in as demo / demo123)\n";
    return true;
}

bool DemoSeeder::seedBench(int books, int users, QTextStream& out)
{
    if (!isEmpty()) {
        m_error = QStringLiteral("the service is not empty");
        return false;
    }
    // All bench books share one small file: the benchmark measures the catalogue, not the disk.
    const auto stored = m_files.store(TextCodec::encodeGbk(bookText(QStringLiteral("压测"), 3, 1)), QStringLiteral("b"),
                                      QStringLiteral("txt"));
    if (!stored) {
        m_error = QStringLiteral("cannot store the bench file");
        return false;
    }
    const QStringList words = {QStringLiteral("剑"), QStringLiteral("仙"), QStringLiteral("城"), QStringLiteral("星"),
                               QStringLiteral("梦"), QStringLiteral("雪"), QStringLiteral("龙"), QStringLiteral("风")};
    const QDateTime start = QDateTime::currentDateTime();
    if (!m_db.begin())
        return false;
    for (int i = 0; i < books; ++i) {
        BookRecord b;
        b.name = words[i % 8] + words[(i / 8) % 8] + QStringLiteral("传说%1").arg(i);
        b.author = QStringLiteral("作者%1").arg(i % 500);
        b.category = Service::kCategories[i % 10];
        b.statue = i % 2 ? QStringLiteral("全集") : QStringLiteral("连载");
        b.file = *stored;
        b.sizeKb = 1;
        b.ftime = start.addSecs(-i).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        b.review = Review::Approved;
        if (m_db.insertBook(b) == 0) {
            m_db.rollback();
            m_error = QStringLiteral("cannot write bench books");
            return false;
        }
    }
    // One hash serves every bench user: each stored hash carries its own parameters and salt,
    // so sharing one is valid, and hashing a thousand passwords would only slow the set-up.
    PasswordHasher hasher(m_config.pwhashOps, m_config.pwhashMemBytes);
    const QString hash = hasher.hash(QStringLiteral("benchpass"));
    for (int i = 0; i < users; ++i) {
        UserRecord u;
        u.name = QStringLiteral("bench%1").arg(i, 5, 10, QLatin1Char('0'));
        u.pwhash = hash;
        u.answerHash = hash;
        u.email = QStringLiteral("bench@example.com");
        u.sex = QStringLiteral("保密");
        u.points = i % 97;
        u.money = i % 31;
        if (m_db.insertUser(u, Service::now()) <= 0) {
            m_db.rollback();
            m_error = QStringLiteral("cannot write bench users");
            return false;
        }
    }
    if (!m_db.commit()) {
        m_error = QStringLiteral("cannot commit the bench data");
        return false;
    }
    out << "seeded " << books << " books and " << users << " users (password benchpass)\n";
    return true;
}
