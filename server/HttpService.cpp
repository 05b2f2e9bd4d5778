#include "HttpService.h"

#include "ClientAddress.h"

#include <QDir>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr quint64 kListenerId = 0;
constexpr int kEventsPerTurn = 256;
constexpr int kAcceptsPerTurn = 256;
// Descriptors kept free of connections: the database, its journal, logs and the like.
constexpr int kReservedDescriptors = 128;

// Every connection may hold a second descriptor (a file being sent or a body being
// received), so the open-file limit, raised as far as the system allows, bounds the
// connections at half of what is left after the reserve.
int connectionsTheDescriptorsAllow()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 512;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    const qint64 usable = qint64(qMin<rlim_t>(limit.rlim_cur, 1 << 20)) - kReservedDescriptors;
    return int(qMax<qint64>(16, usable / 2));
}

HttpLimits effective(HttpLimits limits, qint64 maxUploadBytes)
{
    limits.maxConnections = qMax(1, qMin(limits.maxConnections, connectionsTheDescriptorsAllow()));
    limits.maxConnectionsPerAddress = qMax(1, qMin(limits.maxConnectionsPerAddress, limits.maxConnections));
    // The largest body taken is an upload at its limit (the whole body counts).
    const qint64 largest = maxUploadBytes;
    if (limits.bodyBytesInFlight <= 0)
        limits.bodyBytesInFlight = 16 * largest;
    if (limits.bodyBytesPerAddress <= 0)
        limits.bodyBytesPerAddress = 4 * largest;
    return limits;
}

// Addresses are reported as the service has always seen them: IPv4 clients of a dual-stack
// socket in their plain dotted form.
QString peerText(const sockaddr_storage& address)
{
    QHostAddress peer(reinterpret_cast<const sockaddr*>(&address));
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : peer.toString();
}

int openListener(const QHostAddress& address, quint16 port)
{
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = AF_INET;
    if (address == QHostAddress::Any || address.protocol() == QAbstractSocket::IPv6Protocol) {
        family = AF_INET6;
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        if (address != QHostAddress::Any) {
            const Q_IPV6ADDR bytes = address.toIPv6Address();
            memcpy(&in6->sin6_addr, bytes.c, 16);
            in6->sin6_scope_id = address.scopeId().toUInt();
        } else {
            in6->sin6_addr = in6addr_any;
        }
        length = sizeof(sockaddr_in6);
    } else {
        bool ok = false;
        const quint32 v4 = address.toIPv4Address(&ok);
        if (!ok)
            return -1;
        auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(v4);
        length = sizeof(sockaddr_in);
    }
    const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    const int off = 0;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    // "Any" listens on IPv4 and IPv6 alike.
    if (family == AF_INET6 && address == QHostAddress::Any)
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

quint16 boundPort(int fd)
{
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0)
        return 0;
    if (storage.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port);
    return ntohs(reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
}

} // namespace

HttpService::HttpService(Service& service, QObject* parent)
    : QObject(parent), m_service(service), m_limits(effective(service.config().http, service.config().maxUploadBytes)),
      m_temporaryDir(QDir(service.config().dataDir).absoluteFilePath(QStringLiteral("tmp"))),
      m_table(m_limits.maxConnections, m_limits.maxConnectionsPerAddress),
      m_budget(m_limits.bodyBytesInFlight, m_limits.bodyBytesPerAddress)
{
    m_clock.start();
    // Deadlines are checked a few times within the shortest of them.
    const int shortest = qMin(qMin(m_limits.headMilliseconds, m_limits.keepAliveMilliseconds),
                              qMin(m_limits.stallMilliseconds, m_limits.lingerMilliseconds));
    m_deadlines.setInterval(qBound(20, shortest / 4, 1000));
    connect(&m_deadlines, &QTimer::timeout, this, &HttpService::checkDeadlines);
}

HttpService::~HttpService()
{
    const QList<HttpConnection*> connections = m_connections.values();
    m_connections.clear();
    qDeleteAll(connections);
    if (m_listener >= 0)
        ::close(m_listener);
    delete m_notifier;
    if (m_epoll >= 0)
        ::close(m_epoll);
}

quint16 HttpService::listen(const QHostAddress& address, quint16 port)
{
    if (m_listener >= 0)
        return 0;
    // Sending a file to a client that has gone raises SIGPIPE, which would end the process;
    // the failed call's error is enough.
    struct sigaction current {};
    if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
        ::signal(SIGPIPE, SIG_IGN);
    m_listener = openListener(address, port);
    if (m_listener < 0)
        return 0;
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kListenerId;
    if (m_epoll < 0 || ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_listener, &event) != 0) {
        ::close(m_listener);
        m_listener = -1;
        return 0;
    }
    // One descriptor in the event loop stands for every socket: readiness is read from the
    // epoll set, so thousands of connections cost nothing while they are quiet.
    m_notifier = new QSocketNotifier(m_epoll, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &HttpService::onReady);
    m_deadlines.start();
    return boundPort(m_listener);
}

void HttpService::onReady()
{
    epoll_event events[kEventsPerTurn];
    const int count = ::epoll_wait(m_epoll, events, kEventsPerTurn, 0);
    for (int i = 0; i < count; ++i) {
        if (events[i].data.u64 == kListenerId) {
            acceptWaiting();
            continue;
        }
        // A connection closed earlier in this turn is no longer in the table.
        if (HttpConnection* connection = m_connections.value(events[i].data.u64))
            connection->onEvents(events[i].events);
    }
}

void HttpService::acceptWaiting()
{
    for (int i = 0; i < kAcceptsPerTurn; ++i) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        const int fd =
            ::accept4(m_listener, reinterpret_cast<sockaddr*>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                pauseAccepting();
            return;
        }
        const QString peer = peerText(address);
        // A load balancer holds the connections of many clients: only the total bounds it.
        const ConnectionTable::Admission admission =
            m_table.admit(peer, ClientAddress::isTrusted(peer, m_service.config().trustedProxies));
        if (!admission.admitted) {
            // Every connection of this client (or of the service) is busy being answered.
            ::close(fd);
            continue;
        }
        if (admission.evict != 0) {
            if (HttpConnection* oldest = m_connections.value(admission.evict))
                oldest->close();
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const quint64 id = m_nextId++;
        auto* connection = new HttpConnection(id, fd, peer, *this);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = id;
        if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event) != 0) {
            delete connection;
            continue;
        }
        m_watched.insert(id, EPOLLIN);
        m_connections.insert(id, connection);
        m_table.add(id, peer);
        connection->start();
    }
}

void HttpService::pauseAccepting()
{
    // Out of descriptors although the limits should prevent it: stop accepting for a moment
    // rather than spin on the waiting connection.
    epoll_event event{};
    event.data.u64 = kListenerId;
    ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, m_listener, &event);
    QTimer::singleShot(100, this, [this] {
        epoll_event resumed{};
        resumed.events = EPOLLIN;
        resumed.data.u64 = kListenerId;
        ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, m_listener, &resumed);
    });
}

void HttpService::checkDeadlines()
{
    const qint64 current = now();
    // Connections close themselves here; they are deleted later, so the list stays valid.
    const QList<HttpConnection*> connections = m_connections.values();
    for (HttpConnection* connection : connections)
        connection->checkTime(current);
}

void HttpService::watch(HttpConnection& connection, bool read, bool write)
{
    const quint32 wanted = (read ? EPOLLIN : 0u) | (write ? EPOLLOUT : 0u);
    auto it = m_watched.find(connection.id());
    if (it == m_watched.end() || *it == wanted)
        return;
    epoll_event event{};
    event.events = wanted;
    event.data.u64 = connection.id();
    if (::epoll_ctl(m_epoll, EPOLL_CTL_MOD, connection.descriptor(), &event) == 0)
        *it = wanted;
}

void HttpService::setWaiting(HttpConnection& connection, bool waiting)
{
    m_table.setWaiting(connection.id(), waiting, now());
}

bool HttpService::reserveBody(HttpConnection& connection, qint64 bytes)
{
    return m_budget.reserve(ClientAddress::group(connection.budgetClient()), bytes);
}

void HttpService::releaseBody(HttpConnection& connection, qint64 bytes)
{
    m_budget.release(ClientAddress::group(connection.budgetClient()), bytes);
}

bool HttpService::reserveMemory(qint64 bytes)
{
    if (m_memoryInFlight + bytes > m_limits.memoryBodyBytesInFlight)
        return false;
    m_memoryInFlight += bytes;
    return true;
}

void HttpService::releaseMemory(qint64 bytes)
{
    m_memoryInFlight = qMax<qint64>(0, m_memoryInFlight - bytes);
}

void HttpService::closed(HttpConnection& connection)
{
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, connection.descriptor(), nullptr);
    m_watched.remove(connection.id());
    m_table.remove(connection.id());
    m_connections.remove(connection.id());
}
