#include "task/proxyauthdialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

ProxyAuthDialog::ProxyAuthDialog(QWidget* parent)
    : QDialog(parent), userEdit_(new QLineEdit(this)), passwordEdit_(new QLineEdit(this))
{
    setWindowTitle(tr("Proxy authentication"));
    setModal(true);
    passwordEdit_->setEchoMode(QLineEdit::Password);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("The proxy server requires a user name and password."), this));
    auto* form = new QFormLayout();
    form->addRow(tr("User name"), userEdit_);
    form->addRow(tr("Password"), passwordEdit_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString ProxyAuthDialog::userName() const { return userEdit_->text(); }
QString ProxyAuthDialog::password() const { return passwordEdit_->text(); }
void ProxyAuthDialog::setUserName(const QString& name) { userEdit_->setText(name); }

bool ProxyAuthDialog::ask(QString& userName, QString& password)
{
    ProxyAuthDialog dialog;
    dialog.setUserName(userName);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    userName = dialog.userName();
    password = dialog.password();
    return true;
}
