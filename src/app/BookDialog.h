#pragma once

#include "app/BookDialogController.h"

#include <QDialog>
#include <QPointer>

class QComboBox;
class QLineEdit;
class QPushButton;
class Pickers;
struct AppServices;

// Form3: adds a local TXT book to the shelf or edits a shelf book's record. Not modal;
// it deletes itself when it closes.
class BookDialog : public QDialog {
    Q_OBJECT

public:
    BookDialog(AppServices& services, ReaderNavigator& navigator, QWidget* parent = nullptr);

    // Loads the dialog for `mode` (see BookDialogController::load). False when there is
    // nothing to show; the dialog is then not to be shown.
    bool load(const QString& mode, const QString& bookPath);
    const BookDialogController& controller() const { return m_controller; }

private:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    BookDialogController::Fields fields() const;

    BookDialogController m_controller;
    Pickers& m_pickers;
    QLineEdit* m_text1 = nullptr;
    QComboBox* m_imageCombo1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QLineEdit* m_text3 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command3 = nullptr;
};
