#include "reader/ReadingController.h"

#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "platform/Dialogs.h"
#include "reader/ChapterDisplay.h"
#include "reader/ChapterListModel.h"
#include "reader/chapters/ChapterChoices.h"
#include "reader/text/HardWrapJoin.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// A scan and, for a book reopened without a bookmark, where its stored place is now.
struct ScannedBook {
    BookChapters chapters;
    PlaceInBook place;
    ReadingPlace stored; // the place the library held when the book was asked for
};

int lineBreaksIn(const QString& html)
{
    static const QRegularExpression br(QStringLiteral("<br\\b"), QRegularExpression::CaseInsensitiveOption);
    return int(html.count(br));
}

} // namespace

ReadingController::ReadingController(AppState& state, Dialogs& dialogs, ChapterListModel& model,
                                     ChapterDisplay& display, QObject* parent)
    : QObject(parent), m_state(state), m_dialogs(dialogs), m_model(model), m_display(display)
{
}

ReadingController::~ReadingController()
{
    // A scan still running finishes on the pool; its watcher is our child and goes with
    // us, so the result is simply dropped.
    ++m_generation;
}

void ReadingController::getChapter(const QString& path, const QString& bookmark, bool atPlace)
{
    scan(path, bookmark, -1, atPlace);
}

void ReadingController::rescan()
{
    if (m_scan.path.isEmpty())
        return;
    const bool shown = m_selected >= 0 && m_selected < m_scan.rows.size();
    scan(m_scan.path, QString(), shown ? m_scan.rows[m_selected].byteBegin : -1, false);
}

void ReadingController::scan(const QString& path, const QString& bookmark, qint64 keepOffset, bool atPlace)
{
    const quint64 generation = ++m_generation;
    m_scanning = true;
    emit scanningChanged(true, path);

    auto* watcher = new QFutureWatcher<ScannedBook>(this);
    connect(watcher, &QFutureWatcher<ScannedBook>::finished, this, [this, watcher, generation, bookmark, keepOffset] {
        watcher->deleteLater();
        const ScannedBook book = watcher->result();
        onScanned(generation, book.chapters, bookmark, keepOffset, book.place, book.stored);
    });
    // A 60 MB book takes a noticeable while to scan: the window stays responsive and the
    // rows arrive when the scan is done. The book's own rule, encoding and marks are read
    // here; without them it is scanned exactly as always.
    const BookChapterRequest request = ChapterChoices(m_state.library).request(path);
    // A book opened without a bookmark opens where it was left; finding that place reads the
    // file around it, so it is done with the scan.
    const std::optional<ReadingPlace> stored = ReadingPlace::load(m_state.library, path);
    const bool openAtPlace = stored && bookmark.isEmpty() && atPlace && keepOffset < 0;
    watcher->setFuture(QtConcurrent::run([request, stored, openAtPlace] {
        ScannedBook book{scanBookChapters(request), {}, stored.value_or(ReadingPlace())};
        if (openAtPlace)
            book.place = locatePlace(book.chapters.scan, *stored);
        return book;
    }));
}

void ReadingController::onScanned(quint64 generation, const BookChapters& chapters, const QString& bookmark,
                                  qint64 keepOffset, const PlaceInBook& place, const ReadingPlace& stored)
{
    if (generation != m_generation)
        return; // a newer book was asked for meanwhile
    const ChapterScan& scan = chapters.scan;
    m_scanning = false;
    emit scanningChanged(false, scan.path);

    // A book that cannot be shown leaves the book on show, its list and its path as they are.
    const QString title = QStringLiteral("电子书打开失败!");
    if (!scan.readable) {
        const QString text =
            QFileInfo::exists(scan.path)
                ? QStringLiteral("无法读取这本电子书，请检查文件是否损坏或没有读取权限：\r\n") + scan.path
                : QStringLiteral("文件地址不存在，请检查是否移动或删除了以下文件：\r\n") + scan.path;
        m_dialogs.message(text, title, Dialogs::Stop);
        return;
    }
    if (scan.rows.isEmpty()) {
        m_dialogs.message(QStringLiteral("这本电子书是空文件，没有可以显示的内容：\r\n") + scan.path, title,
                          Dialogs::Exclamation);
        return;
    }

    // The listed book and the current book path change together, so a bookmark or a
    // chapter change never mixes the labels of one book with the row of another.
    m_scan = scan;
    m_rule = chapters.rule;
    m_volumes = chapters.volumes;
    ChapterChoices(m_state.library).remember(chapters);
    m_state.currentBookPath = scan.path;
    m_placeAtOpening = stored;
    ChineseConversion::Mode mode = ChineseConversion::Mode::None;
    if (m_state.library) {
        mode = ChineseConversion::modeFromName(
            m_state.library->option(conversionOptionName(scan.path)).value_or(QString()));
    }
    if (mode != m_mode) {
        m_mode = mode;
        emit conversionModeChanged(mode);
    }
    const bool join = m_state.library &&
                      m_state.library->option(unwrapOptionName(scan.path)).value_or(QString()) == QLatin1String("1");
    if (join != m_joinWrapped) {
        m_joinWrapped = join;
        emit joinWrappedLinesChanged(join);
    }
    m_model.setRows(m_scan.rows, m_volumes);
    showLabels();
    emit chapterListFilled();

    int row = 0;
    if (keepOffset >= 0) {
        for (int i = 0; i < m_scan.rows.size() && m_scan.rows[i].byteBegin <= keepOffset; ++i)
            row = i;
    } else if (!bookmark.isEmpty()) {
        for (int i = 0; i < m_scan.rows.size(); ++i) {
            if (m_scan.rows[i].label == bookmark) {
                row = i;
                break;
            }
        }
    }
    m_selected = -1;
    if (place.row >= 0 && place.row < m_scan.rows.size()) {
        showPlace(place.row, place.line);
        return;
    }
    setSelectedRow(row);
    showSelected();
}

void ReadingController::showPlace(int row, qint64 line, int column, int length)
{
    if (row < 0 || row >= m_scan.rows.size())
        return;
    setSelectedRow(row);
    showSelected();
    int paragraph = int(line);
    if (m_joinWrapped && line >= 0 && line < m_joinedLines.size()) {
        paragraph = m_joinedLines[line].paragraph;
        column += m_joinedLines[line].column;
    }
    if (paragraph > 0 || length > 0)
        m_display.showTextPlace(m_headerBreaks + paragraph, column, length);
    emit placeShown(row, line);
}

qint64 ReadingController::lineOfParagraph(int paragraph) const
{
    const int shown = paragraph - m_headerBreaks;
    if (shown < 0)
        return -1;
    if (!m_joinWrapped)
        return shown;
    for (qsizetype i = 0; i < m_joinedLines.size(); ++i) {
        if (m_joinedLines[i].paragraph == shown)
            return i;
    }
    return -1;
}

void ReadingController::setSelectedRow(int row)
{
    if (row < 0 || row >= m_model.count() || row == m_selected)
        return;
    m_selected = row;
}

QString ReadingController::selectedLabel() const
{
    return m_model.label(m_selected);
}

void ReadingController::showSelected()
{
    if (m_model.count() == 0 || m_selected < 0 || m_selected >= m_scan.rows.size())
        return;
    m_model.markNowChapter(m_selected);
    emit selectedRowChanged(m_selected); // the list scrolls the row into view
    m_joinedLines.clear();
    m_headerBreaks = lineBreaksIn(m_state.chapterHeaderHtml);
    const QString text = shownText(
        m_joinWrapped ? chapterLinesHtml(joinHardWrappedLines(readChapterLines(m_scan, m_selected), &m_joinedLines))
                      : readChapterHtml(m_scan, m_selected));
    m_display.showChapterHtml(m_state.chapterHeaderHtml + text + m_state.chapterFooterHtml, m_state.bannerHtml);
    emit chapterShown(m_selected);
}

QString ReadingController::conversionOptionName(const QString& bookPath)
{
    return QStringLiteral("convert:") + bookPath;
}

QString ReadingController::shownText(const QString& text)
{
    if (m_mode == ChineseConversion::Mode::None)
        return text;
    if (!m_conversion)
        m_conversion = std::make_unique<ChineseConversion>();
    const QString shown = m_conversion->convert(text, m_mode);
    const QString problem = m_conversion->takeProblem();
    if (!problem.isEmpty())
        m_dialogs.message(problem, Dialogs::programTitle(), Dialogs::Exclamation);
    return shown;
}

void ReadingController::setConversionMode(ChineseConversion::Mode mode)
{
    if (m_scan.path.isEmpty()) {
        emit conversionModeChanged(m_mode); // no book listed: the menu shows what holds
        return;
    }
    if (mode == m_mode)
        return;
    m_mode = mode;
    if (m_state.library)
        m_state.library->setOption(conversionOptionName(m_scan.path), ChineseConversion::modeName(mode));
    emit conversionModeChanged(mode);
    showLabels();
    showSelected();
}

QString ReadingController::unwrapOptionName(const QString& bookPath)
{
    return QStringLiteral("unwrap:") + bookPath;
}

void ReadingController::setJoinWrappedLines(bool join)
{
    if (m_scan.path.isEmpty()) {
        emit joinWrappedLinesChanged(m_joinWrapped); // no book listed: the menu shows what holds
        return;
    }
    if (join == m_joinWrapped)
        return;
    m_joinWrapped = join;
    if (m_state.library)
        m_state.library->setOption(unwrapOptionName(m_scan.path), join ? QStringLiteral("1") : QStringLiteral("0"));
    emit joinWrappedLinesChanged(join);
    showSelected();
}

void ReadingController::showLabels()
{
    if (m_mode == ChineseConversion::Mode::None) {
        m_model.setShownLabels({});
        return;
    }
    // One conversion for the whole list: a label is one line of the file.
    QStringList labels;
    labels.reserve(m_scan.rows.size());
    for (const ChapterRow& row : m_scan.rows)
        labels.append(row.label);
    m_model.setShownLabels(shownText(labels.join(QLatin1Char('\n'))).split(QLatin1Char('\n')));
}

void ReadingController::changeChapter(int keyCode)
{
    if (m_model.count() == 0 || m_selected < 0)
        return;
    if (keyCode == KeyLeft) {
        if (m_selected <= 0) {
            m_dialogs.message(QStringLiteral("当前是第一章，前面没有章节！"), Dialogs::programTitle(),
                              Dialogs::Information);
            return;
        }
        setSelectedRow(m_selected - 1);
        showSelected();
    } else if (keyCode == KeyRight) {
        if (m_selected >= m_model.count() - 1) {
            m_dialogs.message(QStringLiteral("已经是最后一章了！"), Dialogs::programTitle(), Dialogs::Information);
            return;
        }
        setSelectedRow(m_selected + 1);
        showSelected();
    }
}

void ReadingController::showFirst()
{
    if (m_model.count() == 0)
        return;
    setSelectedRow(0);
    showSelected();
}

void ReadingController::showLast()
{
    if (m_model.count() == 0)
        return;
    setSelectedRow(m_model.count() - 1);
    showSelected();
}
