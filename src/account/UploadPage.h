#pragma once

#include "account/UploadForm.h"
#include "online/RequestSlot.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
struct AccountSession;
struct AppServices;

// The user panel's page for node 7, "开始上传电子书": a book file with its category, name,
// author, state, newest chapter, synopsis and an optional cover, checked and posted to the
// service as one multipart body; the service's answer is shown, and a success closes the
// panel (uploaded()).
class UploadPage : public QWidget {
    Q_OBJECT
public:
    // `accountName` gives the account name the panel shows at the moment of sending.
    UploadPage(AppServices& services, AccountSession& session, std::function<QString()> accountName,
               QWidget* parent = nullptr);
    ~UploadPage() override;

    // Load steps: the ten categories and the two states, and the address uploads go to.
    void fillBoxes();
    void setUploadUrl(const QString& url) { m_uploadUrl = url; }

    // A shelf book offered for upload: the category (when it is one of the ten), name,
    // author and path; the rest of the page is left as it is.
    void fillFromBook(const QString& type, const QString& name, const QString& author, const QString& path);

    // "..." (Command6): picks the book file.
    void Command6_Click();
    // "添加封面" (Command4): picks the cover picture.
    void Command4_Click();
    // The remove icon (Image2) over the cover preview.
    void Image2_Click();
    // The state box (Combo1): "连载" shows the newest-chapter row, "全集" hides and empties it.
    void Combo1_Click();
    // "确认上传" (Command5).
    void Command5_Click();
    // Builds the body of the field string and posts it; the answer comes to Timer1.
    void UploadBook(const QString& fieldString);

    UploadFields fields() const;
    bool isPending() const { return m_pending; }
    // A cover picture the preview could show.
    bool hasCover() const;

signals:
    // The service took the book: the panel closes.
    void uploaded();

private:
    void buildForm();
    void setCover(const QString& path);
    void setPending(bool pending);
    void focusField(UploadFocus focus);
    void Timer1(const ServiceReply& reply);
    void showBox(const QString& text, const QString& title, int style);

    AppServices& m_services;
    AccountSession& m_session;
    std::function<QString()> m_accountName;
    RequestSlot m_request;
    QString m_uploadUrl;
    bool m_pending = false;

    QComboBox* m_imageCombo1 = nullptr; // category
    QLineEdit* m_text12 = nullptr;      // name
    QLineEdit* m_text11 = nullptr;      // author
    QLineEdit* m_text10 = nullptr;      // book path, read-only
    QPushButton* m_command6 = nullptr;  // "..."
    QComboBox* m_combo1 = nullptr;      // state
    QWidget* m_picture3 = nullptr;      // the newest-chapter row
    QLineEdit* m_text8 = nullptr;       // newest chapter
    QPlainTextEdit* m_text9 = nullptr;  // synopsis
    QPushButton* m_command4 = nullptr;  // "添加封面"
    QLabel* m_picture2 = nullptr;       // cover preview
    QToolButton* m_image2 = nullptr;    // removes the cover
    QLineEdit* m_text13 = nullptr;      // cover path, hidden
    QPushButton* m_command5 = nullptr;  // "确认上传"
    QLabel* m_upLoading = nullptr;
    QProgressBar* m_progress = nullptr;
};
