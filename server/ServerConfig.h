#pragma once

#include "HttpLimits.h"

#include <QHostAddress>
#include <QString>

#include <sodium.h>

// What one run of the service is given on its command line.
struct ServerConfig {
    QString dataDir = QStringLiteral("quillmere-data");
    QHostAddress host = QHostAddress::LocalHost;
    quint16 port = 8086;
    qint64 maxUploadBytes = 64LL * 1024 * 1024;
    // Password hashing cost; the interactive limits keep a login near a tenth of a second.
    unsigned long long pwhashOps = crypto_pwhash_OPSLIMIT_INTERACTIVE;
    size_t pwhashMemBytes = crypto_pwhash_MEMLIMIT_INTERACTIVE;
    HttpLimits http;

    QString origin() const;
};
