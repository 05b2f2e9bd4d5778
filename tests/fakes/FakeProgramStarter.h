#pragma once

#include "platform/ProgramStarter.h"

#include <QList>

// Records every program it is asked to start; answers `starts` (true unless told otherwise).
class FakeProgramStarter : public ProgramStarter {
public:
    struct Start {
        QString program;
        QStringList arguments;
    };

    bool startDetached(const QString& program, const QStringList& arguments) override
    {
        started.append({program, arguments});
        return starts;
    }

    QList<Start> started;
    bool starts = true;
};
