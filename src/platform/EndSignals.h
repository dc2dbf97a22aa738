#pragma once

#include <QObject>

#include <initializer_list>
#include <vector>

class QSocketNotifier;

namespace ondel {

// Turns the signals that ask a program to end (SIGTERM, SIGINT, SIGHUP) into a Qt signal on the
// thread that made the object, so that the program can end as its close box ends it. The
// handlers only write the signal's number to a pipe; the event loop reads it. Signals that
// arrive before the event loop runs wait in the pipe. One object per process; the previous
// handlers come back when it is destroyed.
class EndSignals : public QObject {
    Q_OBJECT
public:
    explicit EndSignals(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~EndSignals() override;
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    // Whether the handlers are in place (false when no pipe could be made).
    bool active() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void onReadable();

    QSocketNotifier* m_notifier = nullptr;
    std::vector<int> m_signals;
};

} // namespace ondel
