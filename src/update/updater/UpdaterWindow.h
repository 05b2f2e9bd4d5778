#pragma once

#include "update/updater/UpdaterController.h"

#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// Form1 of the updater, "Quillmere - 在线升级系统": the log List1 above, the download list
// ListView1 below, Command1 to cancel or start again, and Label1 "下载详情" which shows or
// hides the lower part by changing the window's height. The window stays centred on the screen.
class UpdaterWindow : public QWidget {
    Q_OBJECT
public:
    // Heights of the window with and without the download list (4900 and 3050 twips).
    static constexpr int kTallHeight = 327;
    static constexpr int kShortHeight = 203;
    static constexpr int kWidth = 420;

    explicit UpdaterWindow(UpdaterController& controller, QWidget* parent = nullptr);

    // Label1_Click.
    void toggleDetails();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void centre();
    void addRows(int first, int count);
    void showRow(int index);
    void paintRow(QTreeWidgetItem* item, const UpdaterController::Row& row);
    void showCommand();

    UpdaterController& m_controller;
    QListWidget* m_log = nullptr;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_command = nullptr;
    QLabel* m_details = nullptr;
};
