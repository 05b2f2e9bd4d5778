#include "desktop/SettingsController.h"

#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "common/SharedRoutines.h"
#include "desktop/BossKey.h"
#include "platform/AutoStart.h"
#include "platform/Dialogs.h"
#include "platform/Pickers.h"
#include "reader/ReadingAppearance.h"
#include "reader/position/LastBook.h"

namespace {

const QString kSaveFailedTitle = QStringLiteral("保存失败");

// Walks the list as the page's combo box does: the first item equal to `text` (ignoring
// case when asked), otherwise the last item stays selected.
int indexIn(const QStringList& items, const QString& text, Qt::CaseSensitivity cs)
{
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].compare(text, cs) == 0)
            return i;
    }
    return items.size() - 1;
}

// Stored colours reach the reading page as exactly six hex digits, whatever the row holds.
QString cleanHex(const QString& stored)
{
    return colorToHex(hexToColor(stored));
}

} // namespace

SettingsController::SettingsController(LibraryDatabase& library, AppState& state, Dialogs& dialogs, Pickers& pickers,
                                       AutoStart& autoStart, BossKey& bossKey)
    : m_library(library), m_state(state), m_dialogs(dialogs), m_pickers(pickers), m_autoStart(autoStart),
      m_bossKey(bossKey)
{
}

QStringList SettingsController::modifierNames()
{
    return {QStringLiteral("Alt"), QStringLiteral("Ctrl"), QStringLiteral("Shift")};
}

QStringList SettingsController::sizeNames()
{
    return {QStringLiteral("小号"), QStringLiteral("中号"), QStringLiteral("大号"), QStringLiteral("特大号")};
}

SettingsView SettingsController::load()
{
    SettingsView view;
    view.path = m_state.downloadFolder;
    view.autoRun = m_library.autoRun().value_or(false);
    view.reopenLastBook = LastBook::reopensAtStart(&m_library);

    const QStringList bossParts = m_library.bossKey().value_or(QString()).split(QLatin1Char('|'));
    view.modifierIndex = indexIn(modifierNames(), bossParts.value(0), Qt::CaseInsensitive);
    m_bossKeyNotice.clear();
    if (bossParts.size() >= 2) {
        view.key = bossParts[1].toUpper();
        noteBossKey(m_bossKey.setCombination(bossParts[0], bossParts[1]), bossParts[0], bossParts[1]);
    } else if (!m_bossKey.isAvailable()) {
        noteBossKey(GlobalHotKey::Result::Unavailable, QString(), QString());
    }

    const std::optional<QString> txtSize = m_library.txtSize();
    const std::optional<QString> txtColor = m_library.txtColor();
    const std::optional<QString> backColor = m_library.backColor();
    view.sizeIndex = indexIn(sizeNames(), txtSize.value_or(QString()), Qt::CaseSensitive);
    view.txtColor = hexToColor(txtColor.value_or(QString()));
    view.backColor = hexToColor(backColor.value_or(QString()));

    // An unknown size shows as "特大号" yet styles the page at 14px: the stored text decides.
    // Values that could not be read leave the page as designed rather than black on black.
    if (txtSize && txtColor && backColor)
        applyAppearance(cleanHex(*txtColor), *txtSize, cleanHex(*backColor));
    return view;
}

std::optional<QString> SettingsController::chooseFolder(QWidget* owner)
{
    const QString folder = m_pickers.folder(owner, QStringLiteral("请选择一个目录."));
    if (folder.isEmpty()) {
        m_dialogs.message(QStringLiteral("你取消了选择目录.."), Dialogs::programTitle(), Dialogs::Exclamation);
        return std::nullopt;
    }
    return folder;
}

std::optional<QColor> SettingsController::chooseColor(QWidget* owner, const QColor& current)
{
    return m_pickers.color(owner, current);
}

bool SettingsController::save(const SettingsInput& input)
{
    if (input.path.trimmed().isEmpty()) {
        m_dialogs.message(QStringLiteral("电子书下载保存路径不能为空！"), kSaveFailedTitle, Dialogs::Stop);
        return false;
    }
    if (input.key.trimmed().isEmpty() || input.modifier.trimmed().isEmpty()) {
        m_dialogs.message(QStringLiteral("老板键设置错误！"), kSaveFailedTitle, Dialogs::Stop);
        return false;
    }

    SettingsRow row;
    row.autoRun = input.autoRun;
    if (input.autoRun)
        m_autoStart.add();
    else
        m_autoStart.remove();

    row.bossKey = input.modifier + QLatin1Char('|') + input.key;
    const GlobalHotKey::Result bossResult = m_bossKey.setCombination(input.modifier, input.key);
    noteBossKey(bossResult, input.modifier, input.key);

    row.txtColor = colorToHex(input.txtColor);
    row.txtSize = input.txtSize;
    row.backColor = colorToHex(input.backColor);
    row.downSavePath = input.path; // as typed: blanks around it are part of the folder name

    if (!m_library.saveSettings(row) || !LastBook::setReopensAtStart(&m_library, input.reopenLastBook)) {
        // Reporting success here would lose the settings at the next start without a word.
        m_dialogs.message(QStringLiteral("参数未能写入书库数据库：\n%1").arg(m_library.lastError()), kSaveFailedTitle,
                          Dialogs::Stop);
        return false;
    }
    m_state.downloadFolder = input.path;
    applyAppearance(row.txtColor, row.txtSize, row.backColor);

    m_dialogs.message(QStringLiteral("恭喜你，参数设置成功！"), QStringLiteral("设置成功"), Dialogs::Information);

    const QString combination = combinationText(input.modifier, input.key);
    if (bossResult == GlobalHotKey::Result::Taken)
        m_dialogs.message(QStringLiteral("老板键 %1 已被其他程序占用，请换一个组合键。").arg(combination),
                          QStringLiteral("老板键"), Dialogs::Exclamation);
    else if (bossResult == GlobalHotKey::Result::NoSuchKey)
        m_dialogs.message(QStringLiteral("老板键 %1 无法使用，请换一个按键。").arg(combination),
                          QStringLiteral("老板键"), Dialogs::Exclamation);
    return true;
}

void SettingsController::applyAppearance(const QString& txtColor, const QString& txtSize, const QString& backColor)
{
    if (m_appearance)
        m_appearance->applyAppearance(txtColor, txtSize, backColor);
}

QString SettingsController::combinationText(const QString& modifier, const QString& key)
{
    return modifier.trimmed() + QLatin1Char('+') + key.left(1).toUpper();
}

void SettingsController::noteBossKey(GlobalHotKey::Result result, const QString& modifier, const QString& key)
{
    switch (result) {
    case GlobalHotKey::Result::Ok:
        m_bossKeyNotice.clear();
        break;
    case GlobalHotKey::Result::Unavailable:
        m_bossKeyNotice = QStringLiteral("当前桌面环境不支持全局热键（需要 X11），老板键无法使用。");
        break;
    case GlobalHotKey::Result::Taken:
        m_bossKeyNotice =
            QStringLiteral("老板键 %1 已被其他程序占用，目前不起作用。").arg(combinationText(modifier, key));
        break;
    case GlobalHotKey::Result::NoSuchKey:
        m_bossKeyNotice = QStringLiteral("老板键 %1 无法使用，请换一个按键。").arg(combinationText(modifier, key));
        break;
    }
}
