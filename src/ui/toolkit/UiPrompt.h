#pragma once

#include "common/Prompt.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>
#include <string>

class QDialog;

namespace ondel {

// The window program's way of asking the user: message boxes (the Prompt port), the open-file
// dialog and the program's own small modal dialogs. Every question of the windows goes through
// one UiPrompt, so tests replace it with a subclass that answers without showing anything.
// GUI thread only. The parent widget is not owned and may go away (it is tracked).
class UiPrompt : public Prompt {
public:
    explicit UiPrompt(QWidget* parent = nullptr);

    void setParentWidget(QWidget* parent) { m_parent = parent; }
    QWidget* parentWidget() const { return m_parent; }

    // A modal QMessageBox; the text is shown as plain text (it may quote server names).
    Answer message(const std::string& title, const std::string& text, Buttons buttons,
                   Icon icon) override;

    // The "Error" box with the error icon and OK; the text is cut at 511 bytes, never inside a
    // UTF-8 sequence.
    void showError(const std::string& text);

    // The open-file dialog with a Qt filter ("Lists (*.sl??);;All Files (*)"), starting at
    // `preset` (a folder, or a file whose name is filled in). Returns the chosen file's full path
    // as UTF-8, or nothing on Cancel.
    virtual std::optional<std::string> chooseOpenFile(const QString& title, const QString& filter,
                                                      const QString& preset = QString());

    // Runs one of the program's modal dialogs; returns QDialog::Accepted or QDialog::Rejected.
    // Tests override it to fill in the fields and accept or reject without an event loop.
    virtual int execDialog(QDialog& dialog);

private:
    QPointer<QWidget> m_parent;
};

} // namespace ondel
