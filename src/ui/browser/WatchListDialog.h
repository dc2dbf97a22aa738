#pragma once

#include <QDialog>

#include <cstddef>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ondel {

// "Watch players": the names the browser watches for, one per line. OK is refused while the
// list would not fit into the settings (kMaxBytes, line feeds included). GUI thread only.
class WatchListDialog : public QDialog {
    Q_OBJECT
public:
    // What the settings store keeps of one text.
    static constexpr std::size_t kMaxBytes = 1023;

    explicit WatchListDialog(const std::vector<std::string>& names, QWidget* parent = nullptr);

    // The names as typed: blanks around a name and empty lines dropped.
    std::vector<std::string> names() const;

    QPlainTextEdit* editor() const { return m_editor; }
    QPushButton* okButton() const { return m_ok; }

private:
    void onTextChanged();

    QPlainTextEdit* m_editor = nullptr;
    QLabel* m_tooLong = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace ondel
