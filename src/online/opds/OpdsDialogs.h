#pragma once

#include "app/OpdsCatalogueRow.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

// "添加书库…" and its editing twin: 名称, 地址, 用户名, 密码 and 保存密码. The values are
// checked (a name, an http(s) address) before the dialog closes.
class OpdsCatalogueDialog : public QDialog {
    Q_OBJECT
public:
    explicit OpdsCatalogueDialog(QWidget* parent = nullptr);

    void setRow(const OpdsCatalogueRow& row);
    OpdsCatalogueRow row() const;
    QString password() const;
    bool savePassword() const;

    void accept() override;

private:
    qint64 m_id = 0;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_url = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_save = nullptr;
    QLabel* m_error = nullptr;
};

// Asked on a refused login: the message, the user name and the password.
class OpdsLoginDialog : public QDialog {
    Q_OBJECT
public:
    OpdsLoginDialog(const QString& message, const QString& user, QWidget* parent = nullptr);
    QString user() const;
    QString password() const;

private:
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
};
