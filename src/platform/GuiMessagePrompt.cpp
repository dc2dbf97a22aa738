#include "GuiMessagePrompt.h"

#include <QMetaObject>
#include <QObject>

namespace ondel {

GuiMessagePrompt::GuiMessagePrompt(QObject* context, Show show)
    : m_context(context), m_show(std::move(show)) {}

MasterMessagePrompt::Outcome GuiMessagePrompt::showMessage(const MasterMessage& message) {
    std::shared_ptr<Shared> shared = m_shared;
    auto pending = std::make_shared<Pending>();
    {
        std::lock_guard lock(shared->mutex);
        if (shared->aborted)
            return Outcome::Aborted;
    }
    QObject* context = m_context.data();
    if (!context)
        return Outcome::Aborted;
    QMetaObject::invokeMethod(
        context,
        [shared, pending, show = m_show, message] {
            {
                std::lock_guard lock(shared->mutex);
                if (shared->aborted)
                    return;
            }
            Outcome outcome = show(message);
            std::lock_guard lock(shared->mutex);
            pending->outcome = outcome;
            pending->answered = true;
            shared->wake.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock lock(shared->mutex);
    shared->wake.wait(lock, [&] { return pending->answered || shared->aborted; });
    return pending->answered ? pending->outcome : Outcome::Aborted;
}

void GuiMessagePrompt::abort() {
    std::lock_guard lock(m_shared->mutex);
    m_shared->aborted = true;
    m_shared->wake.notify_all();
}

} // namespace ondel
