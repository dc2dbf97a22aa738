#pragma once

#include "rcon/CommandHistory.h"
#include "rcon/ConsoleLog.h"
#include "rcon/RconPort.h"
#include "rcon/RconSession.h"
#include "ui/rcon/RconSender.h"
#include "ui/toolkit/DynamicDialog.h"

#include <QTimer>

#include <memory>
#include <string>
#include <string_view>

class QCheckBox;
class QHostInfo;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace ondel {

class Prompt;
class QueryEngine;
class RconCommandLine;
class RconOutputView;

// The modeless "Rcon Console" window (dialog 137): commands typed here go to the current server
// as RCON datagrams, and everything the server prints back (command output, log lines sent to
// this program's address) is shown with its arrival time, optionally converted.
//
// On creation it registers itself as the engine's print receiver and asks for a challenge
// number; on destruction, whatever its cause, it clears that registration first. Close and
// Escape only hide it: the history (the latest ConsoleLog::kDefaultMaxEntries entries) keeps
// growing while it is hidden. The title names the server ("Rcon Console - HOST:PORT - NAME").
// Up and Down in the command line walk the commands sent to this server before (CommandHistory,
// kept in a file when setCommandHistoryFile() names one; see RconCommandLine). A command that the
// packet budget or the socket did not send says so in the output (RconOutputView), and so does a
// refused password, after which the same password goes out again only when the user confirms it
// (RconSender). The window
// that creates it owns it (it is created without a parent). The port (or engine) must outlive the
// console. GUI thread only.
class RconConsole : public DynamicDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 137;
    static constexpr int kRefreshIntervalMs = 250;

    // Control ids of the dialog template.
    enum ControlIds : int {
        kClose = 2,
        kCommand = 1027,
        kSend = 1028,
        kPassword = 1029,
        kConsoleAddress = 1031,
        kChallenge = 1032,
        kConsoleAddressLabel = 1033,
        kChallengeLabel = 1034,
        kOutput = 1035,
        kShowDateTime = 1036,
        kShowEmptyLines = 1037,
        kDisplayOptions = 1038,
        kConvertLog = 1039,
        kPasswordLabel = 1040,
        kOldProtocol = 1041,
        kChallengeGroup = 1042,
        kShowSentCommands = 1043,
        kRequestNumber = 1057,
    };

    // localPort is the query socket's port, shown with each local address as where the server
    // can send its log.
    RconConsole(RconPort& port, int localPort, QWidget* parent = nullptr);
    RconConsole(QueryEngine& engine, int localPort, QWidget* parent = nullptr);
    ~RconConsole() override;

    const ConsoleLog& consoleLog() const;
    // How many entries the history keeps (the oldest are dropped beyond that); the output then
    // starts with a line saying how many were dropped.
    void setHistoryLimit(std::size_t entries);

    // The file in which every server's sent commands are kept between runs (read at once, written
    // after each send). Without one they last as long as the window.
    void setCommandHistoryFile(std::string path);
    const CommandHistory& commandHistory() const;
    // Where the password question goes (not owned; tests answer it). Default: a message box.
    void setPrompt(Prompt* prompt) { m_sender.setPrompt(prompt); }

protected:
    void flickerTimerTick() override;

private:
    // Uses external when given, otherwise the owned port.
    RconConsole(std::unique_ptr<RconPort> ownedPort, RconPort* external, int localPort,
                QWidget* parent);
    void buildControls();
    void registerLayout();
    void startConsoleAddressLookup();
    void onLocalHostInfo(const QHostInfo& info);

    void onPrint(std::string_view text);
    void send();
    void refreshChallenge();
    void refreshTitle();
    void applyDisplayOptions();

    std::unique_ptr<RconPort> m_ownedPort;
    RconSession m_session;
    RconSender m_sender;
    QTimer m_refreshTimer;
    int m_localPort;
    int m_lookupId = -1;

    QLineEdit* m_password = nullptr;
    QPlainTextEdit* m_consoleAddress = nullptr;
    QLineEdit* m_challenge = nullptr;
    QCheckBox* m_showDateTime = nullptr;
    QCheckBox* m_showEmptyLines = nullptr;
    QCheckBox* m_convertLog = nullptr;
    QCheckBox* m_oldProtocol = nullptr;
    QCheckBox* m_showSentCommands = nullptr;
    RconOutputView* m_output = nullptr;
    RconCommandLine* m_command = nullptr;
    QPushButton* m_send = nullptr;
    QPushButton* m_close = nullptr;
    QPushButton* m_requestNumber = nullptr;
};

} // namespace ondel
