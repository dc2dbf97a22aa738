#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <vector>

namespace ondel {

// How a control of a form follows the form when it grows beyond its designed size.
enum class Grow {
    None,  // stays where it is
    Width, // takes the extra width
    MoveX, // keeps its distance to the right edge
    Upper, // takes the extra width and two thirds of the extra height (the player view)
    Lower, // takes the extra width and the rest of the extra height, below Upper (the rules)
};

// A form of controls placed at fixed positions for its designed size, never smaller than that;
// when it is given more room, the controls that follow it move or grow as their Grow says.
// GUI thread only.
class StretchForm : public QWidget {
    Q_OBJECT
public:
    StretchForm(QSize designed, QWidget* parent);

    // Makes widget (a child placed for the designed size) follow the form as grow says.
    void follow(QWidget* widget, Grow grow);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Item {
        QPointer<QWidget> widget;
        Grow grow;
        QRect designed;
    };
    QSize m_designed;
    std::vector<Item> m_items;
};

} // namespace ondel
