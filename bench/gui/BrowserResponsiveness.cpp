// How long the browser blocks the GUI thread while a refresh of many servers comes in.
// A probe timer asks to run every 5 ms; the longest gap between two of its runs, less the 5 ms,
// is the longest time the event loop was held. Goal: under 50 ms for 1,000 servers.
//
// Run: QT_QPA_PLATFORM=offscreen build/bench/BrowserResponsiveness [--servers N] [--ms T]
// Results arrive as a scan delivers them: spread evenly over T ms (default 1000), each server
// with a name, a map and 16 players; the table is sorted by players and filtered by text, so
// every batch re-sorts and re-filters.
#include "browser/ScanService.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsStore.h"
#include "ui/browser/BrowserProxyModel.h"
#include "ui/browser/BrowserWindow.h"
#include "ui/toolkit/UiPrompt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

using namespace ondel;

namespace {

class MemorySettings : public SettingsStore {
public:
    std::int32_t readInt(const std::string&, const std::string& name,
                         std::int32_t def) const override {
        auto it = m_ints.find(name);
        return it != m_ints.end() ? it->second : def;
    }
    std::string readString(const std::string&, const std::string&,
                           const std::string& def) const override {
        return def;
    }
    bool writeInt(const std::string&, const std::string& name, std::int32_t value) override {
        m_ints[name] = value;
        return true;
    }
    bool writeString(const std::string&, const std::string&, const std::string&) override {
        return true;
    }

private:
    std::map<std::string, std::int32_t> m_ints;
};

// Delivers one result per server, evenly spread over the given time, from a 1 ms timer.
class PacedScans : public ScanService {
public:
    explicit PacedScans(int spreadMs) : m_spreadMs(spreadMs) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { deliver(); });
        m_timer.setInterval(1);
    }
    void start(const std::vector<ServerAddress>& addresses, ResultHandler onResult,
               FinishedHandler onFinished) override {
        m_addresses = addresses;
        m_next = 0;
        m_onResult = std::move(onResult);
        m_onFinished = std::move(onFinished);
        m_clock.start();
        m_timer.start();
    }
    void cancel() override { m_timer.stop(); }
    bool running() const override { return m_timer.isActive(); }

private:
    void deliver() {
        const auto due =
            std::min(m_addresses.size(),
                     static_cast<std::size_t>(static_cast<double>(m_addresses.size()) *
                                              static_cast<double>(m_clock.elapsed()) / m_spreadMs));
        for (; m_next < due; ++m_next) {
            ScanResult r;
            r.index = m_next;
            r.address = m_addresses[m_next];
            r.status = ScanResult::Status::Up;
            r.pingMs = static_cast<int>(m_next % 200);
            r.dialect = m_next % 5 == 0 ? QueryDialect::Steam : QueryDialect::Legacy;
            r.entry.address = r.address;
            r.entry.infoValid = true;
            r.entry.hostName = "Refreshed server " + std::to_string(m_next);
            r.entry.map = m_next % 3 == 0 ? "de_dust2" : "crossfire";
            r.entry.players = static_cast<std::uint8_t>(m_next % 17);
            r.entry.maxPlayers = 16;
            r.gotPlayers = true;
            for (int p = 0; p < 16; ++p)
                r.entry.playerList.push_back(
                    {static_cast<std::uint8_t>(p), "Player " + std::to_string(p), p, p * 60});
            m_onResult(r);
        }
        if (m_next == m_addresses.size()) {
            m_timer.stop();
            m_onFinished();
        }
    }

    int m_spreadMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::vector<ServerAddress> m_addresses;
    std::size_t m_next = 0;
    ResultHandler m_onResult;
    FinishedHandler m_onFinished;
};

} // namespace

int main(int argc, char** argv) {
    int servers = 1000;
    int spreadMs = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--servers") == 0)
            servers = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--ms") == 0)
            spreadMs = std::max(1, std::atoi(argv[i + 1]));
    }
    QApplication app(argc, argv);

    ServerListSet lists;
    ServerList list("bench.sl06", "bench.sl06", "Bench");
    for (int i = 0; i < servers; ++i) {
        ServerEntry e;
        e.address = {"10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256), 27015};
        e.hostName = "Server " + std::to_string(i);
        list.entries().push_back(e);
    }
    lists.append(std::move(list));
    MemorySettings settings;
    PacedScans scans(spreadMs);
    UiPrompt prompt;
    BrowserWindow window(lists, settings, scans, prompt, {});
    window.show();
    auto* table = window.findChild<QTableView*>(QLatin1String(BrowserWindow::kServerTable));
    auto* filter = window.findChild<QLineEdit*>(QLatin1String(BrowserFilterBar::kFilterText));
    if (table == nullptr || filter == nullptr) {
        std::fprintf(stderr, "the browser's table or filter is missing\n");
        return 1;
    }
    table->sortByColumn(static_cast<int>(BrowserColumn::Players), Qt::DescendingOrder);
    filter->setText(QStringLiteral("server"));

    QElapsedTimer total;
    QElapsedTimer sinceProbe;
    qint64 worstGap = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { worstGap = std::max(worstGap, sinceProbe.restart()); });
    QObject::connect(&window, &BrowserWindow::refreshFinished, [&] {
        // One more turn of the loop so that the last batch's painting is measured too.
        QTimer::singleShot(50, &app, &QApplication::quit);
    });
    QTimer::singleShot(0, [&] {
        total.start();
        sinceProbe.start();
        probe.start();
        window.refresh();
    });
    app.exec();
    std::printf("servers %d over %d ms: refresh took %lld ms; longest event-loop stall %lld ms "
                "(probe gap %lld ms less its 5 ms interval); %d rows shown\n",
                servers, spreadMs, static_cast<long long>(total.elapsed()),
                static_cast<long long>(std::max<qint64>(worstGap - 5, 0)),
                static_cast<long long>(worstGap), window.proxy().rowCount());
    return 0;
}
