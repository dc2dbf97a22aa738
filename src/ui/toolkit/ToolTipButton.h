#pragma once

#include <QCheckBox>

namespace ondel {

// A check box whose tooltip is the string-table entry with the same number as its control id.
// bindToolTipButton loads the text the first time only; a control id without an entry gives no
// tooltip. GUI thread only.
class ToolTipButton : public QCheckBox {
    Q_OBJECT
public:
    explicit ToolTipButton(QWidget* parent = nullptr);
    ToolTipButton(const QString& text, QWidget* parent = nullptr);

    // Gives the button its control id; on the first call also loads and applies the tooltip.
    void bindToolTipButton(int controlId);

    int tipId() const { return m_tipId; }
    const QString& tipText() const { return m_tipText; }

private:
    QString m_tipText;
    int m_tipId = 0;
};

} // namespace ondel
