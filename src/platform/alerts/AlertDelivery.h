#pragma once

#include "alerts/AlertTracker.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace ondel {

// Delivers alerts away from the query thread: a worker posts each one to the webhook (retried
// after 1, 2 and 4 s; failures logged to stderr, after logName, without the address, which may
// hold a token) and runs the command with the event in its environment, one event after the
// other. Every member may be called from any thread.
//
// The command runs as `/bin/sh -c COMMAND` exactly as the user gave it; server text reaches it
// only as environment values (ONDEL_EVENT, ONDEL_SERVER, ONDEL_NAME, ONDEL_TIME, ONDEL_TEXT,
// ONDEL_PLAYERS, ONDEL_MAX_PLAYERS, ONDEL_MAP, ONDEL_PLAYER), never in the command line.
class AlertDelivery {
public:
    AlertDelivery(std::string webhookUrl, std::string command,
                  std::string logName = "ondel-cli watch");
    // Delivers what is queued (without retries once stopping) and ends the worker.
    ~AlertDelivery();
    AlertDelivery(const AlertDelivery&) = delete;
    AlertDelivery& operator=(const AlertDelivery&) = delete;

    bool active() const;
    // Where the events go from now on (events already queued too); empty: not there.
    void setTargets(std::string webhookUrl, std::string command);
    // Queues the event; returns at once. Beyond 1,000 waiting events new ones are dropped
    // (and said so). Nothing is queued while there is no target.
    void deliver(AlertEvent event);

private:
    void run();
    void post(const std::string& webhook, const AlertEvent& event);
    void runCommand(std::string command, const AlertEvent& event);
    // Waits up to ms unless stopping; false when stopping.
    bool pause(int ms);

    const std::string m_logName;
    mutable std::mutex m_mutex;
    std::string m_webhook;
    std::string m_command;
    std::condition_variable m_wake;
    std::deque<AlertEvent> m_queue;
    bool m_stopping = false;
    std::thread m_worker;
};

} // namespace ondel
