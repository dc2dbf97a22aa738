#include "RconConsole.h"

#include "browser/BrowserRow.h"
#include "common/Text.h"
#include "rcon/QueryEngineRconPort.h"
#include "rcon/RconConsoleLayout.h"
#include "rcon/RconProtocol.h"
#include "ui/rcon/RconCommandLine.h"
#include "ui/rcon/RconOutputView.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/DialogUnits.h"
#include "ui/toolkit/PlainText.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHostAddress>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace ondel {

namespace {

// The template's size in dialog units.
constexpr int kDialogWidth = 340;
constexpr int kDialogHeight = 224;

template <typename T>
T* makeControl(QWidget* parent, const DialogUnits& du, int id, int x, int y, int w, int h) {
    auto* control = new T(parent);
    setControlId(control, id);
    du.place(control, x, y, w, h);
    return control;
}

} // namespace

RconConsole::RconConsole(RconPort& port, int localPort, QWidget* parent)
    : RconConsole(nullptr, &port, localPort, parent) {}

RconConsole::RconConsole(QueryEngine& engine, int localPort, QWidget* parent)
    : RconConsole(std::make_unique<QueryEngineRconPort>(engine), nullptr, localPort, parent) {}

RconConsole::RconConsole(std::unique_ptr<RconPort> ownedPort, RconPort* external, int localPort,
                         QWidget* parent)
    : DynamicDialog(DynamicLayout::kHorizontal | DynamicLayout::kVertical,
                    DynamicLayout::kWithSizeGrip | DynamicLayout::kReduceFlicker, parent),
      m_ownedPort(std::move(ownedPort)), m_session(external ? *external : *m_ownedPort),
      m_sender(m_session, this), m_localPort(localPort) {
    setObjectName(QStringLiteral("RconConsole"));
    setProperty(kControlIdProperty, kDialogId);
    setModal(false);
    setSizeGripEnabled(false); // the layout brings its own grip

    buildControls();
    refreshTitle();

    // 1. the refresh timer of the "No:" field
    m_refreshTimer.setInterval(kRefreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &RconConsole::refreshChallenge);
    connect(&m_refreshTimer, &QTimer::timeout, this, &RconConsole::refreshTitle);
    m_refreshTimer.start();
    // 2. the controls follow the window
    registerLayout();
    // 3. print receiver first, then the challenge request, so no early reply is lost
    m_session.open([this](std::string_view text) { onPrint(text); });
    // 4. where this console receives datagrams (the server's log can be sent there)
    startConsoleAddressLookup();

    applyDisplayOptions();
    refreshChallenge();
    m_command->setFocus();
}

RconConsole::~RconConsole() {
    // No print reply may reach a console that is going away.
    m_session.close();
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    m_refreshTimer.stop();
}

void RconConsole::buildControls() {
    DialogUnits du(font());
    resize(du.size(kDialogWidth, kDialogHeight));

    // Group frames first: they lie beneath the controls they frame.
    auto* challengeGroup = makeControl<QGroupBox>(this, du, kChallengeGroup, 135, 2, 94, 66);
    challengeGroup->setTitle(QStringLiteral("Rcon challenge"));
    auto* optionsGroup = makeControl<QGroupBox>(this, du, kDisplayOptions, 233, 2, 100, 66);
    optionsGroup->setTitle(QStringLiteral("Display Options"));

    auto* passwordLabel = makeControl<QLabel>(this, du, kPasswordLabel, 7, 10, 50, 8);
    passwordLabel->setText(QStringLiteral("Password:"));
    m_password = makeControl<QLineEdit>(this, du, kPassword, 63, 8, 66, 12);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // '*'
    passwordLabel->setBuddy(m_password);

    auto* addressLabel = makeControl<QLabel>(this, du, kConsoleAddressLabel, 7, 25, 122, 8);
    addressLabel->setText(QStringLiteral("Console IP/Port:"));
    m_consoleAddress = makeControl<QPlainTextEdit>(this, du, kConsoleAddress, 7, 35, 122, 32);
    m_consoleAddress->setReadOnly(true);
    m_consoleAddress->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_consoleAddress->setTabChangesFocus(true);

    auto* challengeLabel = makeControl<QLabel>(this, du, kChallengeLabel, 141, 16, 14, 8);
    challengeLabel->setText(QStringLiteral("No:"));
    m_challenge = makeControl<QLineEdit>(this, du, kChallenge, 157, 14, 66, 12);
    m_challenge->setReadOnly(true);
    m_challenge->setAlignment(Qt::AlignCenter);
    m_challenge->setText(QStringLiteral("-"));
    m_requestNumber = makeControl<QPushButton>(this, du, kRequestNumber, 141, 31, 82, 14);
    m_requestNumber->setText(QStringLiteral("Request new number"));
    m_requestNumber->setAutoDefault(false);
    m_oldProtocol = makeControl<QCheckBox>(this, du, kOldProtocol, 141, 52, 86, 10);
    m_oldProtocol->setText(QStringLiteral("Use old Rcon-Protocol"));

    m_showDateTime = makeControl<QCheckBox>(this, du, kShowDateTime, 239, 12, 92, 10);
    m_showDateTime->setText(QStringLiteral("Show Date/Time"));
    m_showDateTime->setChecked(true);
    m_showEmptyLines = makeControl<QCheckBox>(this, du, kShowEmptyLines, 239, 25, 92, 10);
    m_showEmptyLines->setText(QStringLiteral("Show Empty Lines"));
    m_convertLog = makeControl<QCheckBox>(this, du, kConvertLog, 239, 38, 92, 10);
    m_convertLog->setText(QStringLiteral("Convert Log Messages"));
    m_showSentCommands = makeControl<QCheckBox>(this, du, kShowSentCommands, 239, 51, 92, 10);
    m_showSentCommands->setText(QStringLiteral("Show Sent Commands"));
    m_showSentCommands->setChecked(true);

    m_output = makeControl<RconOutputView>(this, du, kOutput, 7, 73, 326, 123);

    m_command = makeControl<RconCommandLine>(this, du, kCommand, 7, 204, 218, 12);
    m_command->setAccessibleName(QStringLiteral("Command"));
    m_send = makeControl<QPushButton>(this, du, kSend, 231, 203, 48, 14);
    m_send->setText(QStringLiteral("Send"));
    m_send->setDefault(true);
    m_close = makeControl<QPushButton>(this, du, kClose, 285, 203, 48, 14);
    m_close->setText(QStringLiteral("Close"));
    m_close->setAutoDefault(false);

    // Keyboard order: the command line first, as the window is mostly used from there.
    setTabOrder(m_command, m_send);
    setTabOrder(m_send, m_close);
    setTabOrder(m_close, m_output);
    setTabOrder(m_output, m_password);
    setTabOrder(m_password, m_consoleAddress);
    setTabOrder(m_consoleAddress, m_requestNumber);
    setTabOrder(m_requestNumber, m_oldProtocol);
    setTabOrder(m_oldProtocol, m_showDateTime);
    setTabOrder(m_showDateTime, m_showEmptyLines);
    setTabOrder(m_showEmptyLines, m_convertLog);
    setTabOrder(m_convertLog, m_showSentCommands);

    connect(m_send, &QPushButton::clicked, this, &RconConsole::send);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_requestNumber, &QPushButton::clicked, this, [this] {
        m_session.requestNewChallenge();
        refreshChallenge();
    });
    connect(m_showDateTime, &QCheckBox::toggled, this, &RconConsole::applyDisplayOptions);
    connect(m_showEmptyLines, &QCheckBox::toggled, this, &RconConsole::applyDisplayOptions);
    connect(m_convertLog, &QCheckBox::toggled, this, &RconConsole::applyDisplayOptions);
    connect(m_showSentCommands, &QCheckBox::toggled, this, &RconConsole::applyDisplayOptions);
}

void RconConsole::registerLayout() {
    initDynamicLayout();
    for (const ConsoleControlAnchor& anchor : rconConsoleLayout())
        addControl(controlById(anchor.controlId), anchor.percents, QSize(0, 0), true);
}

void RconConsole::startConsoleAddressLookup() {
    QString host = QHostInfo::localHostName().left(255);
    if (host.isEmpty())
        return;
    m_lookupId = QHostInfo::lookupHost(host, this, &RconConsole::onLocalHostInfo);
}

void RconConsole::onLocalHostInfo(const QHostInfo& info) {
    m_lookupId = -1;
    if (info.error() != QHostInfo::NoError)
        return;
    QStringList lines;
    const QList<QHostAddress> addresses = info.addresses();
    for (const QHostAddress& address : addresses) {
        bool isV4 = false;
        quint32 v4 = address.toIPv4Address(&isV4);
        if (!isV4)
            continue;
        lines << QStringLiteral("%1.%2.%3.%4:%5")
                     .arg((v4 >> 24) & 0xFF)
                     .arg((v4 >> 16) & 0xFF)
                     .arg((v4 >> 8) & 0xFF)
                     .arg(v4 & 0xFF)
                     .arg(m_localPort);
    }
    m_consoleAddress->setPlainText(lines.join(QLatin1Char('\n')));
}

void RconConsole::onPrint(std::string_view text) {
    m_output->append(std::string(text));
    // The session has read the text before it came here: a new refusal is told at once, with
    // why nothing more goes out with that password.
    if (std::string notice = m_sender.takeRefusalNotice(); !notice.empty())
        m_output->append(std::move(notice));
}

void RconConsole::applyDisplayOptions() {
    ConsoleOptions options;
    options.showDateTime = m_showDateTime->isChecked();
    options.showEmptyLines = m_showEmptyLines->isChecked();
    options.convertLogMessages = m_convertLog->isChecked();
    options.showSentCommands = m_showSentCommands->isChecked();
    m_output->setOptions(options);
}

const ConsoleLog& RconConsole::consoleLog() const {
    return m_output->log();
}

void RconConsole::setHistoryLimit(std::size_t entries) {
    m_output->setHistoryLimit(entries);
}

void RconConsole::setCommandHistoryFile(std::string path) {
    m_command->setHistoryFile(std::move(path));
}

const CommandHistory& RconConsole::commandHistory() const {
    return m_command->history();
}

void RconConsole::send() {
    std::string command = m_command->text().toStdString();
    RconSession::SendResult result =
        m_sender.send(m_password->text().toStdString(), command, m_oldProtocol->isChecked());
    if (result == RconSession::SendResult::Sent) {
        m_output->appendSentCommand(command);
        m_command->remember(command);
    } else {
        m_output->append(RconSender::messageFor(result));
    }
    if (result == RconSession::SendResult::NoChallenge ||
        result == RconSession::SendResult::PasswordRefused)
        return;
    // Selected, so that typing replaces it and Enter sends it again.
    m_command->selectAll();
    m_command->setFocus();
}

void RconConsole::refreshTitle() {
    const ServerEntry& server = m_session.server();
    std::string address = addressText(server.address);
    QString title = QStringLiteral("Rcon Console - ") +
                    displayText(withVisibleControls(text::toDisplayUtf8(address)));
    m_command->setServerKey(std::move(address));
    if (server.infoValid && !server.hostName.empty())
        title += QStringLiteral(" - ") + displayText(withVisibleControls(text::cutUtf8(
                                             text::toDisplayUtf8(server.hostName), 80)));
    if (windowTitle() != title)
        setWindowTitle(title);
}

void RconConsole::refreshChallenge() {
    QString text = QString::fromStdString(rcon::challengeDisplay(m_session.challenge()));
    if (m_challenge->text() != text)
        m_challenge->setText(text);
}

void RconConsole::flickerTimerTick() {
    refreshChallenge();
}

} // namespace ondel
