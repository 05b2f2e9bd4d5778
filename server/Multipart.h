#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// A multipart/form-data body as the reader's upload page sends it: the request header
// names no boundary, so the boundary is the body's first line without its leading "--".
struct MultipartPart {
    QByteArray name;
    QByteArray fileName; // raw bytes of the filename parameter; empty for text parts
    bool isFile = false;
    QByteArray data;
};

struct MultipartBody {
    QByteArray boundary;
    QList<MultipartPart> parts;
    const MultipartPart* part(const QByteArray& name) const;
};

// The same parts located in the body without copying their data: an upload of many
// megabytes is read where it lies.
struct MultipartSpan {
    QByteArray name;
    QByteArray fileName;
    bool isFile = false;
    qsizetype offset = 0;
    qsizetype size = 0;
};

struct MultipartLayout {
    QByteArray boundary;
    QList<MultipartSpan> parts;
    const MultipartSpan* part(const QByteArray& name) const;
};

namespace Multipart {

enum class Error { None, NoBoundaryLine, Truncated, BadPartHeader };

// Parses the whole body. A body that does not end with the closing delimiter is truncated.
std::optional<MultipartBody> parse(const QByteArray& body, Error* error = nullptr);
// As parse(), giving each part's place in the body instead of a copy of it.
std::optional<MultipartLayout> locate(QByteArrayView body, Error* error = nullptr);

} // namespace Multipart
