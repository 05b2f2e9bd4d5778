#pragma once

#include <QString>

// Spoils pages of a closed library file the way a bad disk sector would, leaving the file's
// header and its catalogue of tables readable, so that opening it still succeeds and the
// damage shows only when the shelf is read or written.
namespace DamagedDatabase {

enum class Pages {
    BookRows,   // the leaf pages of BookList's own rows
    BookIndexes // the leaf pages of BookList's indexes, which counting the shelf reads
};

// Overwrites every such page with 0xFF bytes. False when the file has none (or cannot be
// read), so a test never passes on an undamaged file.
bool spoil(const QString& path, Pages pages);

} // namespace DamagedDatabase
