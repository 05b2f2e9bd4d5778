#pragma once

#include "reader/text/ChapterScan.h"

#include <QObject>
#include <QString>
#include <QTimer>

class ReadingController;
struct AppState;

// Keeps the place of the book being read: the chapter shown and the paragraph at the top of
// the page as the user scrolls. A chapter turned or a page scrolled only notes the place;
// it is written to the library a second after the reader rests there, when another book
// opens, and when the reader closes, so turning chapters quickly writes nothing meanwhile.
class PositionKeeper : public QObject {
    Q_OBJECT
public:
    static constexpr int kRestMs = 1000;

    PositionKeeper(AppState& state, ReadingController& controller, QObject* parent = nullptr);
    ~PositionKeeper() override;

    // Row `row` was shown from its start, or (line >= 0) at line `line` of its text.
    void noteShown(int row, qint64 line = 0);
    // The page rests with paragraph `paragraph` at its top.
    void noteTopParagraph(int paragraph);
    // Writes the noted place now (nothing when there is none).
    void flush();
    bool hasUnsavedPlace() const { return m_row >= 0; }

private:
    AppState& m_state;
    ReadingController& m_controller;
    QTimer m_rest;
    ChapterScan m_scan; // of the book the noted place is in (its rows are shared, not copied)
    int m_row = -1;     // -1: nothing unsaved
    qint64 m_line = 0;
};
