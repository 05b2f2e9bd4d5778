#include "Multipart.h"

namespace {

// The value of a parameter such as name="file1" in a Content-Disposition line; blanks
// around ";" and after ":" are optional (the reader writes text parts with them and file
// parts without).
std::optional<QByteArray> parameter(const QByteArray& line, const QByteArray& key, bool* present)
{
    int from = 0;
    while (true) {
        const int at = line.indexOf(key + "=", from);
        if (at < 0) {
            *present = false;
            return QByteArray();
        }
        // The key must start a parameter: "filename=" must not match "name=".
        const char before = at > 0 ? line[at - 1] : ';';
        if (before != ';' && before != ' ' && before != '\t') {
            from = at + 1;
            continue;
        }
        *present = true;
        int pos = at + key.size() + 1;
        if (pos < line.size() && line[pos] == '"') {
            const int close = line.indexOf('"', pos + 1);
            if (close < 0)
                return std::nullopt;
            return line.mid(pos + 1, close - pos - 1);
        }
        int stop = line.indexOf(';', pos);
        if (stop < 0)
            stop = line.size();
        return line.mid(pos, stop - pos).trimmed();
    }
}

} // namespace

const MultipartPart* MultipartBody::part(const QByteArray& name) const
{
    for (const MultipartPart& p : parts) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

const MultipartSpan* MultipartLayout::part(const QByteArray& name) const
{
    for (const MultipartSpan& p : parts) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

namespace Multipart {

std::optional<MultipartLayout> locate(QByteArrayView body, Error* error)
{
    auto fail = [error](Error e) -> std::optional<MultipartLayout> {
        if (error)
            *error = e;
        return std::nullopt;
    };
    if (error)
        *error = Error::None;

    const qsizetype firstLineEnd = body.indexOf("\r\n");
    if (!body.startsWith("--") || firstLineEnd <= 2 || firstLineEnd > 200)
        return fail(Error::NoBoundaryLine);
    MultipartLayout result;
    result.boundary = body.sliced(2, firstLineEnd - 2).toByteArray();
    const QByteArray delimiter = "\r\n--" + result.boundary;

    qsizetype pos = firstLineEnd + 2;
    while (true) {
        const qsizetype headerEnd = body.indexOf("\r\n\r\n", pos);
        const qsizetype nextDelimiter = body.indexOf(delimiter, pos);
        if (headerEnd < 0 || nextDelimiter < 0)
            return fail(Error::Truncated);
        if (nextDelimiter < headerEnd)
            return fail(Error::BadPartHeader);

        MultipartSpan part;
        bool haveDisposition = false;
        for (const QByteArray& line : body.sliced(pos, headerEnd - pos).toByteArray().split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (!trimmed.toLower().startsWith("content-disposition:"))
                continue;
            haveDisposition = true;
            bool hasName = false;
            bool hasFile = false;
            const auto name = parameter(trimmed, "name", &hasName);
            const auto fileName = parameter(trimmed, "filename", &hasFile);
            if (!name || !fileName || !hasName || name->isEmpty())
                return fail(Error::BadPartHeader);
            part.name = *name;
            part.fileName = *fileName;
            part.isFile = hasFile;
        }
        if (!haveDisposition)
            return fail(Error::BadPartHeader);
        // A part whose data lacks its line end ("...\r\n\r\n--boundary") is empty.
        part.offset = qMin(headerEnd + 4, nextDelimiter);
        part.size = nextDelimiter - part.offset;
        result.parts.append(part);

        pos = nextDelimiter + delimiter.size();
        const QByteArrayView after = body.sliced(pos, qMin<qsizetype>(2, body.size() - pos));
        if (after == "--")
            return result;
        if (after != "\r\n")
            return fail(Error::Truncated);
        pos += 2;
    }
}

std::optional<MultipartBody> parse(const QByteArray& body, Error* error)
{
    const auto layout = locate(body, error);
    if (!layout)
        return std::nullopt;
    MultipartBody result;
    result.boundary = layout->boundary;
    for (const MultipartSpan& span : layout->parts)
        result.parts.append({span.name, span.fileName, span.isFile, body.mid(span.offset, span.size)});
    return result;
}

} // namespace Multipart
