#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QLocalServer;
class QLocalSocket;

// One reader per program folder: a later start hands its files to the reader already
// running there over a local socket and ends, so two readers never work on one library.
//
// A request is the magic "QLMO", the payload's length (both 32-bit, big-endian) and the
// payload: the absolute paths in UTF-8, each followed by a NUL. The reader answers "K" once
// it holds the paths. No paths means "come forward".
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        First,      // no reader was running: this one listens now
        HandedOver, // the running reader took the files; this start ends
        NoAnswer,   // a reader is there but did not answer; this start ends as well
    };
    using Handler = std::function<void(const QStringList& paths)>;

    static constexpr int kTimeoutMs = 5000;
    static constexpr int kMaxRequestBytes = 1 << 20;

    explicit SingleInstance(QString name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The channel of the readers of `dataFolder`: in the user's runtime folder (other users
    // cannot reach it) and named after the folder, so readers of two folders never talk.
    static QString nameFor(const QString& dataFolder);
    // What this start tells the user when the running reader does not answer.
    static QString noAnswerText();

    // Hands `paths` to the reader listening under the name. When there is none, this one
    // listens from now on; a socket a crashed reader left behind is removed first. When the
    // name cannot be listened on at all, this reader runs on alone (First).
    Role start(const QStringList& paths, int timeoutMs = kTimeoutMs);
    bool isListening() const;
    QString name() const { return m_name; }

    // Where the files handed over go. Requests that came before are delivered now, in
    // order; a request that comes while the handler runs (it may show a message box) waits
    // until the handler has returned.
    void deliverTo(Handler handler);

    static QByteArray encode(const QStringList& paths);

private:
    enum class Sent { Delivered, NobodyThere, NoAnswer };
    Sent sendTo(const QStringList& paths, int timeoutMs) const;
    bool listen();
    void accept(QLocalSocket* socket);
    void readRequest(QLocalSocket* socket);
    void arrive(const QStringList& paths);
    void drain();

    QString m_name;
    QLocalServer* m_server = nullptr;
    Handler m_handler;
    QList<QStringList> m_pending;
    bool m_delivering = false;
};
