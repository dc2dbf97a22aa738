#pragma once

#include "ui/monitor/WindowServices.h"

#include <QString>

#include <functional>
#include <memory>

namespace ondel {

class Application;
class MonitorDialog;
class UiPrompt;

// The application's things that the windows work with.
WindowServices windowServices(Application& app);

// The monitor window as the program wires it: on the application's services and prompt, with
// the game launcher behind "&Connect ...", "&Settings ...", the desktop notifier (a free slot, the
// browser's watched players), the optional players tray icon, and the run's master session
// (owned by the window, started by the first accepted info reply, showing its messages over the
// window). The application and the prompt must outlive the window.
std::unique_ptr<MonitorDialog> createMonitorWindow(Application& app, UiPrompt& prompt);

// The program's run after start-up: the monitor window is shown, not modal, so that the remote
// console and every other window of the program take input beside it (with serverText in the
// server selector as if typed, when given), and runs until Esc, the close box or "&Exit" ends
// it; then every list is written back. onShown, when set, runs once the window's event loop has
// started (tests drive the window from there). The application must have been started.
void runMonitorWindow(Application& app, UiPrompt& prompt, const QString& serverText,
                      const std::function<void(MonitorDialog&)>& onShown = {});

} // namespace ondel
