#pragma once

#include "GuiMessagePrompt.h"
#include "master/MasterHost.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <optional>

class QThread;

namespace ondel {

class MasterClient;
class QtHttpPoster;
class SettingsStore;

// The once-per-run master server session on its own thread: the user number probe, the USERID
// and VERSION exchanges, new user numbers written to the settings, and messages shown through
// show on the GUI thread while the worker waits. Lives on the GUI thread; start() and the
// destructor are called there. The GUI thread never waits for the worker, except in the
// destructor, which first stops it (network requests aborted within 50 ms, a waiting message
// answered as aborted) and then waits a bounded time. settings must outlive the session and be
// callable from the worker thread.
class MasterSession : public QObject {
    Q_OBJECT
public:
    MasterSession(SettingsStore& settings, std::optional<MasterHost> host,
                  GuiMessagePrompt::Show show, QObject* parent = nullptr);
    ~MasterSession() override;

    // Starts the worker the first time it is called; later calls do nothing, also after the
    // session has ended or failed. Without a host nothing starts.
    void start();
    bool hasStarted() const { return m_started; }
    bool isRunning() const;

    // The master host of this build (CMake ONDEL_MASTER_HOST), replaced by the environment
    // variable ONDEL_MASTER_HOST when that is set (an empty value disables the session).
    static std::optional<MasterHost> configuredHost();

signals:
    // The worker has ended (emitted on the GUI thread).
    void finished();

private:
    void stopWorker();

    SettingsStore& m_settings;
    std::optional<MasterHost> m_host;
    // On the heap so that a worker left running at exit never sees it freed.
    std::unique_ptr<std::atomic<bool>> m_cancel = std::make_unique<std::atomic<bool>>(false);
    std::unique_ptr<GuiMessagePrompt> m_prompt;
    std::unique_ptr<QtHttpPoster> m_poster;
    std::unique_ptr<MasterClient> m_client;
    QThread* m_thread = nullptr;
    bool m_started = false;
};

} // namespace ondel
