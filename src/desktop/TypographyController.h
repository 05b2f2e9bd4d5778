#pragma once

#include "reader/ReadingTypography.h"

#include <QObject>

class LibraryDatabase;
class QAction;
class QActionGroup;
class QMenu;
class ReadingPage;

// The "排版" menu of the reading page: font, line spacing, paragraph spacing, the
// two-character indent and the characters a line. A choice is applied to the page at once,
// without reloading the chapter, and written to the library's reader options.
class TypographyController : public QObject {
    Q_OBJECT
public:
    // `installedFamilies`: the installed Chinese font families (QFontDatabase in the program).
    TypographyController(LibraryDatabase& library, ReadingPage& page, const QStringList& installedFamilies,
                         QObject* parent = nullptr);

    // The stored typography, applied to the page.
    void load();
    // Applies and stores `typography` (brought within bounds).
    void choose(const ReadingTypography& typography);
    const ReadingTypography& current() const { return m_current; }
    QMenu* menu() const { return m_menu; }

signals:
    void typographyChanged();

private:
    QActionGroup* addChoices(QMenu* menu, const QString& objectName, const QList<std::pair<QString, QVariant>>& items,
                             const std::function<void(ReadingTypography&, const QVariant&)>& set);
    void syncMenu();

    LibraryDatabase& m_library;
    ReadingPage& m_page;
    ReadingTypography m_current;
    QMenu* m_menu = nullptr;
    QActionGroup* m_fonts = nullptr;
    QActionGroup* m_lineSpacing = nullptr;
    QActionGroup* m_paragraphSpacing = nullptr;
    QActionGroup* m_lineChars = nullptr;
    QAction* m_indent = nullptr;
};
