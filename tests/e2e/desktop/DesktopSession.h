#pragma once

#include "../../QtWait.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace ondel::desktoptest {

// Waits until condition holds (false when timeoutMs passed first), looking at most every 100 ms:
// conditions here run programs or press keys.
inline bool eventually(const std::function<bool()>& condition, int timeoutMs = 15000) {
    return test::waitFor(condition, timeoutMs, 100);
}

// A desktop of its own for one test: Xvfb on a free display number with the openbox window
// manager, driven with xdotool as a person drives it (real key presses and clicks that reach the
// focused window through the X server), read back with xclip and photographed with ImageMagick's
// import. Programs started with environment() appear on it. The destructor ends openbox and
// Xvfb. Typical use:
//
//     DesktopSession desk;
//     if (!desk.start()) GTEST_SKIP() << desk.error();   // only when Xvfb is not installed
//     ... start the program with desk.environment() ...
//     QString id = desk.waitForWindow("^Rcon Console$");
//     desk.key({"Tab", "Tab"}); desk.type("status"); desk.key({"Return"});
class DesktopSession {
public:
    DesktopSession() = default;
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // False when Xvfb is not installed (error() says so: skip) or when the desktop did not come
    // up (error() says why: fail).
    // screen: the size of the desktop.
    bool start(QSize screen = QSize(1024, 768));
    bool xvfbMissing() const { return m_xvfbMissing; }
    const QString& error() const { return m_error; }

    // The system environment with DISPLAY set to this desktop and Qt on X11.
    QProcessEnvironment environment() const;

    // Runs xdotool with the arguments on this desktop; its standard output, trimmed.
    QString xdotool(const QStringList& args);
    // Key presses in order ("alt+f", "Down", "Return", "shift+Tab"), to the focused window.
    void key(const QStringList& keys);
    // Types text into the focused window.
    void type(const QString& text);
    // A left click at x, y relative to the window's top-left corner (inside its frame).
    void click(const QString& window, int x, int y);

    // The id of the first visible window whose title matches the regular expression, waiting up
    // to timeoutMs; empty when none appeared.
    QString waitForWindow(const QString& titleRegex, int timeoutMs = 30000);
    // The window that has the keyboard focus, waiting up to timeoutMs for it to be id; returns
    // whether it became id.
    bool waitForActive(const QString& id, int timeoutMs = 10000);
    // Width and height of the window.
    QSize windowSize(const QString& id);
    // The window's place and size on the screen, its frame included.
    QRect frameGeometry(const QString& id);

    // The text of the CLIPBOARD selection.
    QString clipboard();
    // The whole screen as a PNG (taken from the X server, not from the program).
    bool screenshot(const QString& path);

private:
    QString run(const QString& program, const QStringList& args, int timeoutMs = 10000);

    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_wm;
    QString m_display;
    QString m_error;
    bool m_xvfbMissing = false;
};

} // namespace ondel::desktoptest
