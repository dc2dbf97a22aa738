#include "Application.h"

#include "common/Prompt.h"
#include "common/Text.h"
#include "platform/QtSettingsStore.h"
#include "query/ResultStore.h"
#include "serverlist/ListFiles.h"
#include "settings/UserPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

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
    m_socket.setReceiver([this](const std::uint8_t* data, std::size_t n, const std::string& host,
                                int port) { m_router.onDatagram(data, n, host, port); });
    m_engine.setResultHandler(
        [this](QueryEngine::Result what, const ServerEntry& record) { onResult(what, record); });
}

Application::~Application() = default;

bool Application::start() {
    // 1. There is no socket library to start here; Qt's networking needs no set-up.
    // 2. The settings store opens its file per operation; a store that cannot be written reads
    //    as its defaults, which is what the program wants.
    // 3. The query socket.
    if (!m_socket.openFirstFree(QuerySocket::kFirstPort, QuerySocket::kPortCount))
        showError(false, kSocketError);
    // 4. The data directory: the one given (relative to the current directory), or the user's
    //    data folder, made on first use.
    if (m_dataDirectory.empty()) {
        m_dataDirectory = defaultDataDirectory();
        if (m_dataDirectory.empty() ||
            !makePrivateDirectory(QString::fromStdString(m_dataDirectory)))
            showError(false, text::format("Can't create the data folder '%s'!!!",
                                          m_dataDirectory.c_str()));
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(m_dataDirectory, error);
    if (!error)
        m_dataDirectory = absolute.lexically_normal().string();
    if (m_dataDirectory.empty() || m_dataDirectory.back() != '/')
        m_dataDirectory += '/';
    // 5. The server lists, the custom list at index 0 as the current list.
    loadAll(m_lists, m_dataDirectory);
    return true;
}

void Application::finish() {
    if (!m_lists.empty())
        saveAll(m_lists);
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
    if (what != QueryEngine::Result::Info || m_masterStarted || !m_masterStarter)
        return;
    m_masterStarted = true;
    m_masterStarter();
}

} // namespace ondel
