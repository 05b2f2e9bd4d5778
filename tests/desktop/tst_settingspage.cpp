#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "desktop/ColorSwatch.h"
#include "desktop/SettingsModule.h"
#include "desktop/SettingsPage.h"
#include "platform/x11/X11GlobalHotKey.h"

#include "FakeAutoStart.h"
#include "FakeDialogs.h"
#include "FakeGlobalHotKey.h"
#include "FakePickers.h"
#include "FakeReadingAppearance.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

namespace {

struct PageFixture {
    QTemporaryDir dir;
    LibraryDatabase library{QStringLiteral("settings-page-test")};
    AppState state;
    FakeDialogs dialogs;
    FakePickers pickers;
    FakeAutoStart autoStart;
    FakeGlobalHotKey hotKey;
    FakeReadingAppearance appearance;
    QWidget window;
    std::unique_ptr<SettingsModule> module;
    SettingsPage* page = nullptr;

    explicit PageFixture(GlobalHotKey* realHotKey = nullptr)
    {
        library.open(dir.filePath(QStringLiteral("Data.db")));
        state.library = &library;
        state.downloadFolder = QStringLiteral("/srv/TxtBook");
        module = std::make_unique<SettingsModule>(library, state, dialogs, pickers, autoStart,
                                                  realHotKey ? *realHotKey : hotKey);
        module->setReadingAppearance(&appearance);
        page = module->page(&window);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(page);
    }

    template <typename T> T* find(const char* name)
    {
        T* w = page->findChild<T*>(QLatin1String(name));
        if (!w)
            qWarning("no %s", name);
        return w;
    }
    void store(const QString& sql)
    {
        QSqlQuery q(library.connection());
        QVERIFY2(q.exec(sql), qPrintable(sql));
    }
};

QStringList labelTexts(const QWidget* page)
{
    QStringList texts;
    for (const QLabel* l : page->findChildren<QLabel*>())
        texts << l->text();
    return texts;
}

} // namespace

class TestSettingsPage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void controlsAndCaptions();
    void loadShowsStoredValues();
    void folderPicker();
    void colourPickers();
    void saveStoresWhatIsOnThePage();
    void bossKeyUnavailableSaidOnce();
};

void TestSettingsPage::controlsAndCaptions()
{
    PageFixture f;
    QStringList groups;
    for (const QGroupBox* g : f.page->findChildren<QGroupBox*>())
        groups << g->title();
    QCOMPARE(groups, QStringList({"系统选项", "阅读设置"}));

    const QStringList labels = labelTexts(f.page);
    for (const char* text :
         {"电子书下载目录：", "是否开机启动：", "老板键设置：", "+", "文字颜色：", "文字大小：", "背景颜色："})
        QVERIFY2(labels.contains(QString::fromUtf8(text)), text);

    QVERIFY(f.find<QLineEdit>("Text4"));
    QCOMPARE(f.find<QRadioButton>("Option1")->text(), QStringLiteral("是"));
    QCOMPARE(f.find<QRadioButton>("Option2")->text(), QStringLiteral("否"));
    QComboBox* modifier = f.find<QComboBox>("Combo2");
    QCOMPARE(modifier->count(), 3);
    QCOMPARE(modifier->itemText(0), QStringLiteral("Alt"));
    QCOMPARE(modifier->itemText(1), QStringLiteral("Ctrl"));
    QCOMPARE(modifier->itemText(2), QStringLiteral("Shift"));
    QCOMPARE(f.find<QLineEdit>("Text5")->text(), QStringLiteral("B"));
    QComboBox* size = f.find<QComboBox>("Combo4");
    QCOMPARE(size->count(), 4);
    QCOMPARE(size->itemText(3), QStringLiteral("特大号"));
    QVERIFY(f.find<ColorSwatch>("Picture6"));
    QVERIFY(f.find<ColorSwatch>("Picture7"));
    QStringList buttons;
    for (const QPushButton* b : f.page->findChildren<QPushButton*>())
        buttons << b->text();
    buttons.sort();
    QStringList expected{"选择...", "选择", "选择", "保存设置"};
    expected.sort();
    QCOMPARE(buttons, expected);
}

void TestSettingsPage::loadShowsStoredValues()
{
    PageFixture f;
    f.store(QStringLiteral("UPDATE SysSet SET AutoRun = 1, BossKey = 'alt|q', TxtSize = '超大', "
                           "TxtColor = '010203', BackColor = '0000FF'"));
    f.module->load();
    QCOMPARE(f.find<QLineEdit>("Text4")->text(), QStringLiteral("/srv/TxtBook"));
    QVERIFY(f.find<QRadioButton>("Option1")->isChecked());
    QVERIFY(!f.find<QRadioButton>("Option2")->isChecked());
    QCOMPARE(f.find<QComboBox>("Combo2")->currentText(), QStringLiteral("Alt"));
    QCOMPARE(f.find<QLineEdit>("Text5")->text(), QStringLiteral("Q"));
    QCOMPARE(f.find<QComboBox>("Combo4")->currentText(), QStringLiteral("特大号"));
    QCOMPARE(f.find<ColorSwatch>("Picture6")->color(), QColor(1, 2, 3));
    QCOMPARE(f.find<ColorSwatch>("Picture7")->color(), QColor(0, 0, 255));
    QCOMPARE(f.hotKey.modifiers(), int(GlobalHotKey::Alt));
    QCOMPARE(f.hotKey.keyCode(), int('Q'));
    QCOMPARE(ReadingAppearance::fontSizeFor(f.appearance.last().txtSize), QStringLiteral("14px"));
    QVERIFY(!f.find<QLabel>("BossKeyNotice")->isVisibleTo(f.page));
}

void TestSettingsPage::folderPicker()
{
    PageFixture f;
    f.module->load();
    QLineEdit* path = f.find<QLineEdit>("Text4");
    f.pickers.nextFolder(QString());
    QTest::mouseClick(f.find<QPushButton>("ChooseFolder"), Qt::LeftButton);
    QCOMPARE(path->text(), QStringLiteral("/srv/TxtBook"));
    QCOMPARE(f.dialogs.last().text, QStringLiteral("你取消了选择目录.."));

    f.pickers.nextFolder(QStringLiteral("/srv/新 书"));
    QTest::mouseClick(f.find<QPushButton>("ChooseFolder"), Qt::LeftButton);
    QCOMPARE(path->text(), QStringLiteral("/srv/新 书"));
    QCOMPARE(f.dialogs.count(), 1);
    QCOMPARE(f.state.downloadFolder, QStringLiteral("/srv/TxtBook")); // not until saved
}

void TestSettingsPage::colourPickers()
{
    PageFixture f;
    f.store(QStringLiteral("UPDATE SysSet SET TxtColor = '000000', BackColor = 'FFFFFF'"));
    f.module->load();
    ColorSwatch* text = f.find<ColorSwatch>("Picture6");
    ColorSwatch* back = f.find<ColorSwatch>("Picture7");
    f.pickers.nextColor(std::nullopt);
    QTest::mouseClick(f.find<QPushButton>("ChooseTxtColor"), Qt::LeftButton);
    QCOMPARE(text->color(), QColor(0, 0, 0));

    f.pickers.nextColor(QColor(1, 2, 3));
    QTest::mouseClick(f.find<QPushButton>("ChooseTxtColor"), Qt::LeftButton);
    QCOMPARE(text->color(), QColor(1, 2, 3));
    f.pickers.nextColor(QColor(0, 0, 255));
    QTest::mouseClick(f.find<QPushButton>("ChooseBackColor"), Qt::LeftButton);
    QCOMPARE(back->color(), QColor(0, 0, 255));
    QCOMPARE(text->color(), QColor(1, 2, 3));
    QVERIFY(f.dialogs.boxes().isEmpty());
}

void TestSettingsPage::saveStoresWhatIsOnThePage()
{
    PageFixture f;
    f.store(QStringLiteral("UPDATE SysSet SET BossKey = 'Alt|Q', AutoRun = 0"));
    f.module->load();
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));

    QLineEdit* path = f.find<QLineEdit>("Text4");
    path->clear();
    QTest::keyClicks(path, QStringLiteral(" /srv/my books "));
    QTest::mouseClick(f.find<QRadioButton>("Option1"), Qt::LeftButton);
    f.find<QComboBox>("Combo2")->setCurrentIndex(1);
    QLineEdit* key = f.find<QLineEdit>("Text5");
    key->selectAll();
    QTest::keyClicks(key, QStringLiteral("b"));
    f.find<QComboBox>("Combo4")->setCurrentIndex(2);
    f.pickers.nextColor(QColor(255, 255, 255));
    QTest::mouseClick(f.find<QPushButton>("ChooseTxtColor"), Qt::LeftButton);
    f.pickers.nextColor(QColor(1, 2, 3));
    QTest::mouseClick(f.find<QPushButton>("ChooseBackColor"), Qt::LeftButton);

    QTest::mouseClick(f.find<QPushButton>("SaveSettings"), Qt::LeftButton);
    QCOMPARE(f.dialogs.last().text, QStringLiteral("恭喜你，参数设置成功！"));
    const auto row = f.library.settings();
    QCOMPARE(row->downSavePath, QStringLiteral(" /srv/my books "));
    QVERIFY(row->autoRun);
    QCOMPARE(row->bossKey, QStringLiteral("Ctrl|b"));
    QCOMPARE(row->txtSize, QStringLiteral("大号"));
    QCOMPARE(row->txtColor, QStringLiteral("FFFFFF"));
    QCOMPARE(row->backColor, QStringLiteral("010203"));
    QCOMPARE(f.state.downloadFolder, QStringLiteral(" /srv/my books "));
    QCOMPARE(f.autoStart.calls, QStringList{"add"});
    QCOMPARE(f.hotKey.modifiers(), int(GlobalHotKey::Ctrl));
    QCOMPARE(f.hotKey.keyCode(), 66);
    QCOMPARE(f.appearance.last().txtColor, QStringLiteral("FFFFFF"));
    QCOMPARE(f.appearance.last().backColor, QStringLiteral("010203"));
    QCOMPARE(f.appearance.last().txtSize, QStringLiteral("大号"));

    // A taken combination shows on the page after the save.
    f.hotKey.nextResult = GlobalHotKey::Result::Taken;
    QTest::mouseClick(f.find<QPushButton>("SaveSettings"), Qt::LeftButton);
    QLabel* notice = f.find<QLabel>("BossKeyNotice");
    QVERIFY(notice->isVisible());
    QVERIFY(notice->text().contains(QStringLiteral("Ctrl+B")));
}

void TestSettingsPage::bossKeyUnavailableSaidOnce()
{
    // The real X11 hot key under the offscreen platform has no X server to talk to.
    X11GlobalHotKey x11;
    QVERIFY(!x11.isAvailable());
    QCOMPARE(x11.registerKey(GlobalHotKey::Ctrl, 'B'), GlobalHotKey::Result::Unavailable);
    x11.unregisterKey();

    PageFixture f(&x11);
    f.store(QStringLiteral("UPDATE SysSet SET BossKey = 'Ctrl|B'"));
    f.module->load();
    f.window.show();
    QLabel* notice = f.find<QLabel>("BossKeyNotice");
    QVERIFY(notice->isVisible());
    QVERIFY(notice->text().contains(QStringLiteral("X11")));
    int notices = 0;
    for (const QString& text : labelTexts(f.page))
        notices += text.contains(QStringLiteral("X11")) ? 1 : 0;
    QCOMPARE(notices, 1);

    QTest::mouseClick(f.find<QPushButton>("SaveSettings"), Qt::LeftButton);
    QCOMPARE(f.dialogs.count(), 1);
    QCOMPARE(f.dialogs.last().text, QStringLiteral("恭喜你，参数设置成功！"));
    QVERIFY(notice->isVisible());

    if (qEnvironmentVariableIsSet("QUILLMERE_SCREENSHOTS"))
        f.window.grab().save(qEnvironmentVariable("QUILLMERE_SCREENSHOTS") + QStringLiteral("/settings.png"));
}

QTEST_MAIN(TestSettingsPage)
#include "tst_settingspage.moc"
