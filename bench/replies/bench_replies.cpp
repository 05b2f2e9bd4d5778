// Hostile replies, measured (targets in brackets):
//  1. a catalogue reply that streams 1.5 GB without a size: memory above the baseline
//     [under 100 MB] and the longest stall of the event loop [under 100 ms] until the page
//     gives it up;
//  2. a catalogue page of 40,000 rows (just under the reply cap; past the element bound), of
//     5,000 rows (within it), and one of 7 rows with 1 MB titles: the longest stall [under
//     100 ms] and memory [under 64 MB] until the list is filled or refused;
//  3. the start-up check against a 500 MB reply, and against the slowest reply to parse that
//     passes the size and element bounds: how long the check holds the start [at most its
//     3 s and a little].
//
// The service is a plain socket loop on its own thread, so its work is not counted.

#include "BenchMeters.h"
#include "QuietServices.h"
#include "app/AppState.h"
#include "online/CatalogueController.h"
#include "online/CatalogueReply.h"
#include "platform/Clock.h"
#include "platform/ProgramStarter.h"
#include "update/UpdateCheck.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

// Answers every request with `head`, then `body`, then `filler` bytes of 'x' made as they go
// out; it stops when they are sent or the client goes away.
class StreamingService {
public:
    StreamingService(QByteArray body, qint64 filler) : m_body(std::move(body)), m_filler(filler)
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_socket, 4);
        socklen_t length = sizeof address;
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~StreamingService()
    {
        m_stop = true;
        ::shutdown(m_socket, SHUT_RDWR);
        ::close(m_socket);
        m_thread.join();
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

private:
    void serve()
    {
        while (!m_stop) {
            const int client = ::accept(m_socket, nullptr, nullptr);
            if (client < 0)
                return;
            char request[8192];
            (void)::recv(client, request, sizeof request, 0);
            const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\n"
                                    "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
            bool open = ::send(client, head.constData(), head.size(), MSG_NOSIGNAL) > 0;
            const QByteArray piece(64 * 1024, 'x');
            qint64 sent = 0;
            const qint64 total = m_body.size() + m_filler;
            while (open && sent < total && !m_stop) {
                const QByteArray chunk = sent < m_body.size()
                                             ? m_body.mid(sent, piece.size())
                                             : piece.left(int(std::min<qint64>(piece.size(), total - sent)));
                const QByteArray framed = QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
                open = ::send(client, framed.constData(), framed.size(), MSG_NOSIGNAL) > 0;
                sent += chunk.size();
            }
            if (open)
                ::send(client, "0\r\n\r\n", 5, MSG_NOSIGNAL);
            ::close(client);
        }
    }

    QByteArray m_body;
    qint64 m_filler;
    int m_socket = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

struct NoStarter : ProgramStarter {
    bool startDetached(const QString&, const QStringList&) override { return false; }
};

QByteArray catalogue(int rows, int titleChars)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><booklist>";
    const QByteArray title = titleChars ? QByteArray("长").repeated(titleChars) : QByteArray("书");
    for (int i = 0; i < rows; ++i)
        xml += "<bookinfo><id>" + QByteArray::number(i) + "</id><name>" + title +
               "</name><class>武侠</class><author>某</author><statue>全集</statue><ftime>2026-01-02</ftime>"
               "<size>1</size><downurl>/f/" +
               QByteArray::number(i) + ".txt</downurl></bookinfo>";
    return xml + "<otherinfo><pageinfo>1,1,1,1,1</pageinfo></otherinfo></booklist>";
}

void catalogueRun(const char* what, const QByteArray& body, qint64 filler)
{
    StreamingService service(body, filler);
    QNetworkAccessManager network;
    SilentDialogs dialogs;
    SystemClock clock;
    CatalogueController controller(service.base(), network, dialogs, clock, nullptr);
    StallMeter meter;
    QElapsedTimer elapsed;
    elapsed.start();
    meter.start();
    controller.categoryClick(QStringLiteral("全部资源"));
    while (controller.isLoading() && elapsed.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    meter.stop();
    std::printf("%-44s %7lld ms  rows %6lld  stall %7.1f ms  memory +%6.1f MB  %s\n", what,
                static_cast<long long>(elapsed.elapsed()), static_cast<long long>(controller.rows().size()),
                meter.longestMs(), meter.growthMb(), qPrintable(controller.notice()));
}

void startupRun(const char* what, const QByteArray& body, qint64 filler)
{
    StreamingService service(body, filler);
    QNetworkAccessManager network;
    SilentDialogs dialogs;
    NoStarter starter;
    AppState state;
    UpdateCheck check(state, network, dialogs, starter, QStringLiteral("/nonexistent/update"));
    QElapsedTimer elapsed;
    elapsed.start();
    const UpdateCheck::Outcome outcome = check.run(service.base() + QStringLiteral("/readerserver/getinfo.asp"));
    std::printf("%-44s %7lld ms  accepted %d (limit %d ms)\n", what, static_cast<long long>(elapsed.elapsed()),
                outcome.accepted, UpdateCheck::TimeoutMs);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    catalogueRun("catalogue: 1.5 GB streamed, no size", "<booklist>", 1536LL * 1024 * 1024);
    catalogueRun("catalogue: 40,000 rows (7.9 MB)", catalogue(40000, 0), 0);
    catalogueRun("catalogue: 5,000 rows", catalogue(5000, 0), 0);
    catalogueRun("catalogue: 7 rows with 1 MB titles", catalogue(7, 333'000), 0);
    startupRun("start-up: 500 MB reply", "<infobase>", 500LL * 1024 * 1024);
    startupRun("start-up: 40,000 elements, 7.5 MB of entities",
               "<infobase><version>v9</version>" + QByteArray("<a>&amp;&lt;&gt;</a>").repeated(40000) +
                   QByteArray("&amp;").repeated(1'500'000) + "</infobase>",
               0);
    return 0;
}
