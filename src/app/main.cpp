// ondel: the monitor window. ondel [--data-dir DIR] [--browser] [HOST:PORT]
#include "app/Application.h"
#include "app/gui/MonitorWindow.h"
#include "ui/monitor/MonitorDialog.h"
#include "ui/toolkit/UiPrompt.h"

#include <QApplication>
#include <QString>

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

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (int status = parseOptions(argc, argv, options); status >= 0)
        return status;

    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ondel"));
    // The id of the installed menu entry, so the desktop ties the window to its icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.ondel.Ondel"));

    ondel::UiPrompt prompt;
    ondel::Application app(prompt, options.dataDirectory);
    if (!app.start())
        return 1;
    // ONDEL_OPEN_CONSOLE=1 opens the remote console with the window (unattended soak runs).
    const char* openConsole = std::getenv("ONDEL_OPEN_CONSOLE");
    const bool console = openConsole != nullptr && std::strcmp(openConsole, "1") == 0;
    std::function<void(ondel::MonitorDialog&)> onShown;
    if (console || options.browser)
        onShown = [console, &options](ondel::MonitorDialog& dialog) {
            if (options.browser)
                dialog.openBrowser();
            if (console)
                dialog.openRconConsole();
        };
    // Esc, the close box and "&Exit" all end the window the same way: every list is saved.
    ondel::runMonitorWindow(app, prompt, QString::fromLocal8Bit(options.server.c_str()), onShown);
    return 0;
}
