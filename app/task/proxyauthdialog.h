#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

// The modal question for proxy credentials a task needs. Closing it by other means counts as No.
class ProxyAuthDialog : public QDialog {
    Q_OBJECT
public:
    explicit ProxyAuthDialog(QWidget* parent = nullptr);

    QString userName() const;
    QString password() const;
    void setUserName(const QString& name);

    // Shows the dialog modally, pre-filled with userName; true with the entered values on OK.
    static bool ask(QString& userName, QString& password);

private:
    QLineEdit* userEdit_;
    QLineEdit* passwordEdit_;
};
