#pragma once

#include <QList>
#include <QString>

// Cuts a text into the pieces handed to the synthesiser one at a time: after each
// sentence end or line break, and a long run without one after its last clause mark or
// blank (or, with none, at `maxLength`). Two reasons: stopping between pieces is clean,
// while stopping espeak-ng inside a text makes it grind through the rest complaining; and
// espeak-ng garbles a Chinese clause of much over a hundred characters, so no piece is
// longer. Pieces cover the text without gaps and never split a surrogate pair.
namespace TextPieces {

struct Piece {
    int start = 0; // UTF-16 index
    int length = 0;
    bool operator==(const Piece& o) const { return start == o.start && length == o.length; }
};

QList<Piece> split(const QString& text, int maxLength = 80);

} // namespace TextPieces
