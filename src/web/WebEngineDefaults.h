#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcessEnvironment>

// How the web engine runs unless the user says otherwise, set in the environment before the
// application object exists (the engine reads it once, at its start).
//
// Every page of the program is a small local page or a page of the service: one renderer
// process serves them all. Without a GPU (no render node: a virtual X server, a remote desktop)
// the windows would be drawn by a software OpenGL that maps a compiler of some 40 MB into the
// program; there the views draw in plain software instead, which shows the same pixels. The
// pages may ask the engine to collect their garbage (window.gc), which the reading page does
// after a chapter change.
namespace WebEngineDefaults {

using Variables = QList<QPair<QByteArray, QByteArray>>;

// The variables to set, given the environment as it stands: a variable the user has set (even
// to nothing) is left as it is.
Variables forEnvironment(const QProcessEnvironment& environment, bool hardwareRendering);

// True when the machine has a GPU render node (or the proprietary NVIDIA device) to draw with.
bool hasHardwareRendering();

// Sets the variables forEnvironment gives for this process.
void apply();

} // namespace WebEngineDefaults
