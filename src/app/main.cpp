// ondel: the monitor window. ondel [--data-dir DIR] [--browser] [HOST:PORT]
#include "app/Application.h"
#include "app/gui/MonitorWindow.h"
#include "platform/EndSignals.h"
#include "platform/InstanceChannel.h"
#include "platform/posix/DataFolderLock.h"
#include "ui/monitor/MonitorDialog.h"
#include "ui/toolkit/UiPrompt.h"

#include <QApplication>
#include <QPointer>
#include <QSessionManager>
#include <QString>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace {

const char* const kUsage =
    "usage: ondel [--data-dir DIR] [--browser] [HOST:PORT]\n"
    "Monitors a Half-Life server: details, players and rules once a second.\n"
    "\n"
    "  HOST:PORT       the server to show at start, as if typed into \"IP/Port:\"\n"
    "  --data-dir DIR  where the server list files are kept (default: the data folder,\n"
    "                  ~/.local/share/Ondel; '--data-dir .' keeps them in the current one)\n"
    "  --browser       open the server browser on the custom list beside the window\n"
    "  --help          show this text and exit\n"
    "  --version       show the version and exit\n";

// How long a second start tries to reach the running program.
constexpr int kHandOverMs = 2500;

struct Options {
    std::string dataDirectory;
    std::string server;
    bool browser = false;
};

// Reads the command line before any window system is needed (so --help works without one).
// Returns -1 to go on, otherwise the exit status.
int parseOptions(int argc, char** argv, Options& options) {
    bool serverGiven = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(arg, "--version") == 0) {
            std::printf("ondel %s\n", ONDEL_VERSION_TEXT);
            return 0;
        }
        if (std::strcmp(arg, "--browser") == 0) {
            options.browser = true;
            continue;
        }
        if (std::strcmp(arg, "--data-dir") == 0) {
            if (i + 1 >= argc) {
                std::fputs("ondel: --data-dir needs a directory\n", stderr);
                return 2;
            }
            options.dataDirectory = argv[++i];
            continue;
        }
        if (std::strncmp(arg, "--data-dir=", 11) == 0) {
            options.dataDirectory = arg + 11;
            continue;
        }
        if (arg[0] == '-' && arg[1] != '\0') {
            std::fprintf(stderr, "ondel: unknown option %s\n%s", arg, kUsage);
            return 2;
        }
        if (serverGiven) {
            std::fprintf(stderr, "ondel: only one server can be given\n%s", kUsage);
            return 2;
        }
        options.server = arg;
        serverGiven = true;
    }
    return -1;
}

// The second start on a data folder: the request goes to the program that runs on it.
int handOver(ondel::InstanceChannel& channel, const std::string& dataDirectory,
             const Options& options) {
    if (channel.handOver(QString::fromLocal8Bit(options.server.c_str()), options.browser,
                         kHandOverMs))
        return 0;
    std::fprintf(stderr,
                 "ondel: another Ondel is running on the data folder %s and did not answer; "
                 "end it, or give this one another folder with --data-dir\n",
                 dataDirectory.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (int status = parseOptions(argc, argv, options); status >= 0)
        return status;

    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ondel"));
    // The id of the installed menu entry, so the desktop ties the window to its icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.ondel.Ondel"));
    // From here on these signals end the program as the close box does (below).
    ondel::EndSignals endSignals({SIGTERM, SIGINT, SIGHUP});

    ondel::UiPrompt prompt;
    ondel::Application app(prompt, options.dataDirectory);
    app.prepareDataDirectory();
    // One program writes a data folder; a second start hands its request over and ends.
    ondel::DataFolderLock lock(app.dataDirectory());
    ondel::InstanceChannel channel(app.dataDirectory());
    if (lock.state() == ondel::DataFolderLock::State::HeldByOther)
        return handOver(channel, app.dataDirectory(), options);
    if (!app.start())
        return 1;

    QPointer<ondel::MonitorDialog> window;
    // A signal: what changed is written at once, then every event loop ends (a message box or
    // dialog that is open included) and the run ends as after the close box: every list is
    // written, status 0.
    QObject::connect(&endSignals, &ondel::EndSignals::received, &qtApp, [&app, &window] {
        app.saveChangedLists();
        if (window)
            window->reject();
        QCoreApplication::exit(0);
    });
    // The session manager's "save your data" (at log-out) writes what changed.
    QObject::connect(&qtApp, &QGuiApplication::commitDataRequest, &qtApp,
                     [&app](QSessionManager&) { app.saveChangedLists(); });
    QObject::connect(&qtApp, &QGuiApplication::saveStateRequest, &qtApp,
                     [&app](QSessionManager&) { app.saveChangedLists(); });

    // ONDEL_OPEN_CONSOLE=1 opens the remote console with the window (unattended soak runs).
    const char* openConsole = std::getenv("ONDEL_OPEN_CONSOLE");
    const bool console = openConsole != nullptr && std::strcmp(openConsole, "1") == 0;
    std::function<void(ondel::MonitorDialog&)> onShown = [console, &options, &window,
                                                          &channel](ondel::MonitorDialog& dialog) {
        window = &dialog;
        // A second start's server is shown here, and the window comes to the front.
        QObject::connect(&channel, &ondel::InstanceChannel::requested, &dialog,
                         [&dialog](const QString& serverText, bool browser) {
                             if (!serverText.isEmpty())
                                 dialog.setServerText(serverText);
                             if (browser)
                                 dialog.openBrowser();
                             dialog.showNormal();
                             dialog.raise();
                             dialog.activateWindow();
                         });
        if (!channel.listen())
            std::fprintf(stderr, "ondel: a second start on this data folder cannot reach "
                                 "this one\n");
        if (options.browser)
            dialog.openBrowser();
        if (console)
            dialog.openRconConsole();
    };
    // Esc, the close box and "&Exit" all end the window the same way: every list is saved.
    ondel::runMonitorWindow(app, prompt, QString::fromLocal8Bit(options.server.c_str()), onShown);
    return 0;
}
