#include "desktop/TypographyController.h"

#include "app/LibraryDatabase.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

TypographyController::TypographyController(LibraryDatabase& library, ReadingPage& page,
                                           const QStringList& installedFamilies, QObject* parent)
    : QObject(parent), m_library(library), m_page(page)
{
    m_menu = new QMenu(QStringLiteral("排版"), &page);
    m_menu->setObjectName(QStringLiteral("Menue_Typography"));

    QList<std::pair<QString, QVariant>> fonts{{QStringLiteral("宋体（衬线）"), ReadingTypography::kSerif},
                                              {QStringLiteral("黑体（无衬线）"), ReadingTypography::kSans}};
    for (const QString& family : ReadingTypography::fontChoices(installedFamilies))
        fonts.append({family, family});
    QMenu* fontMenu = m_menu->addMenu(QStringLiteral("字体"));
    fontMenu->setObjectName(QStringLiteral("Typography_Font"));
    m_fonts = addChoices(fontMenu, QStringLiteral("Typography_Font_"), fonts,
                         [](ReadingTypography& t, const QVariant& v) { t.font = v.toString(); });

    QMenu* lineMenu = m_menu->addMenu(QStringLiteral("行距"));
    lineMenu->setObjectName(QStringLiteral("Typography_LineSpacing"));
    m_lineSpacing = addChoices(lineMenu, QStringLiteral("Typography_LineSpacing_"),
                               {{QStringLiteral("紧凑"), 150},
                                {QStringLiteral("适中"), 175},
                                {QStringLiteral("标准"), ReadingTypography::kDefaultLineSpacing},
                                {QStringLiteral("宽松"), 230},
                                {QStringLiteral("很宽"), 270}},
                               [](ReadingTypography& t, const QVariant& v) { t.lineSpacing = v.toInt(); });

    QMenu* paragraphMenu = m_menu->addMenu(QStringLiteral("段距"));
    paragraphMenu->setObjectName(QStringLiteral("Typography_ParagraphSpacing"));
    m_paragraphSpacing =
        addChoices(paragraphMenu, QStringLiteral("Typography_ParagraphSpacing_"),
                   {{QStringLiteral("无"), 0}, {QStringLiteral("半行"), 50}, {QStringLiteral("一行"), 100}},
                   [](ReadingTypography& t, const QVariant& v) { t.paragraphSpacing = v.toInt(); });

    QMenu* widthMenu = m_menu->addMenu(QStringLiteral("版心宽度"));
    widthMenu->setObjectName(QStringLiteral("Typography_LineChars"));
    m_lineChars = addChoices(widthMenu, QStringLiteral("Typography_LineChars_"),
                             {{QStringLiteral("每行 30 字"), 30},
                              {QStringLiteral("每行 35 字"), 35},
                              {QStringLiteral("每行 40 字"), ReadingTypography::kDefaultLineChars},
                              {QStringLiteral("每行 45 字"), 45},
                              {QStringLiteral("每行 50 字"), 50},
                              {QStringLiteral("随窗口宽度"), 0}},
                             [](ReadingTypography& t, const QVariant& v) { t.lineChars = v.toInt(); });

    m_menu->addSeparator();
    m_indent = m_menu->addAction(QStringLiteral("首行缩进两字"));
    m_indent->setObjectName(QStringLiteral("Typography_Indent"));
    m_indent->setCheckable(true);
    connect(m_indent, &QAction::triggered, this, [this](bool on) {
        ReadingTypography next = m_current;
        next.indent = on;
        choose(next);
    });

    page.addToolMenu(m_menu);
    syncMenu();
}

QActionGroup* TypographyController::addChoices(QMenu* menu, const QString& objectName,
                                               const QList<std::pair<QString, QVariant>>& items,
                                               const std::function<void(ReadingTypography&, const QVariant&)>& set)
{
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    for (int i = 0; i < items.size(); ++i) {
        QAction* action = menu->addAction(items[i].first);
        action->setObjectName(objectName + QString::number(i));
        action->setData(items[i].second);
        action->setCheckable(true);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, set, value = items[i].second] {
            ReadingTypography next = m_current;
            set(next, value);
            choose(next);
        });
    }
    return group;
}

void TypographyController::load()
{
    m_current = ReadingTypography::fromOptions([this](const QString& name) { return m_library.option(name); });
    m_page.view()->applyTypography(m_current);
    syncMenu();
}

void TypographyController::choose(const ReadingTypography& typography)
{
    m_current = typography.clamped();
    m_page.view()->applyTypography(m_current);
    for (const auto& [name, value] : m_current.toOptions())
        m_library.setOption(name, value);
    syncMenu();
    emit typographyChanged();
}

void TypographyController::syncMenu()
{
    const auto check = [](QActionGroup* group, const QVariant& value) {
        for (QAction* action : group->actions())
            action->setChecked(action->data() == value);
    };
    check(m_fonts, m_current.font);
    check(m_lineSpacing, m_current.lineSpacing);
    check(m_paragraphSpacing, m_current.paragraphSpacing);
    check(m_lineChars, m_current.lineChars);
    m_indent->setChecked(m_current.indent);
}
