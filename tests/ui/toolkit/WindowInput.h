#pragma once

#include "../../QtWait.h"

// Input as the window system delivers it: every key and click goes to a QWindow through
// QWindowSystemInterface, so Qt's modality check and the window's own focus widget decide where
// it lands, as they do for a person at the keyboard. A window blocked by a modal one gets
// nothing. (Sending events straight to a widget would pass both by.)

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <memory>

namespace ondel::test::input {

inline QWindow* windowOf(QWidget* widget) {
    return widget != nullptr ? widget->window()->windowHandle() : nullptr;
}

// A key with modifiers, pressed in the top-level window that holds widget.
inline void key(QWidget* widget, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    if (QWindow* w = windowOf(widget))
        QTest::keyClick(w, k, mods);
}

// Types printable ASCII text into whatever has the focus in widget's window.
inline void type(QWidget* widget, const char* text) {
    QWindow* w = windowOf(widget);
    for (; w != nullptr && *text != '\0'; ++text)
        QTest::keyClick(w, *text);
}

// A left click on widget (its centre unless at is given), through its top-level window.
inline void click(QWidget* widget, QPoint at = QPoint(-1, -1)) {
    if (QWindow* w = windowOf(widget)) {
        const QPoint local = at.x() < 0 ? widget->rect().center() : at;
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier,
                          widget->mapTo(widget->window(), local));
    }
}

// A menu text as shown: without its access key mark.
inline QString shownText(QString text) {
    return text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}
inline QString shownText(const QAction* action) {
    return shownText(action->text());
}

// Opens a menu of the bar with the mouse and clicks its item with the given text (as shown; an
// access key mark in the texts given is not part of what is compared).
inline bool clickMenu(QMenuBar* bar, const QString& menuTitle, const QString& itemText) {
    for (QAction* top : bar->actions()) {
        if (shownText(top) != shownText(menuTitle))
            continue;
        click(bar, bar->actionGeometry(top).center());
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (popup == nullptr)
            return false;
        for (QAction* item : popup->actions())
            if (shownText(item) == shownText(itemText)) {
                click(popup, popup->actionGeometry(item).center());
                return true;
            }
    }
    return false;
}

// Runs drive on the first visible modal dialog of type T, from inside its own modal loop (the
// command that opens it does not return until it ends). Drive once; returns the watch, which
// stops when it is destroyed.
template <typename T> std::unique_ptr<QTimer> whenShown(std::function<void(T&)> drive) {
    auto watch = std::make_unique<QTimer>();
    QTimer* raw = watch.get();
    QObject::connect(raw, &QTimer::timeout, raw, [raw, drive = std::move(drive)] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return;
        raw->stop();
        drive(*dialog);
    });
    watch->start(20);
    return watch;
}

// The top-level window that has the keyboard focus, as a widget (nullptr: none of ours).
inline QWidget* focusedTopLevel() {
    QWindow* w = QGuiApplication::focusWindow();
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->windowHandle() == w && w != nullptr)
            return top;
    return nullptr;
}

// Waits until top has the keyboard focus (activation reaches Qt as a window-system event).
inline bool waitForFocus(QWidget* top, int timeoutMs = 5000) {
    return waitFor([top] { return focusedTopLevel() == top; }, timeoutMs);
}

} // namespace ondel::test::input
