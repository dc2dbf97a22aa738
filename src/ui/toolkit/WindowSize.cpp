#include "WindowSize.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <string>

namespace ondel {

namespace {

// Room left for the frame the window manager draws (title bar and borders).
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 48;

class SizeKeeper : public QObject {
public:
    SizeKeeper(QWidget& window, SettingsStore& store, const char* name)
        : QObject(&window), m_store(store), m_width(std::string(name) + "Width"),
          m_height(std::string(name) + "Height") {}

    QSize remembered() const {
        return {m_store.readInt(settings::kSettings, m_width, 0),
                m_store.readInt(settings::kSettings, m_height, 0)};
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide) {
            auto* window = static_cast<QWidget*>(watched);
            if (!window->isMinimized() && !window->isMaximized()) {
                m_store.writeInt(settings::kSettings, m_width, window->width());
                m_store.writeInt(settings::kSettings, m_height, window->height());
            }
        }
        return false;
    }

private:
    SettingsStore& m_store;
    std::string m_width;
    std::string m_height;
};

} // namespace

QSize roomOnScreen(const QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return {};
    const QRect free = screen->availableGeometry();
    return {free.width() - kFrameWidth, free.height() - kFrameHeight};
}

void keepWindowSize(QWidget& window, SettingsStore& store, const char* name, QSize natural) {
    auto* keeper = new SizeKeeper(window, store, name);
    window.installEventFilter(keeper);
    QSize size = keeper->remembered();
    if (size.width() <= 0 || size.height() <= 0)
        size = natural;
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        window.resize(size);
        return;
    }
    const QRect free = screen->availableGeometry();
    size = size.boundedTo(QSize(free.width() - kFrameWidth, free.height() - kFrameHeight))
               .expandedTo(window.minimumSizeHint());
    window.resize(size);
    window.move(free.x() + std::max(0, (free.width() - kFrameWidth - size.width()) / 2),
                free.y() + std::max(0, (free.height() - kFrameHeight - size.height()) / 2));
}

} // namespace ondel
