#pragma once

#include <QObject>
#include <QString>

#include <functional>

// The desktop's keyring, where the passwords of the user's catalogues are kept; never a file
// of the reader's own. Every call answers later, once, through its callback on the GUI thread.
class PasswordStore : public QObject {
    Q_OBJECT
public:
    struct Result {
        bool ok = false;
        // The keyring cannot be reached at all (no secret service on this desktop): the caller
        // asks for the password each session instead.
        bool unavailable = false;
        QString password;
        QString error;
    };
    using Done = std::function<void(const Result&)>;

    using QObject::QObject;
    ~PasswordStore() override = default;

    virtual void read(const QString& key, Done done) = 0;
    virtual void write(const QString& key, const QString& password, Done done) = 0;
    virtual void remove(const QString& key, Done done) = 0;
};
