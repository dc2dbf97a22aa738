#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ondel {

// "Blocklist": blocklist.txt of the data folder as text, one entry a line (an IPv4 address, a
// CIDR range, HOST:PORT or name:GLOB; # comments). OK writes the file as typed; damaged lines
// are then listed by their numbers (they are skipped when the list is read) and the dialog stays
// open, so that they can be mended; a second OK closes it. GUI thread only.
class BlocklistDialog : public QDialog {
    Q_OBJECT
public:
    explicit BlocklistDialog(std::string path, QWidget* parent = nullptr);

    // Writes the text to the file. False when it cannot be written (said in the dialog).
    bool save();

    QPlainTextEdit* editor() const { return m_editor; }
    QLabel* problemsLabel() const { return m_problems; }
    QPushButton* okButton() const { return m_ok; }

private:
    void onOk();

    std::string m_path;
    QPlainTextEdit* m_editor = nullptr;
    QLabel* m_problems = nullptr;
    QPushButton* m_ok = nullptr;
    std::string m_reported; // the text whose damaged lines were last shown
};

} // namespace ondel
