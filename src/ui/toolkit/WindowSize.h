#pragma once

#include <QSize>

class QWidget;

namespace ondel {

class SettingsStore;

// Gives a resizable top-level window the size it had when it was last hidden (kept under name in
// the settings), or natural the first time, never larger than the screen's free area, placed
// within that area; and remembers its size whenever it is hidden. GUI thread only; the store
// must outlive the window.
void keepWindowSize(QWidget& window, SettingsStore& store, const char* name, QSize natural);

// The room a top-level window has on its screen: the free area less the window manager's frame
// (an empty size when there is no screen).
QSize roomOnScreen(const QWidget& window);

} // namespace ondel
