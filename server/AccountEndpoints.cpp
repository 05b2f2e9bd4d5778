// Accounts: check, login, registration, profile changes, logout and promotion visits.
#include "Service.h"

#include "AccountRules.h"
#include "XmlReply.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentRun>
#include <QtConcurrent/qtconcurrenttask.h>

namespace {

constexpr qint64 kPersistentSeconds = 30LL * 24 * 3600;
// A browser-session cookie ends with the reader; the service forgets it after a week.
constexpr qint64 kSessionSeconds = 7LL * 24 * 3600;

const QString kLoggedOut = QStringLiteral("已安全退出，欢迎下次光临！");
const QString kNotLoggedIn = QStringLiteral("你还没有登录或登录已过期，请先登录！");
const QString kBusy = QStringLiteral("服务器繁忙，请稍后再试！");
// A profile change refused for what was typed. Not "0": a client takes "0" as "not logged
// in" and would close the panel of a user who is still logged in.
const QString kEditRefused = QStringLiteral("3");

QString field(const TextCodec::Fields& fields, const char* key)
{
    return fields.value(QLatin1String(key)).trimmed();
}

} // namespace

HttpReply Service::accountReply(const QString& code, const QString& message)
{
    XmlReply x(QStringLiteral("userbase"));
    x.field(QStringLiteral("logininfo"), code + QLatin1Char('|') + message);
    return HttpReply::xml(x.finish());
}

QString Service::origin(const HttpRequest& request) const
{
    static const QRegularExpression hostPattern(
        QStringLiteral("^[A-Za-z0-9.\\-]+(:[0-9]{1,5})?$|^\\[[0-9A-Fa-f:.]+\\](:[0-9]{1,5})?$"));
    const QString host = QString::fromLatin1(request.header("host"));
    if (hostPattern.match(host).hasMatch())
        return QStringLiteral("http://") + host;
    return m_config.publicOrigin();
}

std::optional<UserRecord> Service::sessionUser(const HttpRequest& request)
{
    const QByteArray token = request.cookie(kSessionCookie);
    if (token.size() != 32)
        return std::nullopt;
    const auto userId = m_db.sessionUser(token, QDateTime::currentSecsSinceEpoch());
    if (!userId)
        return std::nullopt;
    return m_db.userById(*userId);
}

void Service::account(const HttpRequest& request, const Done& done)
{
    TextCodec::Fields fields;
    if (request.method == "POST") {
        // Form bodies come in the code page as the reader's form encoder writes them; a
        // client that says it sends UTF-8 is taken at its word.
        const bool utf8 = request.header("content-type").toLower().contains("charset=utf-8");
        const auto form = TextCodec::parseForm(request.body, utf8 ? TextCodec::Charset::Utf8 : TextCodec::Charset::Gbk);
        if (!form) {
            done(accountReply(QStringLiteral("0"), QStringLiteral("提交的数据编码有误，请重新提交！")));
            return;
        }
        fields = *form;
    }
    const auto query = TextCodec::parseQuery(request.query);
    if (!query) {
        done(accountReply(QStringLiteral("0"), QStringLiteral("请求参数的编码有误！")));
        return;
    }
    for (auto it = query->cbegin(); it != query->cend(); ++it) {
        if (!fields.contains(it.key()))
            fields.insert(it.key(), it.value());
    }

    const QString action = field(fields, "action");
    if (action == QLatin1String("check"))
        done(check(request));
    else if (action == QLatin1String("login"))
        login(request, fields, done);
    else if (action == QLatin1String("reg"))
        registerUser(fields, done);
    else if (action == QLatin1String("edit"))
        edit(request, fields, done);
    else if (action == QLatin1String("loginout"))
        done(logout(request));
    else
        done(accountReply(QStringLiteral("0"), QStringLiteral("未知的操作！")));
}

void Service::login(const HttpRequest& request, const TextCodec::Fields& fields, const Done& done)
{
    const QString name = field(fields, "username");
    const QString password = field(fields, "password");
    if (name.isEmpty() || password.isEmpty()) {
        done(accountReply(QStringLiteral("0"), QStringLiteral("用户名或密码不能为空！")));
        return;
    }
    // Refused before the user is looked up, so that the answer tells nothing about the name.
    const QString peer = request.peer;
    const LoginThrottle::Ticket ticket = m_logins.begin(name, peer, throttleClock());
    if (ticket.waitMs > 0) {
        done(accountReply(QStringLiteral("0"),
                          QStringLiteral("登录失败次数太多，请%1秒后再试！").arg((ticket.waitMs + 999) / 1000)));
        return;
    }
    const auto user = m_db.userByName(name);
    if (!user) {
        m_logins.finish(name, peer, ticket, LoginThrottle::Outcome::NoSuchAccount, throttleClock());
        done(accountReply(QStringLiteral("0"), QStringLiteral("用户名或密码错误，请重新输入！")));
        return;
    }
    const bool persistent = field(fields, "cookies") == QLatin1String("1");
    const PasswordHasher hasher = m_hasher;
    const QString stored = user->pwhash;
    const qint64 userId = user->id;
    const QString userName = user->name;
    // A user at an address they have logged in from before goes ahead of other hashing work,
    // so a flood of guesses from elsewhere does not hold their login up.
    QFuture<bool> verified = QtConcurrent::task([hasher, stored, password] { return hasher.verify(stored, password); })
                                 .onThreadPool(m_pool)
                                 .withPriority(ticket.knownAddress ? 1 : 0)
                                 .spawn();
    verified.then(this, [this, done, persistent, userId, userName, name, peer, ticket](bool ok) {
        m_logins.finish(name, peer, ticket, ok ? LoginThrottle::Outcome::Succeeded : LoginThrottle::Outcome::Failed,
                        throttleClock());
        if (!ok) {
            done(accountReply(QStringLiteral("0"), QStringLiteral("用户名或密码错误，请重新输入！")));
            return;
        }
        const QDateTime current = QDateTime::currentDateTime();
        const QByteArray token = PasswordHasher::randomToken();
        const qint64 lifetime = persistent ? kPersistentSeconds : kSessionSeconds;
        if (!m_db.begin()) {
            done(accountReply(QStringLiteral("0"), kBusy));
            return;
        }
        const bool written =
            m_db.recordLogin(userId, now(), current.toString(QStringLiteral("yyyy-MM-dd")), kDailyLoginPoints) &&
            m_db.insertSession(token, userId, current.toSecsSinceEpoch() + lifetime, persistent);
        if (!written || !m_db.commit()) {
            m_db.rollback();
            done(accountReply(QStringLiteral("0"), kBusy));
            return;
        }
        HttpReply reply = accountReply(QStringLiteral("1"), QStringLiteral("欢迎回来，%1！").arg(userName));
        QByteArray cookie = kSessionCookie + '=' + token + "; Path=/; HttpOnly";
        if (persistent) {
            cookie += "; Max-Age=" + QByteArray::number(kPersistentSeconds) + "; Expires=" +
                      QLocale::c()
                          .toString(current.toUTC().addSecs(kPersistentSeconds),
                                    QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
                          .toLatin1();
        }
        reply.headers.append({"Set-Cookie", cookie});
        done(reply);
    });
}

void Service::registerUser(const TextCodec::Fields& fields, const Done& done)
{
    UserRecord user;
    user.name = field(fields, "username");
    const QString password = field(fields, "userpass");
    const QString answer = field(fields, "anwser");
    user.email = field(fields, "email");
    user.sex = AccountRules::normalizedSex(field(fields, "sex"));
    user.qq = field(fields, "qq");
    user.question = field(fields, "question");

    QString refusal;
    if (!AccountRules::validUserName(user.name))
        refusal = QStringLiteral("用户名不能带有特殊符号！可由汉字、字母、数字和下划线任意3至14位组合！");
    else if (password.size() < AccountRules::kMinPassword)
        refusal = QStringLiteral("你输入的密码长度太短（至少3位），请重新输入！");
    else if (password.size() > AccountRules::kMaxPassword)
        refusal = QStringLiteral("你输入的密码太长，请重新输入！");
    else if (!AccountRules::validEmail(user.email) || user.email.size() > 50)
        refusal = QStringLiteral("你输入的Email地址不合法，请重新输入！");
    else if (user.qq.size() > 20 || user.question.size() > 100 || answer.size() > 50)
        refusal = QStringLiteral("填写的资料太长，请重新输入！");
    else if (m_db.userByName(user.name))
        refusal = QStringLiteral("用户名“%1”已被注册，请换一个！").arg(user.name);
    if (!refusal.isEmpty()) {
        done(accountReply(QStringLiteral("0"), refusal));
        return;
    }

    const PasswordHasher hasher = m_hasher;
    QtConcurrent::run(&m_pool, [hasher, password, answer] {
        return qMakePair(hasher.hash(password), answer.isEmpty() ? QString() : hasher.hash(answer));
    }).then(this, [this, done, user, answer](const QPair<QString, QString>& hashes) mutable {
        if (hashes.first.isEmpty() || (!answer.isEmpty() && hashes.second.isEmpty())) {
            done(accountReply(QStringLiteral("0"), kBusy));
            return;
        }
        user.pwhash = hashes.first;
        user.answerHash = hashes.second;
        // The unique name column settles two registrations of one name that raced past
        // the check above.
        const qint64 id = m_db.insertUser(user, now());
        if (id == 0)
            done(accountReply(QStringLiteral("0"), QStringLiteral("用户名“%1”已被注册，请换一个！").arg(user.name)));
        else if (id < 0)
            done(accountReply(QStringLiteral("0"), kBusy));
        else
            done(accountReply(QStringLiteral("1"), QStringLiteral("注册成功，欢迎你加入！请使用新账号登录。")));
    });
}

HttpReply Service::check(const HttpRequest& request)
{
    const auto user = sessionUser(request);
    if (!user)
        return accountReply(QStringLiteral("0"), kNotLoggedIn);
    XmlReply x(QStringLiteral("userbase"));
    x.field(QStringLiteral("logininfo"), QStringLiteral("1|") + user->name);
    x.field(QStringLiteral("purl"),
            origin(request) + QStringLiteral("/readerserver/promote.asp?uid=") + QString::number(user->id));
    x.field(QStringLiteral("pinfo"), QStringLiteral("Quillmere 中文小说阅读器：海量小说在线下载，章节自动识别，"
                                                    "还能语音朗读。快来和我一起看书吧！"));
    x.field(QStringLiteral("uid"), user->id);
    x.field(QStringLiteral("uname"), user->name);
    x.field(QStringLiteral("userlogin"), user->logins);
    x.field(QStringLiteral("lastdate"), user->lastdate);
    x.field(QStringLiteral("userpoint"), user->points);
    x.field(QStringLiteral("usermoney"), user->money);
    x.field(QStringLiteral("usermail"), user->email);
    x.field(QStringLiteral("qq"), user->qq);
    x.field(QStringLiteral("sex"), user->sex);
    x.field(QStringLiteral("question"), user->question);
    // Not read by every client: lets the upload page refuse a file the service would refuse.
    x.field(QStringLiteral("uploadlimit"), m_config.maxUploadBytes);
    return HttpReply::xml(x.finish());
}

HttpReply Service::logout(const HttpRequest& request)
{
    const QByteArray token = request.cookie(kSessionCookie);
    if (!token.isEmpty())
        m_db.deleteSession(token);
    HttpReply reply = accountReply(QStringLiteral("0"), kLoggedOut);
    reply.headers.append({"Set-Cookie", kSessionCookie + "=; Path=/; HttpOnly; Max-Age=0"});
    return reply;
}

void Service::edit(const HttpRequest& request, const TextCodec::Fields& fields, const Done& done)
{
    const auto user = sessionUser(request);
    if (!user) {
        done(accountReply(QStringLiteral("0"), kNotLoggedIn));
        return;
    }
    // The id in the form must be the logged-in user's own: nobody edits another account.
    if (field(fields, "userid") != QString::number(user->id)) {
        done(accountReply(QStringLiteral("0"), QStringLiteral("只能修改自己的资料，请重新登录！")));
        return;
    }
    const QString password = field(fields, "userpass");
    const QString answer = field(fields, "anwser");
    const QString email = field(fields, "email");
    const QString sex = AccountRules::normalizedSex(field(fields, "sex"));
    const QString qq = field(fields, "qq");
    QString refusal;
    if (!AccountRules::validEmail(email) || email.size() > 50)
        refusal = QStringLiteral("你输入的Email地址不合法，请重新输入！");
    else if (!password.isEmpty() &&
             (password.size() < AccountRules::kMinPassword || password.size() > AccountRules::kMaxPassword))
        refusal = QStringLiteral("新密码的长度应为3至64位，请重新输入！");
    else if (qq.size() > 20 || answer.size() > 50)
        refusal = QStringLiteral("填写的资料太长，请重新输入！");
    if (!refusal.isEmpty()) {
        done(accountReply(kEditRefused, refusal));
        return;
    }
    const PasswordHasher hasher = m_hasher;
    const qint64 userId = user->id;
    const QByteArray session = request.cookie(kSessionCookie);
    QtConcurrent::run(&m_pool,
                      [hasher, password, answer] {
                          return qMakePair(password.isEmpty() ? QString() : hasher.hash(password),
                                           answer.isEmpty() ? QString() : hasher.hash(answer));
                      })
        .then(this,
              [this, done, userId, email, sex, qq, password, answer, session](const QPair<QString, QString>& hashes) {
                  // A hash that could not be made must not pass for "keep the old one".
                  const bool hashed =
                      (password.isEmpty() || !hashes.first.isEmpty()) && (answer.isEmpty() || !hashes.second.isEmpty());
                  if (!hashed || !m_db.begin()) {
                      done(accountReply(kEditRefused, kBusy));
                      return;
                  }
                  // A new password ends every other session of the user (another machine, or whoever
                  // learnt the old password), in the same transaction as the change.
                  const bool newPassword = !hashes.first.isEmpty();
                  const bool written = m_db.updateProfile(userId, hashes.first, email, sex, qq, hashes.second) &&
                                       (!newPassword || m_db.deleteOtherSessions(userId, session));
                  if (!written || !m_db.commit()) {
                      m_db.rollback();
                      done(accountReply(kEditRefused, kBusy));
                      return;
                  }
                  done(accountReply(QStringLiteral("2"), QStringLiteral("资料修改成功！")));
              });
}

HttpReply Service::promote(const HttpRequest& request)
{
    const auto fields = TextCodec::parseQuery(request.query);
    bool ok = false;
    const qint64 uid = fields ? fields->value(QStringLiteral("uid")).trimmed().toLongLong(&ok) : 0;
    const auto owner = ok ? m_db.userById(uid) : std::nullopt;
    if (!owner)
        return HttpReply::notFound();
    // One coin per visiting address and day; the credit and the coin are one transaction.
    if (m_db.begin()) {
        const bool credited = m_db.creditVisit(owner->id, request.peer, QDateTime::currentSecsSinceEpoch());
        if (!credited || !m_db.addMoney(owner->id, 1) || !m_db.commit())
            m_db.rollback();
    }
    return HttpReply::html(
        QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Quillmere 书友社区</title></head>"
                       "<body><h3>欢迎来到 Quillmere 书友社区</h3><p>书友 %1 邀请你一起看书。</p>"
                       "<p><a href=\"/readerserver/NewsInfo.asp\">看看最新上架的电子书</a></p></body></html>\n")
            .arg(owner->name.toHtmlEscaped()));
}
