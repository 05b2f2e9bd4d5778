#pragma once

#include <QByteArray>
#include <QString>

// What the reader can do with a download, told by its media type.
struct OpdsFormat {
    enum class Kind { Txt, Zip, Rar, SevenZip, Unreadable };

    Kind kind = Kind::Unreadable;
    // The charset a text/plain type names ("GB18030"), empty when it names none.
    QByteArray encoding;

    bool readable() const { return kind != Kind::Unreadable; }
    // The target file's extension, which the download queue goes by: ".txt" or the archive's.
    QString extension() const;

    static OpdsFormat classify(const QString& mediaType);
    // Shown for EPUB, PDF and anything else the reader cannot open.
    static QString unreadableMessage() { return QStringLiteral("此格式无法在本阅读器中阅读"); }
};

// The shelf category of a catalogue's category: one of the ten by name, else "其他分类".
QString shelfCategoryOf(const QString& catalogueCategory);
