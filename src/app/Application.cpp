#include "Application.h"

#include "alerts/AlertSettings.h"
#include "browser/CountryLookup.h"
#include "common/Prompt.h"
#include "common/Text.h"
#include "geoip/MaxMindCountryLookup.h"
#include "history/HistorySamples.h"
#include "notify/Notifier.h"
#include "notify/PlayerWatch.h"
#include "platform/QtSettingsStore.h"
#include "query/ResultStore.h"
#include "serverlist/ListFiles.h"
#include "settings/SettingsKeys.h"
#include "settings/UserPaths.h"
#include "sqlite/SqliteHistoryStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace ondel {

namespace {
constexpr const char* kSocketError = "Can't initialize socket!!!";

// The lists may hold server passwords: a folder made here is the user's alone. An existing
// folder keeps the mode its owner gave it.
bool makePrivateDirectory(const QString& path) {
    if (QDir(path).exists())
        return true;
    const QString parent = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(parent))
        return false;
    return QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
} // namespace

std::string Application::defaultDataDirectory() {
    return userDataFolder();
}

Application::Application(Prompt& prompt, std::string dataDirectory)
    : m_prompt(prompt), m_dataDirectory(std::move(dataDirectory)),
      m_settings(std::make_unique<QtSettingsStore>()), m_budget(m_clock),
      m_router(m_socket, &m_budget), m_engine(m_clock, m_router, m_knowledge) {
    // Blocked servers get no packet from any window: the monitor, the browser, its pane.
    m_router.setRefusal([this](const ServerAddress& to) { return blockedBy(to); });
    m_socket.setReceiver([this](const std::uint8_t* data, std::size_t n, const std::string& host,
                                int port) { m_router.onDatagram(data, n, host, port); });
    m_engine.setResultHandler(
        [this](QueryEngine::Result what, const ServerEntry& record) { onResult(what, record); });
    m_scans.setResultObserver([this](const ScanResult& result) {
        noteSample(sampleFromScan(result, wallMs()));
        observeForAlerts(observationFromScan(result), true);
    });
    m_recordTimer.setInterval(kRecordEveryMs);
    connect(&m_recordTimer, &QTimer::timeout, this, &Application::recordSamples);
    connect(&m_recordTimer, &QTimer::timeout, this, &Application::reloadAlertsWhenChanged);
    // Servers without rules of their own or of their list are not watched.
    AlertRules none;
    none.downAfter = 0;
    m_alerts.setListRules(none);
}

Application::~Application() = default;

bool Application::start() {
    // 1. There is no socket library to start here.
    // 2. The settings store opens its file per operation; a store that cannot be written reads
    //    as its defaults, which is what the program wants.
    // 3. The query socket.
    if (!m_socket.openFirstFree())
        showError(false, kSocketError);
    // 4. The data directory.
    if (!m_dataDirectoryPrepared)
        prepareDataDirectory();
    // 5. The server lists, the custom list at index 0 as the current list. Files that could
    //    not be read are named, with what was done with them.
    m_saver.reset();
    const std::string problems = describeLoadProblems(loadAll(m_lists, m_dataDirectory));
    if (!problems.empty())
        m_prompt.message("Ondel", problems, Prompt::Buttons::Ok, Prompt::Icon::Warning);
    // From here on every change of a list reaches its file within seconds.
    m_saver = std::make_unique<ListSaver>(m_lists);
    connect(m_saver.get(), &ListSaver::writeFailed, this, &Application::onListWriteFailed);
    // 6. The history, beside the lists. The file is made by the first sample written.
    m_history = std::make_unique<SqliteHistoryStore>(
        m_dataDirectory + SqliteHistoryStore::kFileName,
        SqliteHistoryStore::Options{historyRetention(*m_settings), true});
    m_recordTimer.start();
    reloadAlertsWhenChanged();
    return true;
}

void Application::prepareDataDirectory() {
    m_dataDirectoryPrepared = true;
    // The one given (relative to the current directory), or the user's data folder; made when
    // missing, so that the lists of the run have a place.
    if (m_dataDirectory.empty())
        m_dataDirectory = defaultDataDirectory();
    if (m_dataDirectory.empty() || !makePrivateDirectory(QString::fromStdString(m_dataDirectory)))
        showError(false,
                  text::format("Can't create the data folder '%s'!!!", m_dataDirectory.c_str()));
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(m_dataDirectory, error);
    if (!error)
        m_dataDirectory = absolute.lexically_normal().string();
    if (m_dataDirectory.empty() || m_dataDirectory.back() != '/')
        m_dataDirectory += '/';
}

void Application::finish() {
    recordSamples();
    if (m_saver)
        m_saver->stop();
    if (!m_lists.empty())
        saveAll(m_lists);
}

int Application::saveChangedLists() {
    return m_saver ? m_saver->flush() : 0;
}

void Application::onListWriteFailed(const QString& listName, const QString& path) {
    m_prompt.message(
        "Ondel",
        text::format("The list '%s' could not be written to '%s'. Its servers stay in memory; "
                     "Ondel tries again every few seconds and at the end of the run.",
                     listName.toUtf8().constData(), path.toUtf8().constData()),
        Prompt::Buttons::Ok, Prompt::Icon::Warning);
}

void Application::showError(bool fatal, const std::string& text) {
    m_prompt.message("Error", text::cutUtf8(text, kMaxErrorText), Prompt::Buttons::Ok,
                     Prompt::Icon::Error);
    if (!fatal)
        return;
    if (m_exit) {
        m_exit(1);
        return;
    }
    std::fflush(nullptr);
    std::_Exit(1);
}

void Application::onResult(QueryEngine::Result what, const ServerEntry& record) {
    storeResult(m_lists, what, record);
    if (what == QueryEngine::Result::Info)
        noteSample(sampleFromEntry(record, m_engine.bots(), wallMs()));
    else if (what == QueryEngine::Result::Miss)
        noteSample(missSample(record.address, wallMs()));
    if (what == QueryEngine::Result::Info || what == QueryEngine::Result::Players)
        observeForAlerts(observationFromEntry(record, what == QueryEngine::Result::Players), false);
    else if (what == QueryEngine::Result::Miss)
        observeForAlerts(missObservation(addressText(record.address)), false);
    if (what != QueryEngine::Result::Info || m_masterStarted || !m_masterStarter)
        return;
    m_masterStarted = true;
    m_masterStarter();
}

std::int64_t Application::wallMs() const {
    return m_clock.nowMs1601() - kMs1601To1970;
}

void Application::noteSample(HistorySample sample) {
    if (m_history)
        m_samples.push_back(std::move(sample));
}

void Application::observeForAlerts(const AlertObservation& seen, bool fromBrowser) {
    if (m_alerted.count(seen.server) == 0)
        return;
    for (AlertEvent& event : m_alerts.observe(seen, wallMs())) {
        static const char* const kTitles[] = {"Server down", "Server back up", "Players",
                                              "Map changed", "Watched player online"};
        const bool announced = fromBrowser && event.kind == AlertKind::Player;
        if (m_notifier && !announced)
            m_notifier->notify(kTitles[static_cast<int>(event.kind)], event.text);
        m_delivery.deliver(std::move(event));
    }
}

void Application::reloadAlertsWhenChanged() {
    // The settings file's time and size and every list's name and servers: cheap to look at,
    // and all the rules depend on.
    std::size_t inputs = 0;
    auto mix = [&inputs](const std::string& text) {
        inputs = inputs * 1000003u ^ std::hash<std::string>{}(text);
    };
    if (auto* store = dynamic_cast<QtSettingsStore*>(m_settings.get())) {
        const QFileInfo file(store->iniFile());
        mix(std::to_string(file.lastModified().toMSecsSinceEpoch()) + '/' +
            std::to_string(file.size()));
    }
    for (std::size_t i = 0; i < m_lists.size(); ++i) {
        mix(m_lists.at(i).name());
        for (const ServerEntry& entry : m_lists.at(i).entries())
            mix(addressText(entry.address));
    }
    if (inputs != m_alertInputs || m_alertInputs == 0) {
        m_alertInputs = inputs;
        reloadAlerts();
    }
}

void Application::reloadAlerts() {
    m_delivery.setTargets(alertWebhook(*m_settings), alertCommand(*m_settings));
    const std::vector<std::string> watchList =
        watchListFromText(settings::read(*m_settings, settings::kWatchedPlayers));
    // A server's own rules, else those of the first list that holds it and has rules.
    std::map<std::string, AlertRules> rules;
    for (std::size_t i = 0; i < m_lists.size(); ++i) {
        const std::optional<AlertChoice> listChoice =
            readListAlerts(*m_settings, m_lists.at(i).name());
        for (const ServerEntry& entry : m_lists.at(i).entries()) {
            const std::string server = addressText(entry.address);
            if (rules.count(server) != 0)
                continue;
            std::optional<AlertChoice> choice = readServerAlerts(*m_settings, server);
            if (!choice)
                choice = listChoice;
            if (choice)
                rules.emplace(server, alertRules(*choice, watchList));
        }
    }
    for (const std::string& server : m_alerted) {
        if (rules.count(server) == 0)
            m_alerts.clearServerRules(server);
    }
    m_alerted.clear();
    for (auto& [server, serverRules] : rules) {
        m_alerts.setServerRules(server, std::move(serverRules));
        m_alerted.insert(server);
    }
}

void Application::recordSamples() {
    if (m_history && !m_samples.empty())
        m_history->record(std::exchange(m_samples, {}));
}

} // namespace ondel

namespace ondel {

const CountryLookup* Application::countries() {
    if (m_countriesOpened)
        return m_countries.get();
    m_countriesOpened = true;
    const std::string stored =
        m_settings ? settings::read(*m_settings, settings::kGeoIpDatabase) : std::string();
    const std::string path = findCountryDatabase(
        std::getenv("ONDEL_GEOIP_DB"), stored, m_dataDirectory, [](const std::string& p) {
            std::error_code error;
            return std::filesystem::is_regular_file(p, error);
        });
    if (path.empty())
        return nullptr;
    auto lookup = std::make_unique<MaxMindCountryLookup>();
    std::string error;
    // Without countries the browser hides its column; nothing else depends on them.
    if (!lookup->open(path, error)) {
        std::fprintf(stderr, "ondel: the country database %s cannot be used: %s\n",
                     text::toDisplayUtf8(path).c_str(), error.c_str());
        return nullptr;
    }
    m_countries = std::move(lookup);
    return m_countries.get();
}

} // namespace ondel

namespace ondel {

std::optional<std::string> Application::blockedBy(const ServerAddress& address) {
    if (m_dataDirectory.empty()) // before start(): no data folder, no blocklist
        return std::nullopt;
    const std::uint32_t now = m_clock.tickMs();
    if (!m_blocklistChecked || now - m_blocklistCheckedTick >= 1000) {
        m_blocklistChecked = true;
        m_blocklistCheckedTick = now;
        const std::string path = m_dataDirectory + "blocklist.txt";
        std::error_code error;
        const auto time = std::filesystem::last_write_time(path, error);
        if (error) {
            m_blocklist = Blocklist();
            m_blocklistTime = {};
        } else if (time != m_blocklistTime) {
            m_blocklist = Blocklist::load(path);
            m_blocklistTime = time;
        }
    }
    return m_blocklist.blockingAddress(address);
}

} // namespace ondel
