#pragma once

#include <QByteArray>
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

namespace Multipart {

enum class Error { None, NoBoundaryLine, Truncated, BadPartHeader };

// Parses the whole body. A body that does not end with the closing delimiter is truncated.
std::optional<MultipartBody> parse(const QByteArray& body, Error* error = nullptr);

} // namespace Multipart
