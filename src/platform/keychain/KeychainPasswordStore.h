#pragma once

#include "platform/PasswordStore.h"

// The passwords in the desktop's secret service, through QtKeychain.
class KeychainPasswordStore : public PasswordStore {
    Q_OBJECT
public:
    explicit KeychainPasswordStore(QObject* parent = nullptr);

    void read(const QString& key, Done done) override;
    void write(const QString& key, const QString& password, Done done) override;
    void remove(const QString& key, Done done) override;
};
