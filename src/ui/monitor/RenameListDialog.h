#pragma once

#include <QDialog>

class QLineEdit;

namespace ondel {

// "Rename server list" (dialog 151): shows a list's file and name and asks for the new name.
// Texts are UTF-8 for display.
class RenameListDialog : public QDialog {
    Q_OBJECT
public:
    RenameListDialog(const QString& fileName, const QString& oldName, QWidget* parent = nullptr);

    QLineEdit* fileNameEdit() const { return m_fileName; } // 1056, read-only
    QLineEdit* oldNameEdit() const { return m_oldName; }   // 1057, read-only
    QLineEdit* newNameEdit() const { return m_newName; }   // 1058

private:
    QLineEdit* m_fileName;
    QLineEdit* m_oldName;
    QLineEdit* m_newName;
};

} // namespace ondel
