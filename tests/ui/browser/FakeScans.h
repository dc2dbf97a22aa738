#pragma once

#include "browser/ScanService.h"

#include <vector>

namespace ondel::test {

// Scans that report only what the test hands in.
class FakeScans : public ScanService {
public:
    void start(const std::vector<ServerAddress>& addresses, ResultHandler onResult,
               FinishedHandler onFinished) override {
        started.push_back(addresses);
        m_onResult = std::move(onResult);
        m_onFinished = std::move(onFinished);
        m_running = true;
    }
    void cancel() override {
        m_running = false;
        ++cancels;
    }
    bool running() const override { return m_running; }

    void report(const ScanResult& r) {
        if (m_running)
            m_onResult(r);
    }
    void finish() {
        m_running = false;
        m_onFinished();
    }

    std::vector<std::vector<ServerAddress>> started;
    int cancels = 0;

private:
    ResultHandler m_onResult;
    FinishedHandler m_onFinished;
    bool m_running = false;
};

} // namespace ondel::test
