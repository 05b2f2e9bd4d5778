#include "online/opds/OnlineLibraryPage.h"

#include "app/AppServices.h"
#include "app/AppState.h"
#include "online/CataloguePage.h"
#include "online/DownloadQueue.h"
#include "online/opds/OpdsCatalogues.h"
#include "online/opds/OpdsDialogs.h"
#include "online/opds/OpdsPage.h"
#include "platform/Dialogs.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

OnlineLibraryPage::OnlineLibraryPage(AppServices& services, CataloguePage* builtIn, QWidget* parent)
    : QWidget(parent), m_services(services), m_builtIn(builtIn)
{
    setObjectName(QStringLiteral("OnlineLibraryPage"));
    m_catalogues = new OpdsCatalogues(services.state.library, services.passwords, this);
    m_opds = new OpdsPage(services.network, *m_catalogues, this);
    m_opds->setDownloadHandler([this](const OpdsDownload& d) { queueDownload(d); });

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(4, 2, 4, 2);
    m_chooser = new QComboBox(this);
    m_chooser->setObjectName(QStringLiteral("CatalogueChooser"));
    m_chooser->setMinimumWidth(200);
    m_add = new QPushButton(QStringLiteral("添加书库…"), this);
    m_add->setObjectName(QStringLiteral("AddCatalogue"));
    m_edit = new QPushButton(QStringLiteral("编辑"), this);
    m_edit->setObjectName(QStringLiteral("EditCatalogue"));
    m_remove = new QPushButton(QStringLiteral("删除"), this);
    m_remove->setObjectName(QStringLiteral("RemoveCatalogue"));
    bar->addWidget(m_chooser);
    bar->addWidget(m_add);
    bar->addWidget(m_edit);
    bar->addWidget(m_remove);
    bar->addStretch(1);

    m_stack = new QStackedWidget(this);
    m_stack->addWidget(builtIn);
    m_stack->addWidget(m_opds);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(bar);
    layout->addWidget(m_stack, 1);

    connect(m_chooser, &QComboBox::activated, this, &OnlineLibraryPage::choose);
    connect(m_add, &QPushButton::clicked, this, &OnlineLibraryPage::addCatalogue);
    connect(m_edit, &QPushButton::clicked, this, &OnlineLibraryPage::editCatalogue);
    connect(m_remove, &QPushButton::clicked, this, &OnlineLibraryPage::removeCatalogue);
    // A catalogue added or changed elsewhere (or a password the keyring refused) shows at once.
    connect(m_catalogues, &OpdsCatalogues::changed, this, [this] { fillChooser(chosenId()); });
    fillChooser(0);
}

OnlineLibraryPage::~OnlineLibraryPage() = default;

void OnlineLibraryPage::setDownloads(DownloadQueue& queue, QWidget* pane)
{
    m_queue = &queue;
    m_pane = pane;
}

void OnlineLibraryPage::fillChooser(qint64 selectId)
{
    m_chooser->clear();
    m_chooser->addItem(QStringLiteral("内置书库"), qint64(0));
    int select = 0;
    for (const OpdsCatalogueRow& row : m_catalogues->list()) {
        m_chooser->addItem(row.name, row.id);
        if (row.id == selectId)
            select = m_chooser->count() - 1;
    }
    m_chooser->setCurrentIndex(select);
    const bool added = select > 0;
    m_edit->setEnabled(added);
    m_remove->setEnabled(added);
}

qint64 OnlineLibraryPage::chosenId() const
{
    return m_chooser->currentData().toLongLong();
}

void OnlineLibraryPage::choose(int index)
{
    m_chooser->setCurrentIndex(index);
    const qint64 id = chosenId();
    m_edit->setEnabled(id != 0);
    m_remove->setEnabled(id != 0);
    if (id == 0) {
        m_stack->setCurrentWidget(m_builtIn);
        if (m_pane)
            m_builtIn->setDownloadPane(m_pane);
        return;
    }
    const std::optional<OpdsCatalogueRow> row = m_catalogues->byId(id);
    if (!row)
        return;
    m_stack->setCurrentWidget(m_opds);
    // The one download pane follows the page on show.
    if (m_pane) {
        m_opds->paneArea()->addWidget(m_pane);
        m_pane->show();
    }
    m_opds->open(*row);
}

void OnlineLibraryPage::addCatalogue()
{
    OpdsCatalogueDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QString error;
    const std::optional<qint64> id = m_catalogues->save(dialog.row(), dialog.password(), dialog.savePassword(), &error);
    if (!id) {
        m_services.dialogs.message(error, QStringLiteral("添加书库"), Dialogs::Exclamation);
        return;
    }
    fillChooser(*id);
    choose(m_chooser->currentIndex());
}

void OnlineLibraryPage::editCatalogue()
{
    const std::optional<OpdsCatalogueRow> row = m_catalogues->byId(chosenId());
    if (!row)
        return;
    OpdsCatalogueDialog dialog(this);
    dialog.setRow(*row);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QString error;
    if (!m_catalogues->save(dialog.row(), dialog.password(), dialog.savePassword(), &error)) {
        m_services.dialogs.message(error, QStringLiteral("编辑书库"), Dialogs::Exclamation);
        return;
    }
    fillChooser(row->id);
    choose(m_chooser->currentIndex());
}

void OnlineLibraryPage::removeCatalogue()
{
    const std::optional<OpdsCatalogueRow> row = m_catalogues->byId(chosenId());
    if (!row)
        return;
    if (m_services.dialogs.message(QStringLiteral("是否真要删除书库“%1”？").arg(row->name), QStringLiteral("删除书库"),
                                   Dialogs::YesNo) != Answer::Yes)
        return;
    m_catalogues->remove(row->id);
    fillChooser(0);
    choose(0);
}

void OnlineLibraryPage::queueDownload(const OpdsDownload& d)
{
    if (!m_queue)
        return;
    CatalogueRow row;
    row.category = d.category;
    row.name = d.name;
    row.author = d.author;
    m_queue->queueCatalogueBook(d.caption, d.url.toString(QUrl::FullyEncoded), d.fileName, row, d.authorization,
                                d.encoding);
}
