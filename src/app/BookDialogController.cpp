#include "app/BookDialogController.h"

#include "app/BookFileName.h"
#include "app/LibraryDatabase.h"
#include "app/ReaderNavigator.h"
#include "platform/Dialogs.h"

#include <algorithm>

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kModeSeparator = QStringLiteral(">||<");
constexpr int kDefaultCategory = 9; // item 10, "其他分类"
constexpr int kShelfPage = 1;
constexpr int kReadingPage = 2;
} // namespace

BookDialogController::BookDialogController(LibraryDatabase& library, Dialogs& dialogs, ReaderNavigator& navigator)
    : m_library(library), m_dialogs(dialogs), m_navigator(navigator)
{
}

QStringList BookDialogController::categoryNames()
{
    return {QStringLiteral("武侠仙侠"), QStringLiteral("玄幻修真"), QStringLiteral("都市言情"),
            QStringLiteral("游戏动漫"), QStringLiteral("历史军事"), QStringLiteral("推理灵异"),
            QStringLiteral("纪实文学"), QStringLiteral("学习资料"), QStringLiteral("管理哲学"),
            QStringLiteral("其他分类")};
}

QString BookDialogController::getTxtName(const QString& path)
{
    const int cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    QString name = path.mid(cut + 1).toLower();
    name.remove(QStringLiteral(".txt"));
    return name;
}

bool BookDialogController::load(const QString& mode, const QString& bookPath)
{
    const QStringList parts = mode.split(kModeSeparator);
    const QString word = parts.value(0);
    m_bookId = parts.value(1);
    m_title = designedTitle();
    m_initial = Fields();
    m_initialCategory = -1;

    if (word == QLatin1String("addnew")) {
        m_mode = Mode::AddNew;
        m_title = QStringLiteral("添加电子书");
        m_initialCategory = kDefaultCategory;
    } else if (word == QLatin1String("opennew")) {
        m_mode = Mode::OpenNew;
        m_openPath = bookPath;
        // A name that carries its title and author ("《书名》作者.txt") offers both.
        const BookFileName named = BookFileName::parse(bookPath);
        m_initial.name = named.author.isEmpty() ? getTxtName(bookPath) : named.title;
        m_initial.author = named.author.isEmpty() ? defaultAuthor() : named.author;
        m_initial.path = bookPath;
        m_initialCategory = kDefaultCategory;
    } else if (word == QLatin1String("edit")) {
        m_mode = Mode::Edit;
        bool numeric = false;
        const qint64 id = m_bookId.toLongLong(&numeric);
        const auto book = numeric ? m_library.bookById(id) : std::nullopt;
        if (!book) {
            m_dialogs.message(QStringLiteral("书架上找不到这本电子书，它可能已被删除。"), QStringLiteral("修改失败"),
                              Dialogs::Stop);
            return false;
        }
        m_title = QStringLiteral("修改电子书-《%1》").arg(book->name);
        m_initial.name = book->name;
        m_initial.author = book->author;
        m_initial.path = book->path;
        // A category typed in earlier is none of the ten names; the picker still reads it,
        // so saving without touching it keeps it.
        m_initial.category = book->type;
        m_initialCategory = categoryNames().indexOf(book->type);
    } else {
        m_mode = Mode::Other;
    }
    if (m_initialCategory >= 0)
        m_initial.category = categoryNames().at(m_initialCategory);
    return true;
}

QString BookDialogController::failTitle() const
{
    return m_mode == Mode::Edit ? QStringLiteral("修改失败") : QStringLiteral("添加失败");
}

void BookDialogController::refuse(const QString& text)
{
    m_dialogs.message(text, failTitle(), Dialogs::Stop);
}

BookDialogController::SaveResult BookDialogController::save(Fields& fields)
{
    // The refusal texts begin with "添加失败：" in every mode; only the title tells an edit.
    if (fields.name.trimmed().isEmpty()) {
        refuse(QStringLiteral("添加失败：书名不能为空！"));
        return SaveResult::Refused;
    }
    if (fields.category.trimmed().isEmpty()) {
        refuse(QStringLiteral("添加失败：电子类别不能为空！"));
        return SaveResult::Refused;
    }
    if (fields.author.trimmed().isEmpty())
        fields.author = defaultAuthor();
    if (fields.path.trimmed().isEmpty()) {
        refuse(QStringLiteral("添加失败：电子书路径不能为空！"));
        return SaveResult::Refused;
    }

    const QString type = fields.category.trimmed();
    const QString name = fields.name.trimmed();
    const QString author = fields.author.trimmed();
    const QString path = fields.path.trimmed();

    if (m_mode == Mode::Edit) {
        const qint64 id = m_bookId.toLongLong();
        if (!m_library.bookById(id)) {
            refuse(QStringLiteral("修改失败：书架上已没有这本电子书，它可能已被删除。"));
            return SaveResult::Failed;
        }
        if (const auto other = m_library.otherBookWithPath(path, id)) {
            refuse(QStringLiteral("修改失败：") + kCrLf + kCrLf + QStringLiteral("文件：") + path + kCrLf + kCrLf +
                   QStringLiteral("已经存在！-《%1》").arg(other->name));
            return SaveResult::Refused;
        }
        if (!m_library.updateBook(id, type, name, author, path)) {
            refuse(QStringLiteral("修改失败：电子书信息未能写入书库数据库，书架上的记录保持不变。") + kCrLf + kCrLf +
                   m_library.lastError());
            return SaveResult::Failed;
        }
        m_dialogs.message(QStringLiteral("恭喜你：电子书信息修改成功！"), QStringLiteral("修改成功"),
                          Dialogs::Information);
        m_navigator.readList();
        return SaveResult::Saved;
    }

    if (const auto existing = m_library.bookByPath(path)) {
        refuse(QStringLiteral("添加失败：") + kCrLf + kCrLf + QStringLiteral("文件：") + path + kCrLf + kCrLf +
               QStringLiteral("已经存在！-《%1》").arg(existing->name));
        return SaveResult::Refused;
    }
    if (!m_library.insertBook(type, name, author, path)) {
        refuse(QStringLiteral("添加失败：电子书未能写入书库数据库，没有添加到书架。") + kCrLf + kCrLf +
               m_library.lastError());
        return SaveResult::Failed;
    }
    m_dialogs.message(QStringLiteral("恭喜你：电子书添加成功！"), QStringLiteral("添加成功"), Dialogs::Information);
    m_navigator.readList();
    if (m_mode == Mode::AddNew) {
        m_navigator.selectToolBar(kShelfPage);
    } else if (m_mode == Mode::OpenNew) {
        m_navigator.selectToolBar(kReadingPage);
        m_navigator.getChapter(m_openPath, QString());
    }
    return SaveResult::Saved;
}

void BookDialogController::cancel()
{
    if (m_mode != Mode::OpenNew)
        return;
    m_navigator.selectToolBar(kReadingPage);
    m_navigator.getChapter(m_openPath, QString());
}
