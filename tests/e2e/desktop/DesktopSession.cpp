#include "DesktopSession.h"

#include <QSize>
#include <QStandardPaths>

namespace ondel::desktoptest {

namespace {

void stopProcess(std::unique_ptr<QProcess>& process) {
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    process.reset();
}

} // namespace

DesktopSession::~DesktopSession() {
    stopProcess(m_wm);
    stopProcess(m_xvfb);
}

bool DesktopSession::start(QSize screen) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        m_xvfbMissing = true;
        m_error = QStringLiteral("Xvfb is not installed (scripts/install-deps.sh installs it)");
        return false;
    }
    for (const char* tool : {"openbox", "xdotool", "xprop", "xclip", "import"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            m_error = QStringLiteral("%1 is not installed (scripts/install-deps.sh installs it)")
                          .arg(QString::fromLatin1(tool));
            return false;
        }
    }
    // -displayfd: Xvfb takes the first free display number and writes it to our stdout.
    m_xvfb = std::make_unique<QProcess>();
    m_xvfb->setProgram(xvfb);
    m_xvfb->setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                          QStringLiteral("-screen"), QStringLiteral("0"),
                          QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height()),
                          QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    m_xvfb->start();
    QByteArray out;
    test::waitFor(
        [&] {
            m_xvfb->waitForReadyRead(100);
            out += m_xvfb->readAllStandardOutput();
            return out.contains('\n') || m_xvfb->state() == QProcess::NotRunning;
        },
        15000);
    if (!out.contains('\n')) {
        m_error = QStringLiteral("Xvfb did not start: ") +
                  QString::fromLocal8Bit(m_xvfb->readAllStandardError());
        return false;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(out.trimmed());

    m_wm = std::make_unique<QProcess>();
    m_wm->setProcessEnvironment(environment());
    m_wm->setProgram(QStringLiteral("openbox"));
    m_wm->setArguments({QStringLiteral("--sm-disable")});
    m_wm->start();
    // The window manager is up once it has announced itself on the root window.
    if (test::waitFor(
            [&] {
                return run(QStringLiteral("xprop"),
                           {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                    .contains(QStringLiteral("window id"));
            },
            15000, 50))
        return true;
    m_error = QStringLiteral("openbox did not start");
    return false;
}

QProcessEnvironment DesktopSession::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

QString DesktopSession::run(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        return {};
    }
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

QString DesktopSession::xdotool(const QStringList& args) {
    return run(QStringLiteral("xdotool"), args);
}

void DesktopSession::key(const QStringList& keys) {
    xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40")} +
            keys);
}

void DesktopSession::type(const QString& text) {
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), text});
}

void DesktopSession::click(const QString& window, int x, int y) {
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
             QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
}

QString DesktopSession::waitForWindow(const QString& titleRegex, int timeoutMs) {
    QString ids;
    eventually(
        [&] {
            ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                           QStringLiteral("--name"), titleRegex});
            return !ids.isEmpty();
        },
        timeoutMs);
    return ids.section(QLatin1Char('\n'), 0, 0).trimmed();
}

bool DesktopSession::waitForActive(const QString& id, int timeoutMs) {
    return eventually([&] { return xdotool({QStringLiteral("getactivewindow")}) == id; },
                      timeoutMs);
}

QRect DesktopSession::frameGeometry(const QString& id) {
    // The client area's place and size, widened by the frame openbox draws around it.
    QRect client;
    const QString shell =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id});
    for (const QString& line : shell.split(QLatin1Char('\n'))) {
        const QString value = line.section(QLatin1Char('='), 1);
        if (line.startsWith(QStringLiteral("X=")))
            client.moveLeft(value.toInt());
        else if (line.startsWith(QStringLiteral("Y=")))
            client.moveTop(value.toInt());
        else if (line.startsWith(QStringLiteral("WIDTH=")))
            client.setWidth(value.toInt());
        else if (line.startsWith(QStringLiteral("HEIGHT=")))
            client.setHeight(value.toInt());
    }
    const QStringList extents = run(QStringLiteral("xprop"), {QStringLiteral("-id"), id,
                                                              QStringLiteral("_NET_FRAME_EXTENTS")})
                                    .section(QLatin1Char('='), 1)
                                    .split(QLatin1Char(','));
    if (extents.size() == 4)
        client.adjust(-extents[0].trimmed().toInt(), -extents[2].trimmed().toInt(),
                      extents[1].trimmed().toInt(), extents[3].trimmed().toInt());
    return client;
}

QSize DesktopSession::windowSize(const QString& id) {
    int w = 0;
    int h = 0;
    const QString shell =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id});
    for (const QString& line : shell.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("WIDTH=")))
            w = line.mid(6).toInt();
        else if (line.startsWith(QStringLiteral("HEIGHT=")))
            h = line.mid(7).toInt();
    }
    return QSize(w, h);
}

QString DesktopSession::clipboard() {
    return run(QStringLiteral("xclip"),
               {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
}

bool DesktopSession::screenshot(const QString& path) {
    QProcess p;
    p.setProcessEnvironment(environment());
    p.start(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
    return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace ondel::desktoptest
