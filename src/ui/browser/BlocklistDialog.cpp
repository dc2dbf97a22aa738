#include "BlocklistDialog.h"

#include "browser/Blocklist.h"
#include "common/AtomicFile.h"
#include "common/Text.h"
#include "ui/toolkit/PlainText.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ondel {

BlocklistDialog::BlocklistDialog(std::string path, QWidget* parent)
    : QDialog(parent), m_path(std::move(path)) {
    setWindowTitle(QStringLiteral("Blocklist"));
    auto* intro = new QLabel(this);
    setPlainLabelText(intro,
                      QStringLiteral("Servers that are never asked nor shown, one a line:\n"
                                     "an address (203.0.113.7), a range (203.0.113.0/24), "
                                     "one server (203.0.113.7:27015),\nor server names "
                                     "(name:*FREE VIP*, with * and ?). # starts a comment."));
    m_editor = new QPlainTextEdit(this);
    m_editor->setAccessibleName(QStringLiteral("Blocklist"));
    m_editor->setTabChangesFocus(true); // an entry holds no tab: Tab moves on to the buttons
    m_editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFile file(QString::fromStdString(m_path));
    if (file.open(QIODevice::ReadOnly))
        m_editor->setPlainText(QString::fromUtf8(file.readAll()));
    m_problems = new QLabel(this);
    m_problems->setStyleSheet(QStringLiteral("color: #b00000"));
    m_problems->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &BlocklistDialog::onOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_editor, 1);
    layout->addWidget(m_problems);
    layout->addWidget(buttons);
    resize(520, 360);
}

bool BlocklistDialog::save() {
    std::string text = m_editor->toPlainText().toStdString();
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    const Blocklist parsed = Blocklist::parse(text);
    QStringList lines;
    const bool written = writeFileAtomically(
        m_path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    if (!written)
        lines << QStringLiteral("%1 cannot be written.")
                     .arg(displayText(text::toDisplayUtf8(m_path)));
    for (const auto& bad : parsed.badLines())
        lines << QStringLiteral("Line %1 is not an entry and is skipped: %2")
                     .arg(bad.lineNumber)
                     .arg(displayText(text::toDisplayUtf8(bad.text)));
    setPlainLabelText(m_problems, lines.join(QLatin1Char('\n')));
    m_problems->setVisible(!lines.isEmpty());
    return written;
}

void BlocklistDialog::onOk() {
    const std::string text = m_editor->toPlainText().toStdString();
    const bool written = save();
    // Damaged lines are shown once; OK again on the same text closes the dialog.
    const bool damaged = !Blocklist::parse(text).badLines().empty();
    if (written && (!damaged || text == m_reported))
        accept();
    m_reported = text;
}

} // namespace ondel
