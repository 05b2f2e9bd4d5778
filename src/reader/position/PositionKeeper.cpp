#include "reader/position/PositionKeeper.h"

#include "app/AppState.h"
#include "reader/ReadingController.h"
#include "reader/position/LastBook.h"
#include "reader/position/ReadingPlace.h"

#include <QCoreApplication>

PositionKeeper::PositionKeeper(AppState& state, ReadingController& controller, QObject* parent)
    : QObject(parent), m_state(state), m_controller(controller)
{
    m_rest.setSingleShot(true);
    m_rest.setInterval(kRestMs);
    connect(&m_rest, &QTimer::timeout, this, &PositionKeeper::flush);
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &PositionKeeper::flush);
}

PositionKeeper::~PositionKeeper()
{
    flush();
}

void PositionKeeper::noteShown(int row, qint64 line)
{
    if (m_controller.bookPath() != m_scan.path)
        flush(); // the place in the book read before
    m_scan = m_controller.scan();
    m_row = row;
    m_line = std::max<qint64>(0, line);
    m_rest.start();
}

void PositionKeeper::noteTopParagraph(int paragraph)
{
    const int row = m_controller.selectedRow();
    const qint64 line = m_controller.lineOfParagraph(paragraph);
    if (row < 0 || line < 0 || m_controller.bookPath().isEmpty())
        return;
    noteShown(row, line);
}

void PositionKeeper::flush()
{
    m_rest.stop();
    if (m_row < 0)
        return;
    const int row = m_row;
    m_row = -1;
    ReadingPlace::save(m_state.library, m_scan.path, placeOfLine(m_scan, row, m_line));
    LastBook::remember(m_state.library, m_scan.path);
}
