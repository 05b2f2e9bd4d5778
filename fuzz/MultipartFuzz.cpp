// Fuzz target: the service's multipart parser. Each input is an upload body; parse() and
// locate() must agree part for part, every part must lie inside the body where its delimiter
// ends it, and a body laid out again from the parts, as the reader's upload page lays one
// out, must read back to the same parts.
#include "FuzzCheck.h"
#include "Multipart.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>
#include <cstdint>

namespace {

bool sameParts(const MultipartBody& a, const MultipartBody& b)
{
    if (a.boundary != b.boundary || a.parts.size() != b.parts.size())
        return false;
    for (qsizetype i = 0; i < a.parts.size(); ++i) {
        const MultipartPart& x = a.parts[i];
        const MultipartPart& y = b.parts[i];
        if (x.name != y.name || x.fileName != y.fileName || x.isFile != y.isFile || x.data != y.data)
            return false;
    }
    return true;
}

void checkLayout(const QByteArray& body, const MultipartLayout& layout)
{
    const qsizetype firstLineEnd = body.indexOf("\r\n");
    FUZZ_CHECK(body.startsWith("--") && layout.boundary == body.mid(2, firstLineEnd - 2),
               "the boundary is the first line without its dashes");
    FUZZ_CHECK(!layout.parts.isEmpty(), "a body read whole has a part");
    const QByteArray delimiter = "\r\n--" + layout.boundary;
    qsizetype previousEnd = firstLineEnd;
    for (const MultipartSpan& span : layout.parts) {
        FUZZ_CHECK(span.offset >= 0 && span.size >= 0 && span.offset <= body.size() - span.size,
                   "every span lies inside the body");
        FUZZ_CHECK(span.offset > previousEnd, "spans in order, apart from each other");
        FUZZ_CHECK(body.mid(span.offset + span.size, delimiter.size()) == delimiter, "a delimiter follows every part");
        FUZZ_CHECK(body.indexOf(delimiter, span.offset) == span.offset + span.size,
                   "no delimiter inside a part's data");
        FUZZ_CHECK(!span.name.isEmpty(), "every part is named");
        FUZZ_CHECK(span.isFile || span.fileName.isEmpty(), "only file parts carry a file name");
        previousEnd = span.offset + span.size;
    }
    const MultipartSpan& last = layout.parts.last();
    FUZZ_CHECK(body.mid(last.offset + last.size + delimiter.size(), 2) == "--",
               "the body ends with the closing delimiter");
}

// A text the reader could have written between quotes in a part's header. (The reader's part
// names are fixed words; a name holding "name=" would read as a parameter of its own.)
bool quotable(const QByteArray& text)
{
    return !text.contains('"') && !text.contains('\r') && !text.contains('\n');
}

// The body the reader's upload page builds for these parts: text parts with blanks in their
// header, file parts without, each ended by CR LF, and the closing delimiter.
QByteArray layOut(const MultipartBody& body)
{
    QByteArray out;
    for (const MultipartPart& part : body.parts) {
        out += "--" + body.boundary + "\r\n";
        if (part.isFile)
            out += "Content-Disposition:form-data;name=\"" + part.name + "\";filename=\"" + part.fileName +
                   "\"\r\nContent-Type:application/octet-stream\r\n\r\n";
        else
            out += "Content-Disposition: form-data; name=\"" + part.name + "\"\r\n\r\n";
        out += part.data + "\r\n";
    }
    return out + "--" + body.boundary + "--";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    Multipart::Error located = Multipart::Error::None;
    const auto layout = Multipart::locate(QByteArrayView(body), &located);
    Multipart::Error parsed = Multipart::Error::None;
    const auto whole = Multipart::parse(body, &parsed);
    FUZZ_CHECK(layout.has_value() == whole.has_value() && located == parsed, "locate and parse agree");
    FUZZ_CHECK(layout.has_value() == (located == Multipart::Error::None), "an error exactly when nothing is read");
    if (!layout)
        return 0;

    checkLayout(body, *layout);
    FUZZ_CHECK(whole->boundary == layout->boundary && whole->parts.size() == layout->parts.size(),
               "locate and parse find the same parts");
    for (qsizetype i = 0; i < layout->parts.size(); ++i) {
        const MultipartSpan& span = layout->parts[i];
        const MultipartPart& part = whole->parts[i];
        FUZZ_CHECK(part.name == span.name && part.fileName == span.fileName && part.isFile == span.isFile,
                   "locate and parse read the same header");
        FUZZ_CHECK(part.data == body.mid(span.offset, span.size), "a parsed part's data is the bytes at its span");
    }

    // What the reader would send for the same parts reads back to them.
    bool reproducible = true;
    for (const MultipartPart& part : whole->parts)
        reproducible = reproducible && quotable(part.name) && !part.name.contains("name=") && quotable(part.fileName);
    if (reproducible) {
        const auto again = Multipart::parse(layOut(*whole));
        FUZZ_CHECK(again && sameParts(*again, *whole), "the parts laid out again read back the same");
    }
    return 0;
}
