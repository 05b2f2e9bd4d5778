#pragma once

#include "online/ServiceReply.h"

#include <QString>

#include <optional>

class ReplyDocument;

// The result line of an account reply: logininfo of the first userbase, "code|message".
struct LoginInfo {
    QString code;
    QString message;
};

// The user record of a successful check, every value as the service sent it.
struct AccountRecord {
    QString purl;
    QString pinfo;
    QString uid;
    QString uname;
    QString userlogin;
    QString lastdate;
    QString userpoint;
    QString usermoney;
    QString usermail;
    QString qq;
    QString sex;
    QString question;
    // The service's upload limit in bytes, when it names one; 0 when it does not.
    qint64 uploadLimit = 0;
};

// A message box as the windows show them.
struct MessageBox {
    QString text;
    QString title;
    int style = 0;
};

// What a window does with an account reply.
struct AccountReaction {
    enum class Next {
        Nothing,       // only the restored controls
        OpenUserPanel, // login dialog: the panel on "用户信息"; the dialog closes
        OpenLogin,     // registration dialog: the login dialog; the dialog closes
        ClosePanel,    // user panel: closes (after logging out)
        ClosePanelAndOpenLogin,
        FillRecord,    // user panel: the record goes into its pages
        RefreshRecord, // user panel: back to "用户信息", with a fresh check
    };
    std::optional<MessageBox> box;
    Next next = Next::Nothing;
};

namespace AccountReply {

// The service's answer to loginout, after which the login dialog does not open.
QString loggedOutText();

// nullopt when the reply is not a 200, not a document, or has no logininfo in its first
// userbase: such replies are dropped without a message. A text without "|" is all code.
std::optional<LoginInfo> readLoginInfo(const ServiceReply& reply);
// The record of the first userbase; an element the reply lacks gives an empty value.
AccountRecord readRecord(const ServiceReply& reply);

AccountReaction forLoginDialog(const LoginInfo& info);
AccountReaction forRegistrationDialog(const LoginInfo& info);
// Replies to check, loginout and edit. Code "3" is a profile change refused for what was
// typed: the reason is shown and the panel stays (the user is still logged in).
AccountReaction forUserPanel(const LoginInfo& info);

} // namespace AccountReply
