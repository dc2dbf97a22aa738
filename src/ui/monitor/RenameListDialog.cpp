#include "RenameListDialog.h"

#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/DialogUnits.h"
#include "ui/toolkit/PlainText.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ondel {

RenameListDialog::RenameListDialog(const QString& fileName, const QString& oldName, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Rename server list"));
    const DialogUnits du(font());
    setFixedSize(du.size(240, 84));

    auto addRow = [&](const QString& label, int y, int id, const QString& text, bool readOnly) {
        auto* l = new QLabel(this);
        setPlainLabelText(l, label);
        du.place(l, 7, y + 2, 44, 8);
        auto* edit = new QLineEdit(text, this);
        setControlId(edit, id);
        edit->setReadOnly(readOnly);
        // Read-only names are read, not visited: out of the Tab chain.
        if (readOnly)
            edit->setFocusPolicy(Qt::NoFocus);
        du.place(edit, 54, y, 179, 12);
        l->setBuddy(edit);
        return edit;
    };
    m_fileName = addRow(QStringLiteral("File name:"), 7, 1056, fileName, true);
    m_oldName = addRow(QStringLiteral("Old name:"), 25, 1057, oldName, true);
    m_newName = addRow(QStringLiteral("New name:"), 43, 1058, oldName, false);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    setControlId(ok, 1);
    ok->setDefault(true);
    du.place(ok, 129, 63, 50, 14);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    setControlId(cancel, 2);
    du.place(cancel, 183, 63, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_newName->setFocus();
    m_newName->selectAll();
}

} // namespace ondel
