#pragma once

#include <QTreeView>

class DownloadPaneModel;

// ListView4, the download pane: one row per queued download with its caption, a progress
// bar carrying the percentage, and the state. The newest row is scrolled into view.
class DownloadPane : public QTreeView {
    Q_OBJECT
public:
    explicit DownloadPane(DownloadPaneModel& model, QWidget* parent = nullptr);
};
