#include "update/updater/UpdaterWindow.h"

#include "update/updater/UpdaterController.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>

UpdaterWindow::UpdaterWindow(UpdaterController& controller, QWidget* parent) : QWidget(parent), m_controller(controller)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quillmere - 在线升级系统"));

    m_log = new QListWidget(this);
    m_log->setObjectName(QStringLiteral("List1"));
    m_log->setGeometry(10, 10, kWidth - 20, 144);
    m_log->setUniformItemSizes(true);

    m_details = new QLabel(QStringLiteral("下载详情"), this);
    m_details->setObjectName(QStringLiteral("Label1"));
    m_details->setCursor(Qt::PointingHandCursor);
    m_details->setStyleSheet(QStringLiteral("color: #1F5FA8; text-decoration: underline;"));
    m_details->setGeometry(12, 166, 120, 24);
    m_details->installEventFilter(this);

    m_command = new QPushButton(UpdaterController::cancelCaption(), this);
    m_command->setObjectName(QStringLiteral("Command1"));
    m_command->setGeometry(kWidth - 110, 164, 100, 28);
    connect(m_command, &QPushButton::clicked, &m_controller, &UpdaterController::command1Click);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHeaderLabels({QStringLiteral("序号"), QStringLiteral("更新文件"), QStringLiteral("下载进度")});
    m_list->setGeometry(10, kShortHeight, kWidth - 20, kTallHeight - kShortHeight - 10);
    m_list->header()->resizeSection(0, 48);
    m_list->header()->resizeSection(1, 200);

    // Rows and lines arrive in batches and go in with one layout of the list each, which
    // keeps a list of thousands of files from costing a layout per row.
    connect(&m_controller, &UpdaterController::logAppended, this, [this](const QStringList& lines) {
        m_log->addItems(lines);
        m_log->scrollToBottom();
    });
    connect(&m_controller, &UpdaterController::rowsCleared, m_list, &QTreeWidget::clear);
    connect(&m_controller, &UpdaterController::rowsAdded, this, &UpdaterWindow::addRows);
    connect(&m_controller, &UpdaterController::rowChanged, this, &UpdaterWindow::showRow);
    connect(&m_controller, &UpdaterController::commandChanged, this, &UpdaterWindow::showCommand);
    for (const QString& line : m_controller.log())
        m_log->addItem(line);
    showCommand();

    setFixedSize(kWidth, kTallHeight);
}

void UpdaterWindow::addRows(int first, int count)
{
    QList<QTreeWidgetItem*> items;
    items.reserve(count);
    for (int i = first; i < first + count; ++i) {
        items.append(new QTreeWidgetItem);
        paintRow(items.last(), m_controller.rows().at(i));
    }
    m_list->insertTopLevelItems(first, items);
    if (!items.isEmpty())
        m_list->scrollToItem(items.last());
}

void UpdaterWindow::showRow(int index)
{
    QTreeWidgetItem* item = m_list->topLevelItem(index);
    if (!item || index >= m_controller.rows().size())
        return;
    paintRow(item, m_controller.rows().at(index));
}

void UpdaterWindow::paintRow(QTreeWidgetItem* item, const UpdaterController::Row& row)
{
    item->setText(0, row.number);
    item->setText(1, row.fileName);
    item->setText(2, row.state);
    switch (row.look) {
    case UpdaterController::Row::Look::Done:
        item->setForeground(2, QColor(0, 0, 255));
        break;
    case UpdaterController::Row::Look::Failed:
        item->setForeground(2, QColor(200, 0, 0));
        break;
    case UpdaterController::Row::Look::Normal:
        item->setForeground(2, palette().color(QPalette::Text));
        break;
    }
}

void UpdaterWindow::showCommand()
{
    m_command->setText(m_controller.commandCaption());
    m_command->setEnabled(m_controller.commandEnabled());
}

void UpdaterWindow::toggleDetails()
{
    setFixedSize(kWidth, height() >= kTallHeight ? kShortHeight : kTallHeight);
}

bool UpdaterWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_details && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        toggleDetails();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void UpdaterWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    centre();
}

void UpdaterWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    centre();
}

void UpdaterWindow::centre()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.left() + (area.width() - frameGeometry().width()) / 2,
         area.top() + (area.height() - frameGeometry().height()) / 2);
}
