#include "WatchListDialog.h"

#include "notify/PlayerWatch.h"
#include "ui/toolkit/PlainText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ondel {

WatchListDialog::WatchListDialog(const std::vector<std::string>& names, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Watch players"));
    auto* intro = new QLabel(this);
    setPlainLabelText(intro,
                      QStringLiteral("One player name per line. While the browser refreshes "
                                     "its list, a desktop notification tells\nwhen one of "
                                     "them is on a server of it (the whole name, any case)."));
    m_editor = new QPlainTextEdit(this);
    m_editor->setAccessibleName(QStringLiteral("Player names"));
    m_editor->setTabChangesFocus(true); // a name holds no tab: Tab moves on to the buttons
    m_editor->setPlainText(displayText(watchListText(names)));
    m_tooLong = new QLabel(this);
    setPlainLabelText(m_tooLong, QStringLiteral("The list is too long: at most %1 bytes in all.")
                                     .arg(static_cast<qulonglong>(kMaxBytes)));
    m_tooLong->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_editor, &QPlainTextEdit::textChanged, this, &WatchListDialog::onTextChanged);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_editor, 1);
    layout->addWidget(m_tooLong);
    layout->addWidget(buttons);
    resize(420, 320);
}

std::vector<std::string> WatchListDialog::names() const {
    return watchListFromText(m_editor->toPlainText().toStdString());
}

void WatchListDialog::onTextChanged() {
    const bool fits = watchListText(names()).size() <= kMaxBytes;
    m_tooLong->setVisible(!fits);
    m_ok->setEnabled(fits);
}

} // namespace ondel
