#include "reader/HelpWindow.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("使用帮助"));
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenLinks(false);
    m_browser->setOpenExternalLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(720, 600);
}

void HelpWindow::showPage(const QString& file)
{
    m_browser->setSource(QUrl::fromLocalFile(file));
    if (!m_browser->documentTitle().isEmpty())
        setWindowTitle(m_browser->documentTitle());
    show();
    raise();
    activateWindow();
}
