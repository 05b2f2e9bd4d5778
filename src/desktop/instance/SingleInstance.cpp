#include "desktop/instance/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

namespace {

constexpr quint32 kMagic = 0x514C4D4F; // "QLMO"
constexpr int kHeaderBytes = 8;
constexpr char kAck = 'K';
// A client that connects and then says nothing is let go after this long.
constexpr int kIdleMs = 10000;

QStringList decode(const QByteArray& payload)
{
    QStringList paths;
    for (const QByteArray& part : payload.split('\0')) {
        if (!part.isEmpty())
            paths.append(QString::fromUtf8(part));
    }
    return paths;
}

} // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), m_name(std::move(name)), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection())
            accept(socket);
    });
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::nameFor(const QString& dataFolder)
{
    QString folder = QFileInfo(dataFolder).canonicalFilePath();
    if (folder.isEmpty())
        folder = QDir::cleanPath(QDir(dataFolder).absolutePath());
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    // Without a runtime folder the socket goes to the shared temporary folder: the user's
    // name then keeps two users' readers of one folder apart (the socket itself is the user's only).
    const QByteArray key = runtime.isEmpty() ? qgetenv("USER") + '\n' + folder.toUtf8() : folder.toUtf8();
    const QString hash =
        QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(20));
    const QString leaf = QStringLiteral("quillmere-") + hash;
    return runtime.isEmpty() ? leaf : runtime + QLatin1Char('/') + leaf;
}

QString SingleInstance::noAnswerText()
{
    return QStringLiteral("Quillmere 已经在运行，但它没有回应，文件没能交给它打开。\r\n\r\n请稍后再试一次。");
}

QByteArray SingleInstance::encode(const QStringList& paths)
{
    QByteArray payload;
    for (const QString& path : paths)
        payload += path.toUtf8() + '\0';
    QByteArray request(kHeaderBytes, '\0');
    qToBigEndian<quint32>(kMagic, request.data());
    qToBigEndian<quint32>(quint32(payload.size()), request.data() + 4);
    return request + payload;
}

SingleInstance::Role SingleInstance::start(const QStringList& paths, int timeoutMs)
{
    switch (sendTo(paths, timeoutMs)) {
    case Sent::Delivered:
        return Role::HandedOver;
    case Sent::NoAnswer:
        return Role::NoAnswer;
    case Sent::NobodyThere:
        break;
    }
    if (listen() || m_server->serverError() != QAbstractSocket::AddressInUseError)
        return Role::First;
    // The name is taken: either a reader started at this very moment, or one that crashed
    // left its socket behind.
    switch (sendTo(paths, timeoutMs)) {
    case Sent::Delivered:
        return Role::HandedOver;
    case Sent::NoAnswer:
        return Role::NoAnswer;
    case Sent::NobodyThere:
        break;
    }
    QLocalServer::removeServer(m_name);
    listen();
    return Role::First;
}

bool SingleInstance::isListening() const
{
    return m_server->isListening();
}

bool SingleInstance::listen()
{
    return m_server->listen(m_name);
}

SingleInstance::Sent SingleInstance::sendTo(const QStringList& paths, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return Sent::NobodyThere;
    socket.write(encode(paths));
    if (!socket.waitForBytesWritten(timeoutMs))
        return Sent::NoAnswer;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs))
            return Sent::NoAnswer;
    }
    char answer = 0;
    socket.getChar(&answer);
    return answer == kAck ? Sent::Delivered : Sent::NoAnswer;
}

void SingleInstance::accept(QLocalSocket* socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
    QTimer::singleShot(kIdleMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    if (socket->bytesAvailable() > 0)
        readRequest(socket);
}

void SingleInstance::readRequest(QLocalSocket* socket)
{
    if (socket->bytesAvailable() < kHeaderBytes)
        return;
    const QByteArray header = socket->peek(kHeaderBytes);
    const quint32 magic = qFromBigEndian<quint32>(header.constData());
    const quint32 length = qFromBigEndian<quint32>(header.constData() + 4);
    if (magic != kMagic || length > quint32(kMaxRequestBytes)) {
        // Not one of ours, or larger than any list of paths: hung up on.
        socket->abort();
        socket->deleteLater();
        return;
    }
    if (socket->bytesAvailable() < kHeaderBytes + qint64(length))
        return;
    socket->skip(kHeaderBytes);
    const QStringList paths = decode(socket->read(length));
    // The answer goes out before the files are opened, so the new start ends at once.
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    socket->putChar(kAck);
    socket->disconnectFromServer();
    // Opened from the event loop, not from within the socket's signal: opening may show a
    // message box, and the socket goes away meanwhile.
    QTimer::singleShot(0, this, [this, paths] { arrive(paths); });
}

void SingleInstance::arrive(const QStringList& paths)
{
    m_pending.append(paths);
    drain();
}

void SingleInstance::deliverTo(Handler handler)
{
    m_handler = std::move(handler);
    drain();
}

void SingleInstance::drain()
{
    if (m_delivering)
        return;
    m_delivering = true;
    while (m_handler && !m_pending.isEmpty()) {
        // A copy: the handler may replace itself.
        const Handler handler = m_handler;
        handler(m_pending.takeFirst());
    }
    m_delivering = false;
}
