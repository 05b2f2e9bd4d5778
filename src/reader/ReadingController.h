#pragma once

#include "reader/ChineseConversion.h"
#include "reader/chapters/BookChapters.h"
#include "reader/position/ReadingPlace.h"
#include "reader/text/ChapterScan.h"
#include "reader/text/HardWrapJoin.h"

#include <QObject>
#include <QString>

#include <memory>

class ChapterDisplay;
class ChapterListModel;
class Dialogs;
struct AppState;

// The reading window's logic: scanning a book into the chapter list (getChapter),
// showing the selected chapter (ListView2_dblClick) and moving between chapters
// (ChangeChapter). Widgets bind to it; tests drive it directly.
class ReadingController : public QObject {
    Q_OBJECT
public:
    static constexpr int KeyLeft = 37;
    static constexpr int KeyRight = 39;
    static constexpr int KeyEnter = 13;

    ReadingController(AppState& state, Dialogs& dialogs, ChapterListModel& model, ChapterDisplay& display,
                      QObject* parent = nullptr);
    ~ReadingController() override;

    // Scans `path` off the GUI thread, then fills the chapter list, selects the first row
    // (or the first whose label equals `bookmark`) and shows it. A later call supersedes
    // an unfinished earlier one: only the newest book reaches the list. Without a bookmark
    // a book read before opens at its stored place unless `atPlace` is false.
    void getChapter(const QString& path, const QString& bookmark, bool atPlace = true);
    bool isScanning() const { return m_scanning; }
    // Scans the listed book again (its rule, encoding or marks changed), staying at the
    // chapter holding the text shown now where the new rows allow.
    void rescan();
    // The rule the listed book's rows come from, and whether its list shows volumes.
    const HeadingRule& rule() const { return m_rule; }
    bool listsVolumes() const { return m_volumes; }

    // ListView2_dblClick: shows the selected row; nothing when the list is empty.
    void showSelected();
    // ChangeChapter: 37 back, 39 forward (with the two boundary messages), others nothing.
    void changeChapter(int keyCode);
    void showFirst();
    void showLast();

    int selectedRow() const { return m_selected; }
    // The list's own selection (a click or the arrow keys in ListView2).
    void setSelectedRow(int row);
    // Shows row `row` scrolled to line `line` of its text, `length` characters from `column`
    // of that line selected (none for 0).
    void showPlace(int row, qint64 line, int column = 0, int length = 0);
    // The line of the shown row's text at paragraph `paragraph` of the page (line breaks of
    // the header before it included), or -1 when that is not a line of the text.
    qint64 lineOfParagraph(int paragraph) const;
    // Where the book was when it was last opened or read (its place before this opening).
    const ReadingPlace& placeAtOpening() const { return m_placeAtOpening; }

    // The label of the selected row, empty when the list is empty.
    QString selectedLabel() const;
    // The book whose chapters are listed.
    QString bookPath() const { return m_scan.path; }
    const ChapterScan& scan() const { return m_scan; }

    // The listed book shown in simplified or traditional characters (the page's text, so
    // also what is searched and read aloud). Kept per book; chapter labels stay as the
    // file has them, so a bookmark finds its chapter in any mode.
    ChineseConversion::Mode conversionMode() const { return m_mode; }
    void setConversionMode(ChineseConversion::Mode mode);
    // A label (or any text) in the characters the book is shown in.
    QString shownText(const QString& text);
    static QString conversionOptionName(const QString& bookPath);

    // The listed book's hard-wrapped lines joined into paragraphs on the page, so the text
    // flows at any width. Kept per book, off by default; labels and bookmarks stay as they are.
    bool joinsWrappedLines() const { return m_joinWrapped; }
    void setJoinWrappedLines(bool join);
    static QString unwrapOptionName(const QString& bookPath);

signals:
    void scanningChanged(bool scanning, const QString& path);
    // The chapter list was refilled: the page shows the list pane (splitter action 1).
    void chapterListFilled();
    // The controller moved the selection; the list view follows.
    void selectedRowChanged(int row);
    // The row handed to the page (before the page has finished drawing it).
    void chapterShown(int row);
    // showPlace put line `line` of the row just shown at the top of the page.
    void placeShown(int row, qint64 line);
    void conversionModeChanged(ChineseConversion::Mode mode);
    void joinWrappedLinesChanged(bool join);

private:
    void showLabels();
    void onScanned(quint64 generation, const BookChapters& chapters, const QString& bookmark, qint64 keepOffset,
                   const PlaceInBook& place, const ReadingPlace& stored);
    void scan(const QString& path, const QString& bookmark, qint64 keepOffset, bool atPlace);

    AppState& m_state;
    Dialogs& m_dialogs;
    ChapterListModel& m_model;
    ChapterDisplay& m_display;
    ChapterScan m_scan;
    HeadingRule m_rule;
    bool m_volumes = false;
    std::unique_ptr<ChineseConversion> m_conversion; // made when first needed
    ChineseConversion::Mode m_mode = ChineseConversion::Mode::None;
    bool m_joinWrapped = false;
    QList<JoinedLine> m_joinedLines; // of the shown row, while lines are joined
    int m_headerBreaks = 0;          // line breaks of the header snippet before the text
    ReadingPlace m_placeAtOpening;
    int m_selected = -1;
    quint64 m_generation = 0;
    bool m_scanning = false;
};
