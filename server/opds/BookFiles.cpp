#include "opds/BookFiles.h"

#include "TextCodec.h"

#include <QFile>
#include <QFileInfo>

BookFileFacts BookFiles::of(const QString& storedName)
{
    const auto known = m_known.constFind(storedName);
    if (known != m_known.constEnd())
        return *known;
    BookFileFacts facts;
    const auto path = m_files.resolve(storedName);
    if (!path)
        return facts; // not remembered: the file may still arrive
    const QString extension = QFileInfo(*path).suffix();
    facts.mediaType = FileStore::mediaTypeOf(extension);
    QFile file(*path);
    facts.size = file.size();
    if (extension.compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0) {
        QByteArray head;
        if (file.open(QIODevice::ReadOnly))
            head = file.read(kCharsetProbeBytes);
        facts.mediaType += "; charset=" + textCharset(head);
    }
    if (m_known.size() >= kMaxRemembered)
        m_known.clear();
    m_known.insert(storedName, facts);
    return facts;
}

QByteArray BookFiles::textCharset(QByteArrayView head)
{
    if (head.startsWith("\xEF\xBB\xBF"))
        return "utf-8";
    if (head.startsWith("\xFF\xFE"))
        return "utf-16le";
    if (head.startsWith("\xFE\xFF"))
        return "utf-16be";
    // Drop a character the end of the probe (or of a download cut short) has cut in two:
    // at most three bytes back, a lead byte whose sequence does not fit.
    qsizetype end = head.size();
    for (qsizetype back = 1; back <= 3 && back <= head.size(); ++back) {
        const auto byte = static_cast<unsigned char>(head[head.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: look further back
        const int length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        if (length > back)
            end = head.size() - back;
        break;
    }
    return TextCodec::decodeUtf8(head.first(end).toByteArray()) ? QByteArray("utf-8") : QByteArray("gb18030");
}
