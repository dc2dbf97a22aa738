#pragma once

#include <QWidget>

class QToolButton;

namespace ondel {

// Two stacked arrow buttons that step a selection up or down (the arrow keys work too while it
// has the focus). It holds no value of its own: every press reports a step of -1 (up) or +1.
class UpDownArrows : public QWidget {
    Q_OBJECT
public:
    explicit UpDownArrows(QWidget* parent = nullptr);

    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

signals:
    void stepped(int step);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QToolButton* m_up;
    QToolButton* m_down;
};

} // namespace ondel
