#include "RconConsole.h"

#include "browser/BrowserRow.h"
#include "common/Text.h"
#include "rcon/QueryEngineRconPort.h"
#include "rcon/RconConsoleLayout.h"
#include "rcon/RconProtocol.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/DialogUnits.h"
#include "ui/toolkit/PlainText.h"
#include "ui/toolkit/StringTable.h"
#include "ui/toolkit/UiPrompt.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHostAddress>
#include <QHostInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace ondel {

namespace {

// The template's size in dialog units.
constexpr int kDialogWidth = 340;
constexpr int kDialogHeight = 224;

std::string currentTimeStamp() {
    QDateTime now = QDateTime::currentDateTime();
    QDate d = now.date();
    QTime t = now.time();
    return ConsoleLog::timeStamp(
        LocalDateTime{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()});
}

// The rendered text uses CR LF; the text box breaks lines at every CR as well, so the CRs go and
// each LF is one line break. A rendered entry never splits a CR LF pair, so appending the pieces
// gives the same lines as showing the whole text.
QString widgetText(std::string_view utf8) {
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    text.remove(QLatin1Char('\r'));
    return text;
}

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
      m_localPort(localPort) {
    setObjectName(QStringLiteral("RconConsole"));
    setProperty(kControlIdProperty, kDialogId);
    refreshTitle();
    setModal(false);
    setSizeGripEnabled(false); // the layout brings its own grip

    buildControls();

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

    redraw();
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

    m_output = makeControl<QPlainTextEdit>(this, du, kOutput, 7, 73, 326, 123);
    m_output->setReadOnly(true);
    m_output->setUndoRedoEnabled(false);
    m_output->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_output->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_output->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_output->setTabChangesFocus(true); // Tab walks on to the next control, as everywhere else
    // One tab after the time stamp must reach the same column as the two tabs that start a
    // continuation line: the stamp ends between the first and the second tab stop.
    qreal stampWidth =
        QFontMetricsF(m_output->font()).horizontalAdvance(QStringLiteral("00/00/00 00:00:00"));
    m_output->setTabStopDistance(stampWidth * 2 / 3 + 1);

    m_command = makeControl<QLineEdit>(this, du, kCommand, 7, 204, 218, 12);
    m_command->setAccessibleName(QStringLiteral("Command"));
    m_command->installEventFilter(this);
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
    connect(m_showDateTime, &QCheckBox::toggled, this, &RconConsole::redraw);
    connect(m_showEmptyLines, &QCheckBox::toggled, this, &RconConsole::redraw);
    connect(m_convertLog, &QCheckBox::toggled, this, &RconConsole::redraw);
    connect(m_showSentCommands, &QCheckBox::toggled, this, &RconConsole::redraw);
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
    appendEntry(std::string(text));
    // The session has read the text before it came here: a new refusal is told at once, with
    // why nothing more goes out with that password.
    if (m_session.refusalCount() != m_refusalsShown) {
        m_refusalsShown = m_session.refusalCount();
        appendEntry(std::string(rcon::kRefusedMessage));
    }
}

void RconConsole::appendEntry(std::string text) {
    m_log.append(std::move(text), currentTimeStamp());
    scheduleRedraw();
}

void RconConsole::scheduleRedraw() {
    if (m_redrawQueued)
        return;
    m_redrawQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_redrawQueued)
                redraw();
        },
        Qt::QueuedConnection);
}

ConsoleOptions RconConsole::optionsFromWindow() const {
    ConsoleOptions options;
    options.showDateTime = m_showDateTime->isChecked();
    options.showEmptyLines = m_showEmptyLines->isChecked();
    options.convertLogMessages = m_convertLog->isChecked();
    options.showSentCommands = m_showSentCommands->isChecked();
    return options;
}

QString RconConsole::droppedNotice() const {
    if (m_log.droppedCount() == 0)
        return {};
    return QStringLiteral("[%1 older messages dropped: the console keeps the latest %2]\n")
        .arg(m_log.droppedCount())
        .arg(m_log.maxEntries());
}

void RconConsole::setHistoryLimit(std::size_t entries) {
    m_log.setMaxEntries(entries);
    redraw();
}

void RconConsole::redraw() {
    m_redrawQueued = false;
    m_log.setOptions(optionsFromWindow());
    ConsoleLog::Update update = m_log.render();
    if (!update.replaceAll && update.text.empty() && update.dropped.empty())
        return;

    // Follow new text only when the view is at its end; otherwise keep the first visible line.
    QScrollBar* bar = m_output->verticalScrollBar();
    bool atEnd = bar->value() >= bar->maximum();
    int firstLine = bar->value();
    QTextDocument* document = m_output->document();
    if (update.replaceAll) {
        QString notice = droppedNotice();
        m_noticeLength = static_cast<int>(notice.size());
        m_output->setPlainText(notice + widgetText(update.text));
    } else {
        QTextCursor cursor(document);
        if (!update.dropped.empty()) {
            // The old notice and the dropped entries' lines go; the new count takes their place.
            int blocksBefore = document->blockCount();
            QString notice = droppedNotice();
            cursor.setPosition(m_noticeLength + static_cast<int>(widgetText(update.dropped).size()),
                               QTextCursor::KeepAnchor);
            cursor.insertText(notice);
            m_noticeLength = static_cast<int>(notice.size());
            firstLine = std::max(0, firstLine - (blocksBefore - document->blockCount()));
        }
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(widgetText(update.text));
    }
    bar->setValue(atEnd ? bar->maximum() : firstLine);
}

void RconConsole::send() {
    std::string password = m_password->text().toStdString();
    std::string command = m_command->text().toStdString();
    RconSession::SendResult result = m_session.send(password, command, m_oldProtocol->isChecked());
    if (result == RconSession::SendResult::PasswordRefused && confirmRefusedPassword()) {
        m_session.allowRefusedPassword();
        result = m_session.send(password, command, m_oldProtocol->isChecked());
    }
    switch (result) {
    case RconSession::SendResult::NoChallenge:
        appendEntry(loadString(1058).value_or(std::string()));
        return;
    case RconSession::SendResult::PasswordRefused:
        appendEntry(std::string(rcon::kRefusedMessage));
        return;
    case RconSession::SendResult::Sent:
        m_log.append(command, currentTimeStamp(), true);
        redraw();
        rememberCommand(command);
        break;
    case RconSession::SendResult::Held:
        appendEntry(std::string(rcon::kHeldMessage));
        break;
    case RconSession::SendResult::SendFailed:
        appendEntry(std::string(rcon::kSendFailedMessage));
        break;
    case RconSession::SendResult::TooLong:
        appendEntry(std::string(rcon::kTooLongMessage));
        break;
    }
    // Selected, so that typing replaces it and Enter sends it again.
    m_command->selectAll();
    m_command->setFocus();
}

bool RconConsole::confirmRefusedPassword() {
    if (m_prompt == nullptr) {
        m_ownPrompt = std::make_unique<UiPrompt>(this);
        m_prompt = m_ownPrompt.get();
    }
    const std::string question =
        "The server refused this rcon password. Many servers ban an address after 5 refused "
        "passwords within 30 s, some of them for good.\n\nSend with the same password again?";
    return m_prompt->message("Rcon Console", question, Prompt::Buttons::YesNo,
                             Prompt::Icon::Warning) == Prompt::Answer::Yes;
}

void RconConsole::setCommandHistoryFile(std::string path) {
    m_historyFile = std::move(path);
    CommandHistories all = readCommandHistories(m_historyFile);
    auto it = all.find(m_historyKey);
    m_history =
        CommandHistory(it != all.end() ? std::move(it->second) : std::vector<std::string>());
}

void RconConsole::rememberCommand(const std::string& command) {
    m_history.add(command);
    if (m_historyFile.empty())
        return;
    // Read again so that what another run wrote for other servers stays.
    CommandHistories all = readCommandHistories(m_historyFile);
    all[m_historyKey] = m_history.commands();
    writeCommandHistories(m_historyFile, all);
}

bool RconConsole::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_command && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        std::optional<std::string> line;
        if (key->key() == Qt::Key_Up)
            line = m_history.older(m_command->text().toStdString());
        else if (key->key() == Qt::Key_Down)
            line = m_history.newer();
        else
            return DynamicDialog::eventFilter(watched, event);
        if (line)
            m_command->setText(QString::fromStdString(*line));
        return true;
    }
    return DynamicDialog::eventFilter(watched, event);
}

void RconConsole::refreshTitle() {
    const ServerEntry& server = m_session.server();
    m_historyKey = addressText(server.address);
    QString title = QStringLiteral("Rcon Console - ") +
                    displayText(withVisibleControls(text::toDisplayUtf8(m_historyKey)));
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
