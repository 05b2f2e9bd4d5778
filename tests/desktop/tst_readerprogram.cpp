#include "app/LibraryDatabase.h"
#include "desktop/MainWindow.h"
#include "desktop/ReaderProgram.h"

#include "NextModalDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// Points the reader at a program folder of the test's own for one run.
class HomeFolder {
public:
    explicit HomeFolder(const QString& path) : m_old(qgetenv("QUILLMERE_HOME"))
    {
        qputenv("QUILLMERE_HOME", path.toUtf8());
    }
    ~HomeFolder()
    {
        if (m_old.isEmpty())
            qunsetenv("QUILLMERE_HOME");
        else
            qputenv("QUILLMERE_HOME", m_old);
    }

private:
    QByteArray m_old;
};

// A run that hangs (a window that never shows, a box nobody answers) ends with code 99.
void endStuckRunAfter(int seconds)
{
    QTimer::singleShot(seconds * 1000, qApp, [] { QCoreApplication::exit(99); });
}

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

// The reader's main path, as main() runs it, on a program folder of its own.
class TestReaderProgram : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void freshHomeStartsShowsAndEndsOnClose();
    void damagedDatabaseStopsWithCode2();
};

void TestReaderProgram::freshHomeStartsShowsAndEndsOnClose()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    HomeFolder use(home.path());

    QString title;
    bool shown = false;
    QTimer watch;
    watch.setInterval(20);
    connect(&watch, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<MainWindow*>(top);
            if (!window || !window->isVisible())
                continue;
            watch.stop();
            shown = true;
            title = window->windowTitle();
            // As the user closing the window.
            window->close();
        }
    });
    watch.start();
    endStuckRunAfter(60);

    const int code = runReader(*qobject_cast<QApplication*>(qApp));
    QCOMPARE(code, 0);
    QVERIFY(shown);
    QCOMPARE(title, MainWindow::windowTitleText());

    // The library was created from the schema, with the download folder recorded.
    const QString file = home.filePath(QStringLiteral("DataFile/Data.db"));
    QVERIFY(QFileInfo::exists(file));
    LibraryDatabase library(QStringLiteral("check"));
    QCOMPARE(library.open(file), LibraryDatabase::OpenResult::Opened);
    QCOMPARE(library.downSavePath().value_or(QString()), home.filePath(QStringLiteral("TxtBook")));
    QCOMPARE(library.countBooks(ShelfQuery::all()), 0);
}

void TestReaderProgram::damagedDatabaseStopsWithCode2()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QVERIFY(QDir(home.path()).mkpath(QStringLiteral("DataFile")));
    const QString file = home.filePath(QStringLiteral("DataFile/Data.db"));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("SQLite format 3").append(4096, '\x5A'));
    }
    const QByteArray before = fileHash(file);
    HomeFolder use(home.path());

    QString text;
    QString boxTitle;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    NextModalDialog answer([&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (!box) {
            dialog->close();
            return;
        }
        text = box->text();
        boxTitle = box->windowTitle();
        icon = box->icon();
        for (QAbstractButton* button : box->buttons())
            buttons << button->text();
        box->buttons().first()->click();
    });
    endStuckRunAfter(60);

    const int code = runReader(*qobject_cast<QApplication*>(qApp));
    QCOMPARE(code, 2);
    QVERIFY(answer.seen());
    QCOMPARE(boxTitle, QStringLiteral("书库打开失败"));
    QVERIFY2(text.contains(QStringLiteral("不是有效的数据库")), qPrintable(text));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttons, QStringList({QStringLiteral("确定")}));
    // No window came up, and the damaged file is left exactly as it was for the user to rescue.
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<MainWindow*>(top));
    QCOMPARE(fileHash(file), before);
}

QTEST_MAIN(TestReaderProgram)
#include "tst_readerprogram.moc"
