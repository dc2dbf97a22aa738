#pragma once

#include <QDialog>

class QLineEdit;
class QLabel;

namespace ondel {

// "New server list" (dialog 152): the file title of the new list, its fixed suffix and its
// display name. The texts are taken as typed.
class NewListDialog : public QDialog {
    Q_OBJECT
public:
    explicit NewListDialog(QWidget* parent = nullptr);

    QLineEdit* fileNameEdit() const { return m_fileName; } // 1059
    QLineEdit* nameEdit() const { return m_name; }         // 1061
    QLabel* suffixLabel() const { return m_suffix; }       // 1060

private:
    QLineEdit* m_fileName;
    QLabel* m_suffix;
    QLineEdit* m_name;
};

} // namespace ondel
