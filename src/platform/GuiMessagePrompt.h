#pragma once

#include "master/MasterMessagePrompt.h"

#include <QPointer>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace ondel {

// The master session's message prompt: the worker never shows a window itself. showMessage()
// (worker thread) queues the message to the GUI thread, where show runs (typically a modal
// message window), and waits for its outcome. abort() (any thread) wakes a waiting worker with
// Outcome::Aborted and makes every later call return that at once; a window still open on the
// GUI thread is left to its owner. context is a GUI-thread object; when it is gone, queued
// messages are dropped and the waiting worker is woken by abort().
class GuiMessagePrompt : public MasterMessagePrompt {
public:
    using Show = std::function<Outcome(const MasterMessage& message)>;

    GuiMessagePrompt(QObject* context, Show show);

    Outcome showMessage(const MasterMessage& message) override;
    void abort();

private:
    // Shared with the calls queued to the GUI thread, so that a call that runs late (after the
    // worker was woken by abort()) touches nothing that has gone.
    struct Shared {
        std::mutex mutex;
        std::condition_variable wake;
        bool aborted = false;
    };
    struct Pending {
        bool answered = false;
        Outcome outcome = Outcome::Aborted;
    };

    QPointer<QObject> m_context;
    Show m_show;
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};

} // namespace ondel
