#pragma once

#include "platform/Pickers.h"

#include <QList>

// Answers pickers from prepared values and records what was asked.
class FakePickers : public Pickers {
public:
    struct Request {
        QString kind; // "file", "save", "folder" or "color"
        QString title;
        QString filter;
    };

    QString openFile(QWidget*, const QString& title, const QString& filter) override
    {
        m_requests.append({QStringLiteral("file"), title, filter});
        return m_files.isEmpty() ? QString() : m_files.takeFirst();
    }
    QString saveFile(QWidget*, const QString& title, const QString& filter, const QString&) override
    {
        m_requests.append({QStringLiteral("save"), title, filter});
        return m_saves.isEmpty() ? QString() : m_saves.takeFirst();
    }
    QString folder(QWidget*, const QString& title) override
    {
        m_requests.append({QStringLiteral("folder"), title, QString()});
        return m_folders.isEmpty() ? QString() : m_folders.takeFirst();
    }
    std::optional<QColor> color(QWidget*, const QColor&) override
    {
        m_requests.append({QStringLiteral("color"), QString(), QString()});
        return m_colors.isEmpty() ? std::nullopt : m_colors.takeFirst();
    }

    // An empty text or std::nullopt scripts a cancelled picker.
    void nextFile(const QString& path) { m_files.append(path); }
    void nextSave(const QString& path) { m_saves.append(path); }
    void nextFolder(const QString& path) { m_folders.append(path); }
    void nextColor(std::optional<QColor> color) { m_colors.append(color); }
    const QList<Request>& requests() const { return m_requests; }

private:
    QList<QString> m_files;
    QList<QString> m_saves;
    QList<QString> m_folders;
    QList<std::optional<QColor>> m_colors;
    QList<Request> m_requests;
};
