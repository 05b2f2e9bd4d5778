#pragma once

#include "app/OpdsCatalogueRow.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class LibraryDatabase;
class PasswordStore;

// The catalogues the user added: their rows in the library, their passwords in the keyring
// (or, when the user does not want one kept or the desktop has no keyring, only in memory
// for this run of the program). A password is never written anywhere else.
class OpdsCatalogues : public QObject {
    Q_OBJECT
public:
    OpdsCatalogues(LibraryDatabase* library, PasswordStore* passwords, QObject* parent = nullptr);

    QList<OpdsCatalogueRow> list();
    std::optional<OpdsCatalogueRow> byId(qint64 id);

    // Why the dialog's values cannot be kept (Chinese), empty when they can.
    static QString check(const QString& name, const QString& url);

    // Adds or changes a catalogue. `savePassword` keeps the password in the keyring; without it
    // (or without a keyring) it is kept in memory for this run only. Returns the row's id, or
    // nothing with the reason in `error`.
    std::optional<qint64> save(OpdsCatalogueRow row, const QString& password, bool savePassword, QString* error);
    bool remove(qint64 id);

    // The password of a catalogue: from memory, else from the keyring; empty when none is kept.
    // `done` gets the password and, when the keyring failed, a notice for the page.
    void passwordOf(const OpdsCatalogueRow& row, std::function<void(const QString&, const QString&)> done);
    // A password typed at a login request, kept for this run.
    void remember(qint64 id, const QString& user, const QString& password);

    static QString keyOf(qint64 id) { return QStringLiteral("opds-catalogue-%1").arg(id); }
    static QString keyringUnavailableNotice()
    {
        return QStringLiteral("无法使用系统密钥环保存密码，本次运行中需要时会询问密码");
    }

signals:
    void changed();
    // The keyring could not keep a password (Chinese, for the page).
    void keyringNotice(const QString& notice);

private:
    LibraryDatabase* m_library;
    PasswordStore* m_passwords;
    QHash<qint64, QString> m_session;
};
