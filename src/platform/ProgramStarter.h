#pragma once

#include <QString>
#include <QStringList>

// Starts another program of the package (the updater) without waiting for it. Tests
// replace it with a recording fake.
class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    // False when the program could not be started (missing, not executable).
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
};
