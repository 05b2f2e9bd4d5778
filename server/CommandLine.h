#pragma once

#include "ServerConfig.h"

#include <QString>
#include <QStringList>

// quillmere-server [--data DIR] [--listen HOST:PORT] [--public-url URL] [--max-upload-mb N]
//                  [--database URL] [--trusted-proxy ADDR[,ADDR...]]
//                  [--max-connections N] [--max-connections-per-address N]
//                  [--pwhash-ops N] [--pwhash-mem-kib N] [COMMAND ARGS...]
struct Invocation {
    ServerConfig config;
    QString command; // empty: serve
    QStringList args;
    QString error; // set when the command line is malformed
};

namespace CommandLine {

Invocation parse(const QStringList& arguments); // without the program name
QString usage();

} // namespace CommandLine
