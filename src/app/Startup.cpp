#include "app/Startup.h"

#include "app/AppPaths.h"
#include "app/AppState.h"
#include "app/LibraryDatabase.h"
#include "app/MachineId.h"
#include "common/SharedRoutines.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

Startup::Startup(AppState& state, LibraryDatabase& library, Dialogs& dialogs, Clock& clock)
    : m_state(state), m_library(library), m_dialogs(dialogs), m_clock(clock)
{
}

QString Startup::checkAddress(const QString& serviceBase, const QString& machineId, const QString& stamp)
{
    QString address = serviceBase + QStringLiteral("/readerserver/getinfo.asp?desknum=") + machineId +
                      QStringLiteral("&rnt=") + stamp;
    address.remove(QLatin1Char(' '));
    return address;
}

Startup::Outcome Startup::run()
{
    // 1. The library database; the reader cannot run without it.
    const QString file = AppPaths::libraryFile(m_state.programFolder);
    const auto opened = m_library.open(file);
    if (opened != LibraryDatabase::OpenResult::Opened && opened != LibraryDatabase::OpenResult::Created) {
        m_dialogs.message(m_library.openErrorText(), QStringLiteral("书库打开失败"), Dialogs::Stop);
        return Outcome::DatabaseFailed;
    }
    m_state.library = &m_library;
    m_library.setNow([this] { return m_clock.now(); });

    // 2. The download folder: every missing level of it is created now.
    m_state.downloadFolder = CreateFolderPath(m_library.downSavePath().value_or(QString()));

    // 3. An empty value becomes program folder + "/TxtBook"; that folder comes into
    //    being at the next start or when a download needs it.
    if (m_state.downloadFolder.isEmpty()) {
        m_state.downloadFolder = m_state.programFolder + QStringLiteral("/TxtBook");
        m_library.setDownSavePath(m_state.downloadFolder);
    }

    // 4. The page snippets start empty; the update check may fill them.
    m_state.noticeUrl.clear();
    m_state.bannerHtml.clear();
    m_state.chapterHeaderHtml.clear();
    m_state.chapterFooterHtml.clear();

    // 5. The machine identifier.
    m_state.machineId = MachineId::obtain(m_state.programFolder + QStringLiteral("/DataFile"), m_machineIdFile);

    // 6. The update check.
    const QString address = checkAddress(m_state.serviceBase, m_state.machineId, RntStamp(m_clock.now()));
    if (m_updateCheck && !m_updateCheck(address))
        return Outcome::EndedByUpdate;
    return Outcome::Continue;
}
