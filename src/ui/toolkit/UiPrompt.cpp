#include "UiPrompt.h"

#include "common/Text.h"

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

namespace ondel {

UiPrompt::UiPrompt(QWidget* parent) : m_parent(parent) {}

Prompt::Answer UiPrompt::message(const std::string& title, const std::string& text, Buttons buttons,
                                 Icon icon) {
    QMessageBox box(m_parent);
    box.setWindowTitle(QString::fromStdString(title));
    box.setTextFormat(Qt::PlainText);
    // The first design's texts separate paragraphs with CR LF; Qt wants LF alone.
    QString body = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setText(body);
    switch (icon) {
    case Icon::Error:
    case Icon::Stop:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
    case Buttons::YesNoDefaultNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Ok;
    }
}

void UiPrompt::showError(const std::string& text) {
    constexpr std::size_t kMaxErrorText = 511;
    message("Error", text::cutUtf8(text, kMaxErrorText), Buttons::Ok, Icon::Error);
}

std::optional<std::string> UiPrompt::chooseOpenFile(const QString& title, const QString& filter,
                                                    const QString& preset) {
    QString path = QFileDialog::getOpenFileName(m_parent, title, preset, filter);
    if (path.isEmpty())
        return std::nullopt;
    // File names are handed to std::filesystem as the bytes the file system uses.
    return QFile::encodeName(path).toStdString();
}

int UiPrompt::execDialog(QDialog& dialog) {
    return dialog.exec();
}

} // namespace ondel
