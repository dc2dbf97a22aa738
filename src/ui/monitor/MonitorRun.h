#pragma once

#include <QString>

#include <functional>

namespace ondel {

class Application;
class MonitorDialog;
class UiPrompt;

// The program's run after start-up: the monitor window is shown, not modal, so that the remote
// console and every other window of the program take input beside it (with serverText in the
// server selector as if typed, when given), and runs until Esc, the close box or "&Exit" ends
// it; then every list is written back. onShown, when set, runs once the window's event loop has
// started (tests drive the window from there). The application must have been started.
void runMonitorWindow(Application& app, UiPrompt& prompt, const QString& serverText,
                      const std::function<void(MonitorDialog&)>& onShown = {});

} // namespace ondel
