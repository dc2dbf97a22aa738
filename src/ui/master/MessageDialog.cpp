#include "MessageDialog.h"

#include "common/Text.h"
#include "ui/toolkit/CStaticEx.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/PlainText.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace ondel {

MessageDialog::MessageDialog(const MasterMessage& message, QWidget* parent)
    : QDialog(parent, Qt::Tool) {
    setWindowTitle(displayText(text::toDisplayUtf8(message.title)));

    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    // Read-only, but a long message needs scrolling: it stays in the Tab chain, and Tab leaves
    // it.
    m_text->setTabChangesFocus(true);
    m_text->setAccessibleName(QStringLiteral("Message"));
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setControlId(m_text, kTextId);
    QString body = displayText(text::toDisplayUtf8(message.text));
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_text->setPlainText(body);

    m_link = new CStaticEx(this);
    setControlId(m_link, kLinkId);
    const QString link = displayText(text::toDisplayUtf8(message.link));
    setPlainLabelText(m_link, link);
    m_link->setTarget(link);
    m_link->setTextColour(QColor(0, 0, 255));
    m_link->setHandCursor(true);

    m_dontShow = new QCheckBox(QStringLiteral("Don't show again"), this);
    setControlId(m_dontShow, kDontShowId);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    setControlId(buttons->button(QDialogButtonBox::Ok), 1);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_link);
    layout->addWidget(m_dontShow);
    layout->addWidget(buttons);
    resize(360, 240);
}

MasterMessagePrompt::Outcome MessageDialog::outcome() const {
    return result() == QDialog::Accepted && m_dontShow->isChecked()
               ? MasterMessagePrompt::Outcome::DontShowAgain
               : MasterMessagePrompt::Outcome::Closed;
}

MasterMessagePrompt::Outcome MessageDialog::showModal(const MasterMessage& message,
                                                      QWidget* owner) {
    // The owner may go away while the dialog runs (the program ends): a guarded pointer tells.
    QPointer<MessageDialog> dialog = new MessageDialog(message, owner);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    // It blocks its owner only: a message that arrives while the user types into the remote
    // console must not take that window's keyboard away.
    dialog->setWindowModality(Qt::WindowModal);
    dialog->exec();
    if (!dialog)
        return MasterMessagePrompt::Outcome::Aborted;
    MasterMessagePrompt::Outcome outcome = dialog->outcome();
    delete dialog.data();
    return outcome;
}

} // namespace ondel
