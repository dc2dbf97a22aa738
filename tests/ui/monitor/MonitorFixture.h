#pragma once

#include "../../QtWait.h"
#include "../toolkit/FakeUiPrompt.h"
#include "../toolkit/NamedChild.h"
#include "app/Application.h"
#include "app/gui/MonitorWindow.h"
#include "ui/monitor/MonitorDialog.h"
#include "ui/monitor/ServerSelector.h"
#include "ui/toolkit/ColorListCtrl.h"
#include "ui/toolkit/ControlId.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace ondel::test {

// The monitor's controls as its ids name them, and the windows it opens.
inline ColorListCtrl* playerView(const MonitorDialog& d) {
    return findControl<ColorListCtrl>(&d, 1003);
}
inline ColorListCtrl* rulesView(const MonitorDialog& d) {
    return findControl<ColorListCtrl>(&d, 1000);
}
inline ServerSelector* serverSelector(const MonitorDialog& d) {
    return findControl<ServerSelector>(&d, 1008);
}
inline QComboBox* listSelector(const MonitorDialog& d) {
    return findControl<QComboBox>(&d, 1009);
}
inline QTimer* refreshTimer(const MonitorDialog& d) {
    return d.findChild<QTimer*>(QStringLiteral("refreshTimer"));
}
// The open top-level window of type W (the console, the browser), or nullptr.
template <typename W> W* topLevelWindow() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<W*>(w))
            return window;
    }
    return nullptr;
}

// One hlsim process on a free loopback port.
class Hlsim {
public:
    // Starts hlsim with the arguments (a free port is chosen); false when it did not come up.
    // Unless quiet, hlsim echoes its log lines (RCON commands among them) on stderr.
    bool start(const QStringList& args, bool quiet = true) {
        m_process.setProgram(QStringLiteral(HLSIM_PATH));
        QStringList all{QStringLiteral("--port"), QStringLiteral("0")};
        if (quiet)
            all << QStringLiteral("--quiet");
        m_process.setArguments(all + args);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return false;
        QDeadlineTimer deadline(10000);
        QByteArray out;
        static const QRegularExpression re(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        while (!deadline.hasExpired()) {
            m_process.waitForReadyRead(100);
            out += m_process.readAllStandardOutput();
            auto m = re.match(QString::fromLatin1(out));
            if (m.hasMatch()) {
                m_port = m.captured(1).toInt();
                return true;
            }
            if (m_process.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }
    void stop() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }
    ~Hlsim() { stop(); }
    int port() const { return m_port; }
    // Everything hlsim has written to stderr so far.
    QString errorOutput() {
        m_err += m_process.readAllStandardError();
        return QString::fromUtf8(m_err);
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

private:
    QProcess m_process;
    QByteArray m_err;
    int m_port = 0;
};

// Types text key by key into a widget, as the user would.
inline void typeKeys(QWidget* widget, const QString& text) {
    for (QChar ch : text) {
        const int key = ch.toUpper().unicode();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

inline void pressKey(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

// A monitor window on its own data directory and settings file, with a prompt that answers.
class MonitorFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("ONDEL_SETTINGS", (m_dir.path() + QStringLiteral("/Ondel.conf")).toLocal8Bit());
    }
    void TearDown() override {
        m_dialog.reset();
        if (m_app)
            m_app->finish();
        m_app.reset();
        qunsetenv("ONDEL_SETTINGS");
    }

    std::string dataDir() const { return (m_dir.path() + QStringLiteral("/")).toStdString(); }

    // Starts the application; beforeWindow may fill the lists before the window opens.
    void openWindow(const std::function<void(Application&)>& beforeWindow = {}) {
        m_app = std::make_unique<Application>(m_prompt, dataDir());
        ASSERT_TRUE(m_app->start());
        if (beforeWindow)
            beforeWindow(*m_app);
        m_dialog = createMonitorWindow(*m_app, m_prompt);
        m_dialog->show();
        QObject::connect(m_dialog.get(), &MonitorDialog::ticked, [this] { ++m_ticks; });
    }

    // Waits for n more refresh cycles of the window's own timer.
    bool waitTicks(int n, int timeoutMs = 15000) {
        const int target = m_ticks + n;
        return waitFor([&] { return m_ticks >= target; }, timeoutMs);
    }

    template <typename T> T* control(int id) const { return findControl<T>(m_dialog.get(), id); }
    QString fieldText(int id) const {
        QLineEdit* e = control<QLineEdit>(id);
        return e != nullptr ? e->text() : QStringLiteral("<no control>");
    }

    QTemporaryDir m_dir;
    FakeUiPrompt m_prompt;
    std::unique_ptr<Application> m_app;
    std::unique_ptr<MonitorDialog> m_dialog;
    int m_ticks = 0;
};

} // namespace ondel::test
