#include "platform/keychain/KeychainPasswordStore.h"

#include <qt6keychain/keychain.h>

namespace {

const QString kService = QStringLiteral("Quillmere");

PasswordStore::Result resultOf(QKeychain::Job* job)
{
    PasswordStore::Result result;
    result.ok = job->error() == QKeychain::NoError;
    result.unavailable = job->error() == QKeychain::NoBackendAvailable || job->error() == QKeychain::NotImplemented ||
                         job->error() == QKeychain::OtherError;
    if (!result.ok)
        result.error = job->errorString();
    return result;
}

template <typename JobType>
JobType* startJob(QObject* parent, const QString& key, PasswordStore::Done done,
                  std::function<void(JobType*, PasswordStore::Result&)> fill = {})
{
    auto* job = new JobType(kService, parent);
    job->setAutoDelete(true);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, parent, [done, fill](QKeychain::Job* j) {
        PasswordStore::Result result = resultOf(j);
        if (fill && result.ok)
            fill(static_cast<JobType*>(j), result);
        done(result);
    });
    return job;
}

} // namespace

KeychainPasswordStore::KeychainPasswordStore(QObject* parent) : PasswordStore(parent) {}

void KeychainPasswordStore::read(const QString& key, Done done)
{
    auto* job = startJob<QKeychain::ReadPasswordJob>(
        this, key, std::move(done),
        [](QKeychain::ReadPasswordJob* j, Result& result) { result.password = j->textData(); });
    job->start();
}

void KeychainPasswordStore::write(const QString& key, const QString& password, Done done)
{
    auto* job = startJob<QKeychain::WritePasswordJob>(this, key, std::move(done));
    job->setTextData(password);
    job->start();
}

void KeychainPasswordStore::remove(const QString& key, Done done)
{
    auto* job = startJob<QKeychain::DeletePasswordJob>(this, key, std::move(done));
    job->start();
}
