#include "HttpConnection.h"

#include "ClientAddress.h"

#include "HttpWire.h"
#include "PasswordHasher.h"
#include "Service.h"

#include <QPointer>

#include <cerrno>
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Per readiness report, so that one fast client does not hold up the others.
constexpr qint64 kReadPerTurn = 1024 * 1024;
constexpr qint64 kSendPerTurn = 4 * 1024 * 1024;
constexpr qint64 kChunk = 64 * 1024;

const QString kBusy = QStringLiteral("服务器繁忙，请稍后再试！");

// A body that arrived in a temporary file, mapped for the service to read; the file goes
// with the last copy of the request.
struct MappedBody {
    std::unique_ptr<QFile> file;
    uchar* data = nullptr;

    ~MappedBody()
    {
        if (data)
            file->unmap(data);
        file->close();
        file->remove();
    }
};

} // namespace

HttpConnection::HttpConnection(quint64 id, int descriptor, const QString& peer, ConnectionOwner& owner)
    : m_id(id), m_fd(descriptor), m_peer(peer), m_owner(owner)
{
}

HttpConnection::~HttpConnection()
{
    dropBody();
    if (m_file >= 0)
        ::close(m_file);
    if (m_fd >= 0)
        ::close(m_fd);
}

void HttpConnection::start()
{
    m_lastProgress = m_owner.now();
    waitForRequest(true);
}

void HttpConnection::waitForRequest(bool firstOnConnection)
{
    m_phase = Phase::Head;
    m_request = HttpRequest();
    m_headOnly = false;
    if (m_in.isEmpty())
        m_in = QByteArray(); // an idle connection keeps no buffer
    m_scanned = 0;
    // A new connection must deliver its head within the head limit; a kept-alive one may idle
    // longer, but once its next request has begun the head limit applies from that byte on.
    m_idle = !firstOnConnection && m_in.isEmpty();
    m_deadline = m_owner.now() + (m_idle ? m_owner.limits().keepAliveMilliseconds : m_owner.limits().headMilliseconds);
    m_owner.setWaiting(*this, true);
    updateInterest();
    if (!m_in.isEmpty()) {
        // Pipelined bytes are handled from the event loop, so that a long pipeline does not
        // recurse.
        QMetaObject::invokeMethod(this, &HttpConnection::tryStartRequest, Qt::QueuedConnection);
    }
}

void HttpConnection::updateInterest()
{
    const bool read = m_phase == Phase::Head || m_phase == Phase::Body || m_phase == Phase::Linger;
    const bool write = m_outPos < m_out.size() || (m_phase == Phase::Reply && m_fileRemaining > 0);
    if (m_phase != Phase::Closed)
        m_owner.watch(*this, read, write);
}

void HttpConnection::onEvents(quint32 events)
{
    if (events & EPOLLIN)
        onReadable();
    if (m_phase != Phase::Closed && (events & EPOLLOUT))
        flush();
    // An error, or both directions closed, with nothing left to read: the client is gone.
    if (m_phase != Phase::Closed && (events & (EPOLLERR | EPOLLHUP)) && !(events & EPOLLIN))
        close();
}

void HttpConnection::onReadable()
{
    // One request per connection and turn: a client that answers each reply at once with its
    // next request must not keep the others waiting. A request already buffered (pipelined)
    // is taken before anything more is read, which also bounds what is buffered.
    const quint64 dispatched = m_dispatched;
    if (m_phase == Phase::Head && !m_in.isEmpty())
        tryStartRequest();
    char buffer[kChunk];
    qint64 budget = kReadPerTurn;
    while (budget > 0 && m_dispatched == dispatched &&
           (m_phase == Phase::Head || m_phase == Phase::Body || m_phase == Phase::Linger)) {
        // A head is read no further than its limit allows and a body no further than its
        // end, so what waits in m_in (a head, or pipelined requests) stays within that limit.
        const qint64 room = m_phase == Phase::Head   ? m_owner.limits().maxHeadBytes + 1 - m_in.size()
                            : m_phase == Phase::Body ? m_bodyLength - m_bodyReceived
                                                     : kChunk;
        const ssize_t n = ::recv(m_fd, buffer, size_t(qBound<qint64>(1, room, kChunk)), 0);
        if (n > 0) {
            budget -= n;
            take(buffer, n);
        } else if (n == 0) {
            peerFinished();
            return;
        } else if (errno == EINTR) {
            continue;
        } else {
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                close();
            return;
        }
    }
}

void HttpConnection::take(const char* data, qint64 size)
{
    switch (m_phase) {
    case Phase::Head:
        if (m_idle) {
            m_idle = false;
            m_deadline = m_owner.now() + m_owner.limits().headMilliseconds;
        }
        m_in.append(data, size);
        tryStartRequest();
        break;
    case Phase::Body:
        takeBody(data, size);
        break;
    default:
        break; // lingering: what still arrives is dropped
    }
}

void HttpConnection::peerFinished()
{
    m_peerClosed = true;
    // A request that arrived whole before the end is still answered, and so is one already
    // being handled (see sendReply); an unfinished one never will be.
    if (m_phase == Phase::Head)
        tryStartRequest();
    if (m_phase == Phase::Head || m_phase == Phase::Body || m_phase == Phase::Linger)
        close();
}

void HttpConnection::tryStartRequest()
{
    if (m_phase != Phase::Head)
        return;
    // Blank lines before a request are allowed and ignored.
    qsizetype skip = 0;
    while (skip < m_in.size() && (m_in[skip] == '\r' || m_in[skip] == '\n'))
        ++skip;
    if (skip > 0) {
        m_in.remove(0, skip);
        m_scanned = 0;
    }
    if (m_in.isEmpty())
        return;
    const qint64 maxHead = m_owner.limits().maxHeadBytes;
    const qsizetype end = HttpWire::headEnd(m_in, m_scanned);
    if (end < 0 || end > maxHead) {
        if (m_in.size() > maxHead || end > maxHead)
            refuse(431, QStringLiteral("请求头太长。"));
        else
            m_scanned = qMax<qsizetype>(0, m_in.size() - 3);
        return;
    }
    const HttpWire::Head head = HttpWire::parseHead(QByteArrayView(m_in).first(end));
    m_in.remove(0, end);
    m_scanned = 0;
    m_owner.setWaiting(*this, false);
    if (head.status != HttpWire::Head::Status::Complete) {
        refuse(head.refusal, head.refusal == 411   ? QStringLiteral("请求须注明正文的长度。")
                             : head.refusal == 431 ? QStringLiteral("请求头太长。")
                             : head.refusal == 505 ? QStringLiteral("不支持该 HTTP 版本。")
                                                   : QStringLiteral("请求的格式有误。"));
        return;
    }
    ++m_sequence;
    m_request = head.request;
    m_request.peer =
        ClientAddress::behind(m_peer, m_request.header("x-forwarded-for"), m_owner.service().config().trustedProxies);
    m_http10 = head.http10;
    m_keepAlive = head.keepAlive && !m_peerClosed;
    m_headOnly = m_request.method == "HEAD";
    if (head.contentLength == 0) {
        dispatch();
        return;
    }
    // The service refuses a body it does not want before a byte of it is read.
    if (const auto refusal = m_owner.service().screenBody(m_request, head.contentLength)) {
        sendReply(*refusal, true);
        return;
    }
    if (!beginBody(head.contentLength))
        return;
    if (head.expectContinue)
        m_out += "HTTP/1.1 100 Continue\r\n\r\n";
    // Whatever came with the head belongs to the body, and maybe to a pipelined request after it.
    const QByteArray already = std::exchange(m_in, QByteArray());
    if (!already.isEmpty())
        takeBody(already.constData(), already.size());
    if (m_phase == Phase::Body && !m_out.isEmpty())
        flush();
}

bool HttpConnection::beginBody(qint64 length)
{
    m_bodyLength = length;
    m_bodyReceived = 0;
    m_bodyStart = m_owner.now();
    m_lastProgress = m_bodyStart;
    // Small bodies are kept in memory while the memory set aside for them lasts; others go to
    // a temporary file.
    if (length <= m_owner.limits().memoryBodyBytes && m_owner.reserveMemory(length)) {
        m_memoryReserved = length;
        m_request.body.reserve(length);
    } else {
        m_budgetClient = m_request.peer;
        if (!m_owner.reserveBody(*this, length)) {
            HttpReply busy = HttpWire::plainReply(503, kBusy);
            busy.headers.append(qMakePair(QByteArray("Retry-After"), QByteArray("30")));
            sendReply(busy, true);
            return false;
        }
        m_bodyReserved = length;
        m_bodyFile =
            std::make_unique<QFile>(m_owner.temporaryDir() + QStringLiteral("/body-") +
                                    QString::fromLatin1(PasswordHasher::randomToken()) + QStringLiteral(".part"));
        if (!m_bodyFile->open(QIODevice::ReadWrite | QIODevice::NewOnly)) {
            dropBody();
            sendReply(HttpWire::plainReply(500, QStringLiteral("服务器保存数据失败，请稍后再试！")), true);
            return false;
        }
    }
    m_phase = Phase::Body;
    updateInterest();
    return true;
}

void HttpConnection::takeBody(const char* data, qint64 size)
{
    const qint64 part = qMin(size, m_bodyLength - m_bodyReceived);
    if (m_bodyFile) {
        if (m_bodyFile->write(data, part) != part) {
            dropBody();
            sendReply(HttpWire::plainReply(500, QStringLiteral("服务器保存数据失败，请稍后再试！")), true);
            return;
        }
    } else {
        m_request.body.append(data, part);
    }
    m_bodyReceived += part;
    m_lastProgress = m_owner.now();
    if (part < size)
        m_in.append(data + part, size - part);
    if (m_bodyReceived == m_bodyLength)
        finishBody();
}

void HttpConnection::finishBody()
{
    if (m_memoryReserved > 0) {
        m_owner.releaseMemory(m_memoryReserved);
        m_memoryReserved = 0;
    }
    if (m_bodyFile) {
        auto mapped = std::make_shared<MappedBody>();
        mapped->file = std::move(m_bodyFile);
        if (mapped->file->flush())
            mapped->data = mapped->file->map(0, m_bodyLength);
        m_owner.releaseBody(*this, m_bodyReserved);
        m_bodyReserved = 0;
        if (!mapped->data) {
            sendReply(HttpWire::plainReply(500, QStringLiteral("服务器读取数据失败，请稍后再试！")), true);
            return;
        }
        m_request.body = QByteArray::fromRawData(reinterpret_cast<const char*>(mapped->data), m_bodyLength);
        m_request.bodyKeeper = mapped;
    }
    dispatch();
}

void HttpConnection::dropBody()
{
    if (m_memoryReserved > 0) {
        m_owner.releaseMemory(m_memoryReserved);
        m_memoryReserved = 0;
    }
    if (m_bodyReserved > 0) {
        m_owner.releaseBody(*this, m_bodyReserved);
        m_bodyReserved = 0;
    }
    if (m_bodyFile) {
        m_bodyFile->close();
        m_bodyFile->remove();
        m_bodyFile.reset();
    }
}

void HttpConnection::dispatch()
{
    ++m_dispatched;
    m_phase = Phase::Processing;
    updateInterest();
    const quint64 sequence = m_sequence;
    QPointer<HttpConnection> self(this);
    const HttpRequest request = std::exchange(m_request, HttpRequest());
    m_owner.service().handle(request, [self, sequence](const HttpReply& reply) {
        // A reply from a worker thread may find its client gone, or timed out.
        if (self && self->m_phase == Phase::Processing && self->m_sequence == sequence)
            self->sendReply(reply, false);
    });
}

void HttpConnection::refuse(int status, const QString& text)
{
    m_keepAlive = false;
    sendReply(HttpWire::plainReply(status, text), true);
}

void HttpConnection::sendReply(const HttpReply& given, bool lingerAfter)
{
    HttpReply reply = given;
    qint64 length = reply.body.size();
    if (!reply.filePath.isEmpty()) {
        // Files are sent straight from disk, never read into memory.
        m_file = ::open(QFile::encodeName(reply.filePath).constData(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (m_file < 0 || ::fstat(m_file, &info) != 0 || !S_ISREG(info.st_mode)) {
            if (m_file >= 0)
                ::close(m_file);
            m_file = -1;
            reply = HttpReply::notFound();
            length = reply.body.size();
        } else {
            length = info.st_size;
        }
    }
    m_lingerAfter = lingerAfter;
    m_closeAfter = lingerAfter || !m_keepAlive || m_peerClosed;
    const QByteArray connection = m_closeAfter ? QByteArray("close")
                                  : m_http10   ? QByteArray("keep-alive")
                                               : QByteArray();
    m_out += HttpWire::replyHead(reply, length, connection);
    if (!m_headOnly)
        m_out += reply.body;
    m_fileOffset = 0;
    m_fileRemaining = m_file >= 0 && !m_headOnly ? length : 0;
    dropBody();
    m_phase = Phase::Reply;
    m_lastProgress = m_owner.now();
    flush();
}

void HttpConnection::flush()
{
    while (m_outPos < m_out.size()) {
        const ssize_t n = ::send(m_fd, m_out.constData() + m_outPos, size_t(m_out.size() - m_outPos), MSG_NOSIGNAL);
        if (n > 0) {
            m_outPos += n;
            m_lastProgress = m_owner.now();
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            updateInterest();
            return;
        } else {
            close();
            return;
        }
    }
    m_out.clear();
    m_outPos = 0;
    if (m_phase != Phase::Reply) {
        updateInterest();
        return;
    }
    qint64 budget = kSendPerTurn;
    while (m_fileRemaining > 0) {
        if (budget <= 0) {
            updateInterest();
            return;
        }
        off_t offset = m_fileOffset;
        const ssize_t n = ::sendfile(m_fd, m_file, &offset, size_t(qMin<qint64>(m_fileRemaining, kSendPerTurn)));
        if (n > 0) {
            m_fileOffset = offset;
            m_fileRemaining -= n;
            budget -= n;
            m_lastProgress = m_owner.now();
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            updateInterest();
            return;
        } else {
            // The file shrank under the reply, or the client is gone: the announced length
            // cannot be kept, so the connection ends.
            close();
            return;
        }
    }
    finishReply();
}

void HttpConnection::finishReply()
{
    if (m_file >= 0) {
        ::close(m_file);
        m_file = -1;
    }
    if (m_lingerAfter) {
        // The request's body was never read. Closing now would make the client's system
        // answer what it still sends with a reset, which can destroy the reply before it is
        // read; so the sending side closes and the rest is read and dropped for a while.
        ::shutdown(m_fd, SHUT_WR);
        m_in.clear();
        m_phase = Phase::Linger;
        m_deadline = m_owner.now() + m_owner.limits().lingerMilliseconds;
        m_owner.setWaiting(*this, true);
        updateInterest();
        return;
    }
    if (m_closeAfter) {
        close();
        return;
    }
    waitForRequest(false);
}

void HttpConnection::checkTime(qint64 now)
{
    const HttpLimits& limits = m_owner.limits();
    switch (m_phase) {
    case Phase::Head:
        if (now >= m_deadline) {
            if (!m_idle && !m_in.isEmpty()) {
                // A client that began a request learns why it ends; one byte of effort only.
                const QByteArray timeout =
                    HttpWire::replyHead(HttpWire::plainReply(408, QString()), 0, QByteArrayLiteral("close"));
                (void)::send(m_fd, timeout.constData(), size_t(timeout.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
            }
            close();
        }
        break;
    case Phase::Body: {
        const qint64 allowed =
            limits.headMilliseconds + m_bodyLength * 1000 / qMax<qint64>(1, limits.minBodyBytesPerSecond);
        if (now - m_lastProgress >= limits.stallMilliseconds || now - m_bodyStart >= allowed)
            close();
        break;
    }
    case Phase::Reply:
        if (now - m_lastProgress >= limits.stallMilliseconds)
            close();
        break;
    case Phase::Linger:
        if (now >= m_deadline)
            close();
        break;
    case Phase::Processing:
    case Phase::Closed:
        break;
    }
}

void HttpConnection::close()
{
    if (m_phase == Phase::Closed)
        return;
    m_phase = Phase::Closed;
    dropBody();
    if (m_file >= 0) {
        ::close(m_file);
        m_file = -1;
    }
    m_owner.closed(*this);
    ::close(m_fd);
    m_fd = -1;
    m_in.clear();
    m_out.clear();
    m_request = HttpRequest();
    deleteLater();
}
