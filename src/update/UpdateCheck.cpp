#include "update/UpdateCheck.h"

#include "app/AppState.h"
#include "online/ReplyDocument.h"
#include "online/SynchronousGet.h"
#include "platform/Dialogs.h"
#include "platform/ProgramStarter.h"

namespace {

const QString kPromptTitle = QStringLiteral("软件需更新");
const QString kTwoLineBreaks = QStringLiteral("\r\n\r\n");

} // namespace

UpdateCheck::UpdateCheck(AppState& state, QNetworkAccessManager& network, Dialogs& dialogs, ProgramStarter& starter,
                         QString updaterProgram)
    : m_state(state), m_network(network), m_dialogs(dialogs), m_starter(starter),
      m_updaterProgram(std::move(updaterProgram))
{
}

UpdateCheck::Outcome UpdateCheck::run(const QString& checkAddress)
{
    // One limit for fetching and reading: a reply that takes long to parse holds the window
    // back as much as one that is slow to come.
    const QDeadlineTimer deadline(m_timeoutMs);
    const ServiceReply reply = SynchronousGet::fetch(m_network, checkAddress, deadline);
    if (!SynchronousGet::accepted(reply))
        return {};
    const std::optional<ReplyDocument> read = ReplyDocument::loadWithin(reply.body, reply.contentType, deadline);
    if (!read)
        return {};
    const ReplyDocument& document = *read;
    if (!document.usable())
        return {true, false};
    m_info = UpdateInfo();
    try {
        m_info.readFrom(document);
    } catch (const MissingReplyElement&) {
        // The snippets read before the gap still count; nothing is decided on half a block.
        keepSnippets();
        return {};
    }
    keepSnippets();
    return decide(m_info);
}

void UpdateCheck::keepSnippets()
{
    m_state.noticeUrl = m_info.noticeUrl;
    m_state.bannerHtml = m_info.bannerHtml;
    m_state.chapterHeaderHtml = m_info.chapterHeaderHtml;
    m_state.chapterFooterHtml = m_info.chapterFooterHtml;
}

UpdateCheck::Outcome UpdateCheck::decide(const UpdateInfo& info)
{
    // Letter case counts: "V1.3" is another version.
    if (info.version == ownVersion())
        return {true, false};
    if (info.mustdown == QLatin1String("TRUE")) {
        const Answer answer =
            m_dialogs.message(QStringLiteral("系统检查到软件需要升级，你需要更新后才能继续使用，是否进行升级？") +
                                  kTwoLineBreaks + QStringLiteral("更新内容：") + info.verinfo,
                              kPromptTitle, Dialogs::YesNo);
        // The one way past a mandatory update is an updater that cannot be started: the
        // reader then carries on rather than leave the user with nothing.
        if (answer == Answer::Yes && !startUpdater())
            return {false, false};
        return {true, true};
    }
    if (info.mustdown == QLatin1String("FALSE")) {
        const Answer answer = m_dialogs.message(QStringLiteral("系统检查到软件有更新，是否进行升级？") +
                                                    kTwoLineBreaks + QStringLiteral("更新内容：") + info.verinfo,
                                                kPromptTitle, Dialogs::YesNo);
        if (answer != Answer::Yes)
            return {true, false};
        if (!startUpdater())
            return {false, false};
        return {true, true};
    }
    return {true, false};
}

bool UpdateCheck::startUpdater()
{
    // One argument: a dash and the reader's version, so the updater never takes it for the
    // service's version text.
    if (m_starter.startDetached(m_updaterProgram, {QLatin1Char('-') + ownVersion()}))
        return true;
    m_dialogs.message(QStringLiteral("无法启动升级程序，本次不能升级，软件将继续运行。") + kTwoLineBreaks +
                          QStringLiteral("请确认升级程序在软件目录中：") + m_updaterProgram,
                      QStringLiteral("升级失败"), Dialogs::Exclamation);
    return false;
}
