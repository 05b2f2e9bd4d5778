#pragma once

#include "platform/ProgramStarter.h"

// Starts a program as a process of its own that outlives the caller, in the program's folder.
class QtProgramStarter : public ProgramStarter {
public:
    bool startDetached(const QString& program, const QStringList& arguments) override;
};
