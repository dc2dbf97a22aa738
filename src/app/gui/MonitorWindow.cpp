#include "MonitorWindow.h"

#include "app/Application.h"
#include "platform/MasterSession.h"
#include "ui/history/HistoryWindow.h"
#include "ui/launch/GameLauncher.h"
#include "ui/master/MessageDialog.h"
#include "ui/monitor/MonitorDialog.h"
#include "ui/monitor/PlayersTrayIcon.h"
#include "ui/toolkit/DesktopNotifier.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

namespace ondel {

namespace {

// The run's master session as a child of the window (ending the window stops it), with the
// configured master host; the application starts it on the first accepted info reply.
void installMasterSession(Application& app, MonitorDialog& window) {
    QPointer<QWidget> owner(&window);
    auto* session = new MasterSession(
        app.settings(), MasterSession::configuredHost(),
        [owner](const MasterMessage& message) {
            if (!owner)
                return MasterMessagePrompt::Outcome::Aborted;
            return MessageDialog::showModal(message, owner.data());
        },
        &window);
    QPointer<MasterSession> guarded(session);
    app.setMasterStarter([guarded] {
        if (guarded)
            guarded->start();
    });
}

} // namespace

WindowServices windowServices(Application& app) {
    return WindowServices{
        app.engine(), app.lists(),     app.settings(),
        app.clock(),  app.socket(),    app.dataDirectory(),
        app.scans(),  app.countries(), [&app](const ServerAddress& a) { return app.blockedBy(a); },
        app.history()};
}

std::unique_ptr<MonitorDialog> createMonitorWindow(Application& app, UiPrompt& prompt) {
    auto window = std::make_unique<MonitorDialog>(windowServices(app), prompt);
    // One notifier for the program's announcements (a free slot, watched players), owned by the
    // window, which ends the browser before it.
    auto* notifier = new DesktopNotifier(window.get());
    window->setNotifier(notifier);
    // The alerts of the run are shown through it while the window lives.
    app.setNotifier(notifier);
    QObject::connect(notifier, &QObject::destroyed, &app, [&app] { app.setNotifier(nullptr); });
    GameLauncher::install(*window);
    PlayersTrayIcon::install(*window);
    if (HistoryStore* history = app.history())
        HistoryWindow::install(*window, *history);
    installMasterSession(app, *window);
    return window;
}

void runMonitorWindow(Application& app, UiPrompt& prompt, const QString& serverText,
                      const std::function<void(MonitorDialog&)>& onShown) {
    {
        std::unique_ptr<MonitorDialog> window = createMonitorWindow(app, prompt);
        MonitorDialog& dialog = *window;
        if (!serverText.isEmpty())
            dialog.setServerText(serverText);
        // Not modal: a modal main window would block every other top-level window (the remote
        // console above all) from the keyboard and the mouse. Esc, the close box and "&Exit" end
        // the dialog, and with it this loop.
        QEventLoop loop;
        QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
        dialog.show();
        if (onShown)
            QTimer::singleShot(0, &dialog, [&dialog, &onShown] { onShown(dialog); });
        loop.exec();
    }
    app.finish();
}

} // namespace ondel
