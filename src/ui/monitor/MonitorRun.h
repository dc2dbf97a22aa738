#pragma once

#include <QString>

#include <functional>

namespace ondel {

class Application;
class MonitorDialog;
class UiPrompt;

// The program's run after start-up: the monitor window runs modally (with serverText in the
// server selector as if typed, when given) until Esc, the close box or "&Exit" ends it; then
// every list is written back. onShown, when set, runs once the window's modal loop has started
// (tests drive the window from there). The application must have been started.
void runMonitorWindow(Application& app, UiPrompt& prompt, const QString& serverText,
                      const std::function<void(MonitorDialog&)>& onShown = {});

} // namespace ondel
