#include "ToolTipButton.h"

#include "ControlId.h"
#include "StringTable.h"

namespace ondel {

ToolTipButton::ToolTipButton(QWidget* parent) : QCheckBox(parent) {}

ToolTipButton::ToolTipButton(const QString& text, QWidget* parent) : QCheckBox(text, parent) {}

void ToolTipButton::bindToolTipButton(int controlId) {
    if (m_tipId == 0) {
        m_tipId = controlId;
        if (std::optional<std::string> text = loadString(controlId)) {
            m_tipText = QString::fromStdString(*text);
            // Only the table's own texts, which hold no markup, ever become tooltips.
            setToolTip(m_tipText);
        }
    }
    setControlId(this, controlId);
}

} // namespace ondel
