#include "NewListDialog.h"

#include "serverlist/ListCommands.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/DialogUnits.h"
#include "ui/toolkit/PlainText.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ondel {

NewListDialog::NewListDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("New server list"));
    const DialogUnits du(font());
    setFixedSize(du.size(220, 66));

    auto* fileLabel = new QLabel(this);
    setPlainLabelText(fileLabel, QStringLiteral("File name:"));
    du.place(fileLabel, 7, 9, 42, 8);
    m_fileName = new QLineEdit(QString::fromUtf8(kNewListDefaultTitle), this);
    setControlId(m_fileName, 1059);
    du.place(m_fileName, 52, 7, 120, 12);
    fileLabel->setBuddy(m_fileName);
    m_suffix = new QLabel(this);
    setControlId(m_suffix, 1060);
    setPlainLabelText(m_suffix, QStringLiteral(".sl%1").arg(6, 2, 10, QLatin1Char('0')));
    du.place(m_suffix, 175, 9, 38, 8);

    auto* nameLabel = new QLabel(this);
    setPlainLabelText(nameLabel, QStringLiteral("Name:"));
    du.place(nameLabel, 7, 27, 42, 8);
    m_name = new QLineEdit(QString::fromUtf8(kNewListDefaultName), this);
    setControlId(m_name, 1061);
    du.place(m_name, 52, 25, 161, 12);
    nameLabel->setBuddy(m_name);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    setControlId(ok, 1);
    ok->setDefault(true);
    du.place(ok, 109, 45, 50, 14);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    setControlId(cancel, 2);
    du.place(cancel, 163, 45, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_fileName->setFocus();
    m_fileName->selectAll();
}

} // namespace ondel
