#pragma once

#include "HttpLimits.h"

#include <QHostAddress>
#include <QList>
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

    // The address remote readers reach the service under (--public-url), empty when not given.
    QString publicUrl;
    // --database: a PostgreSQL store several instances share; empty for DIR/service.db.
    QString databaseUrl;
    // How often an instance on a shared store asks whether another one changed the catalogue.
    int catalogueRecheckMs = 1000;
    // --trusted-proxy: the load balancers whose X-Forwarded-For names the real client.
    QList<QHostAddress> trustedProxies;

    // The listen address as an origin; a service on every interface announces 127.0.0.1.
    QString origin() const;
    // What the service puts into the absolute addresses it hands out: the public URL, or
    // else the listen address.
    QString publicOrigin() const { return publicUrl.isEmpty() ? origin() : publicUrl; }

    // The settings key under which the data folder keeps the public address of the service
    // that last served it, so administration commands announce the same address.
    static QString publicUrlSetting() { return QStringLiteral("public_url"); }
    // An http(s) origin, optionally with a path, without query, fragment or user name; the
    // trailing slashes go. Empty when the text is not such an address.
    static QString normalizedPublicUrl(const QString& text);
    // The upload limit as the refusal states it: "64MB", or "256KB" below a megabyte.
    QString uploadLimitText() const;
};
