#include "MasterSession.h"

#include "QtHttpPoster.h"
#include "master/MasterClient.h"

#include <QDeadlineTimer>
#include <QThread>
#include <QtGlobal>

namespace ondel {

namespace {
// Long enough for the worker to see the stop (it looks every 50 ms), short enough that a wedged
// worker cannot hold up the end of the program for long.
constexpr int kStopWaitMs = 3000;
} // namespace

MasterSession::MasterSession(SettingsStore& settings, std::optional<MasterHost> host,
                             GuiMessagePrompt::Show show, QObject* parent)
    : QObject(parent), m_settings(settings), m_host(std::move(host)),
      m_prompt(std::make_unique<GuiMessagePrompt>(this, std::move(show))) {}

MasterSession::~MasterSession() {
    stopWorker();
}

std::optional<MasterHost> MasterSession::configuredHost() {
    if (qEnvironmentVariableIsSet("ONDEL_MASTER_HOST"))
        return parseMasterHost(qEnvironmentVariable("ONDEL_MASTER_HOST").toStdString());
    return parseMasterHost(ONDEL_MASTER_HOST);
}

void MasterSession::start() {
    if (m_started)
        return;
    m_started = true;
    if (!m_host)
        return;
    m_poster = std::make_unique<QtHttpPoster>(*m_host, *m_cancel);
    m_client = std::make_unique<MasterClient>(*m_poster, m_settings, *m_prompt);
    MasterClient* client = m_client.get();
    m_thread = QThread::create([client] { client->run(); });
    m_thread->setObjectName(QStringLiteral("MasterSession"));
    connect(m_thread, &QThread::finished, this, &MasterSession::finished);
    m_thread->start();
}

bool MasterSession::isRunning() const {
    return m_thread && m_thread->isRunning();
}

void MasterSession::stopWorker() {
    if (!m_thread)
        return;
    m_cancel->store(true);
    m_client->requestStop();
    m_prompt->abort();
    if (m_thread->wait(QDeadlineTimer(kStopWaitMs))) {
        delete m_thread;
        m_thread = nullptr;
        return;
    }
    // The worker did not stop in time. Destroying a running thread would abort the program, so
    // the thread and everything it uses are left behind for the end of the process.
    qWarning("master session: worker still running at exit");
    m_thread = nullptr;
    (void)m_cancel.release();
    (void)m_client.release();
    (void)m_poster.release();
    (void)m_prompt.release();
}

} // namespace ondel
