#pragma once

#include <QtGlobal>

// What one client, and all clients together, may hold of the service: connections, time to
// send a request, and bytes of request bodies waiting to be handled. Nothing a client sends
// stays in memory beyond these bounds.
struct HttpLimits {
    // Connections at once, in total (lowered to what the open-file limit allows) and from one
    // address (IPv6 addresses count by their /64 network). When a limit is reached, the
    // connection that has waited longest for a request makes room for the new one.
    int maxConnections = 10000;
    int maxConnectionsPerAddress = 256;

    // A request head must be complete this long after the connection opened or, on a kept-alive
    // connection, after its first byte: trickling one byte at a time does not extend it.
    int headMilliseconds = 20 * 1000;
    // How long a kept-alive connection may wait for its next request.
    int keepAliveMilliseconds = 60 * 1000;
    // A body being received or a reply being sent that makes no progress this long ends the
    // connection; a body must also arrive at an average of at least minBodyBytesPerSecond.
    int stallMilliseconds = 60 * 1000;
    qint64 minBodyBytesPerSecond = 16 * 1024;
    // After a refusal sent before the body was read, what the client still sends is read and
    // dropped this long, so that it sees the refusal instead of a reset connection.
    int lingerMilliseconds = 5 * 1000;

    qint64 maxHeadBytes = 8 * 1024;
    // Bodies up to this size are kept in memory, as long as all of them together stay within
    // memoryBodyBytesInFlight; others go to a temporary file.
    qint64 memoryBodyBytes = 16 * 1024;
    qint64 memoryBodyBytesInFlight = 32 * 1024 * 1024;
    // Bytes of bodies being received into temporary files, in total and from one address;
    // 0 means sixteen (in total) and four (per address) of the largest uploads allowed.
    qint64 bodyBytesInFlight = 0;
    qint64 bodyBytesPerAddress = 0;
};
