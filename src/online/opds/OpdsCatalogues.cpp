#include "online/opds/OpdsCatalogues.h"

#include "app/LibraryDatabase.h"
#include "platform/PasswordStore.h"

#include <QPointer>
#include <QUrl>

OpdsCatalogues::OpdsCatalogues(LibraryDatabase* library, PasswordStore* passwords, QObject* parent)
    : QObject(parent), m_library(library), m_passwords(passwords)
{
}

QList<OpdsCatalogueRow> OpdsCatalogues::list()
{
    if (!m_library)
        return {};
    return m_library->opdsCatalogues().value_or(QList<OpdsCatalogueRow>());
}

std::optional<OpdsCatalogueRow> OpdsCatalogues::byId(qint64 id)
{
    for (const OpdsCatalogueRow& row : list())
        if (row.id == id)
            return row;
    return std::nullopt;
}

QString OpdsCatalogues::check(const QString& name, const QString& url)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("请输入书库名称");
    const QUrl address(url.trimmed(), QUrl::StrictMode);
    if (!address.isValid() || address.host().isEmpty() ||
        (address.scheme() != QLatin1String("http") && address.scheme() != QLatin1String("https")))
        return QStringLiteral("书库地址必须是以 http:// 或 https:// 开头的网址");
    return {};
}

std::optional<qint64> OpdsCatalogues::save(OpdsCatalogueRow row, const QString& password, bool savePassword,
                                           QString* error)
{
    const QString why = check(row.name, row.url);
    if (!why.isEmpty() || !m_library) {
        if (error)
            *error = why.isEmpty() ? QStringLiteral("书库数据库没有打开") : why;
        return std::nullopt;
    }
    row.name = row.name.trimmed();
    row.url = row.url.trimmed();
    row.userName = row.userName.trimmed();
    // Editing a catalogue whose password is kept, with the password box left empty, keeps it.
    if (row.id != 0 && password.isEmpty() && savePassword) {
        if (const std::optional<OpdsCatalogueRow> old = byId(row.id); old && old->passwordStored) {
            row.passwordStored = true;
            if (!m_library->updateOpdsCatalogue(row)) {
                if (error)
                    *error = m_library->lastError();
                return std::nullopt;
            }
            emit changed();
            return row.id;
        }
    }
    const bool keep = savePassword && m_passwords && !password.isEmpty();
    row.passwordStored = keep;
    if (row.id == 0) {
        const std::optional<qint64> id = m_library->addOpdsCatalogue(row);
        if (!id) {
            if (error)
                *error = m_library->lastError();
            return std::nullopt;
        }
        row.id = *id;
    } else if (!m_library->updateOpdsCatalogue(row)) {
        if (error)
            *error = m_library->lastError();
        return std::nullopt;
    }
    m_session.insert(row.id, password);
    if (m_passwords) {
        QPointer<OpdsCatalogues> self(this);
        auto done = [self, row](const PasswordStore::Result& result) {
            if (!self || result.ok)
                return;
            // The row must not claim a password the keyring does not hold.
            if (row.passwordStored && self->m_library) {
                OpdsCatalogueRow unstored = row;
                unstored.passwordStored = false;
                self->m_library->updateOpdsCatalogue(unstored);
                emit self->changed();
            }
            emit self->keyringNotice(keyringUnavailableNotice());
        };
        if (keep)
            m_passwords->write(keyOf(row.id), password, done);
        else
            m_passwords->remove(keyOf(row.id), [](const PasswordStore::Result&) {});
    }
    emit changed();
    return row.id;
}

bool OpdsCatalogues::remove(qint64 id)
{
    if (!m_library || !m_library->removeOpdsCatalogue(id))
        return false;
    m_session.remove(id);
    if (m_passwords)
        m_passwords->remove(keyOf(id), [](const PasswordStore::Result&) {});
    emit changed();
    return true;
}

void OpdsCatalogues::remember(qint64 id, const QString& /*user*/, const QString& password)
{
    m_session.insert(id, password);
}

void OpdsCatalogues::passwordOf(const OpdsCatalogueRow& row, std::function<void(const QString&, const QString&)> done)
{
    if (m_session.contains(row.id) || !row.passwordStored || !m_passwords) {
        done(m_session.value(row.id), QString());
        return;
    }
    QPointer<OpdsCatalogues> self(this);
    m_passwords->read(keyOf(row.id), [self, id = row.id, done](const PasswordStore::Result& result) {
        if (!self)
            return;
        if (result.ok) {
            self->m_session.insert(id, result.password);
            done(result.password, QString());
        } else {
            done(QString(), keyringUnavailableNotice());
        }
    });
}
