#pragma once

// Information blocks as the service sends them, for the update tests.
#include <QString>

struct InfoBlock {
    QString notice;
    QString banner;
    QString header;
    QString footer;
    QString version = QStringLiteral("v1.3");
    QString mustdown = QStringLiteral("FALSE");
    QString verinfo = QStringLiteral("修正若干问题");
    QString downloadlist;
    QString savepathlist;

    QByteArray xml() const
    {
        auto field = [](const char* tag, const QString& text) {
            return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), text.toHtmlEscaped());
        };
        return (QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<infobase>") + field("reader_1", notice) +
                field("reader_2", banner) + field("reader_3", header) + field("reader_4", footer) +
                field("version", version) + field("mustdown", mustdown) + field("verinfo", verinfo) +
                field("downloadlist", downloadlist) + field("savepathlist", savepathlist) +
                QStringLiteral("</infobase>"))
            .toUtf8();
    }
};
