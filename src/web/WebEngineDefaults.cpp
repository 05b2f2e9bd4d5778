#include "web/WebEngineDefaults.h"

#include <QDir>
#include <QFileInfo>

namespace WebEngineDefaults {

Variables forEnvironment(const QProcessEnvironment& environment, bool hardwareRendering)
{
    Variables set;
    if (!environment.contains(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"))) {
        // The reading page asks for a collection once the reader has stayed on a chapter
        // (Reader.js): left to itself the renderer's heap grows by some 110 MB over 200 chapters.
        QByteArray flags = "--renderer-process-limit=1 --process-per-site --js-flags=--expose-gc";
        if (!hardwareRendering)
            flags += " --disable-gpu";
        set.append(qMakePair(QByteArray("QTWEBENGINE_CHROMIUM_FLAGS"), QByteArray(flags)));
    }
    if (!hardwareRendering) {
        if (!environment.contains(QStringLiteral("QT_XCB_GL_INTEGRATION")))
            set.append(qMakePair(QByteArray("QT_XCB_GL_INTEGRATION"), QByteArray("none")));
        if (!environment.contains(QStringLiteral("QT_QUICK_BACKEND")))
            set.append(qMakePair(QByteArray("QT_QUICK_BACKEND"), QByteArray("software")));
    }
    return set;
}

bool hasHardwareRendering()
{
    if (!QDir(QStringLiteral("/dev/dri")).entryList({QStringLiteral("renderD*")}, QDir::System).isEmpty())
        return true;
    return QFileInfo::exists(QStringLiteral("/dev/nvidiactl"));
}

void apply()
{
    for (const auto& [name, value] : forEnvironment(QProcessEnvironment::systemEnvironment(), hasHardwareRendering()))
        qputenv(name.constData(), value);
}

} // namespace WebEngineDefaults
