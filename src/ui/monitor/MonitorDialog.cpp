// The monitor window: its form (menu and controls), the console it opens, and its window events.
#include "MonitorDialog.h"

#include "MonitorText.h"

#include "ListSelector.h"
#include "NewListDialog.h"
#include "RenameListDialog.h"
#include "ServerSelector.h"
#include "UpDownArrows.h"
#include "common/Clock.h"
#include "common/Text.h"
#include "monitor/CellColour.h"
#include "monitor/DetailsPanel.h"
#include "monitor/WindowTitle.h"
#include "platform/QuerySocket.h"
#include "query/QueryEngine.h"
#include "serverlist/ListCommands.h"
#include "serverlist/ServerListOrder.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"
#include "ui/browser/BrowserWindow.h"
#include "ui/discover/FindServersDialog.h"
#include "ui/rcon/RconConsole.h"
#include "ui/toolkit/AboutDialog.h"
#include "ui/toolkit/CEditEx.h"
#include "ui/toolkit/ColorListCtrl.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/DialogUnits.h"
#include "ui/toolkit/PlainText.h"
#include "ui/toolkit/UiPrompt.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

// The program's icons are compiled into the static library's resource object, which the linker
// keeps only when something refers to it (without this the windows had no icon).
static void registerMonitorResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(monitor);
        return true;
    }();
    (void)registered;
}

namespace ondel {

namespace {

// Command ids of menu 129.
constexpr int kConnectCommand = 3;
constexpr int kSettingsCommand = 40003;
constexpr int kAboutCommand = 40005;
constexpr int kRconConsoleCommand = 40013;
constexpr int kExitCommand = 57665;
constexpr int kBrowserCommand = 40040;

QLineEdit* makeReadOnly(QLineEdit* edit) {
    edit->setReadOnly(true);
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Window));
    edit->setPalette(p);
    return edit;
}

} // namespace

MonitorDialog::MonitorDialog(WindowServices services, UiPrompt& prompt, QWidget* parent)
    : QDialog(parent), m_services(std::move(services)), m_prompt(prompt) {
    // A main window: in the task bar, with a minimise box, not resizable.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    registerMonitorResources();
    QIcon icon;
    for (const char* file :
         {":/ondel/ondel-16.png", ":/ondel/ondel-32.png", ":/ondel/ondel-64.png"})
        icon.addFile(QString::fromLatin1(file));
    setWindowIcon(icon);
    if (m_prompt.parentWidget() == nullptr)
        m_prompt.setParentWidget(this);

    buildMenu();
    buildControls();

    QAction* rcon = commandAction(kRconConsoleCommand);
    rcon->setEnabled(true);
    connect(rcon, &QAction::triggered, this, &MonitorDialog::openRconConsole);
    connect(this, &MonitorDialog::aboutToSelectServer, this, &MonitorDialog::closeRconConsole);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_menuBar);
    layout->addWidget(m_client);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Initialisation: the selectors with list 0, then no server shown, then timer 1.
    fillSelector();
    m_serverSelector->setEditTextQuietly(QString());
    fillListSelector();
    m_listSelector->setCurrentIndex(0);
    selectServer();

    m_timer = new QTimer(this);
    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, &MonitorDialog::tick);
    m_timer->start();
}

MonitorDialog::~MonitorDialog() {
    if (m_prompt.parentWidget() == this)
        m_prompt.setParentWidget(nullptr);
}

void MonitorDialog::openRconConsole() {
    // The old console goes first, so that its print receiver is cleared before the new one is
    // registered.
    closeRconConsole();
    m_console = std::make_unique<RconConsole>(m_services.engine, m_services.socket.localPort());
    m_console->setCommandHistoryFile(m_services.dataDirectory + "rcon-history.txt");
    // In front of the monitor, with the keyboard in the command field.
    m_console->show();
    m_console->raise();
    m_console->activateWindow();
}

void MonitorDialog::closeRconConsole() {
    m_console.reset();
}

QAction* MonitorDialog::addCommand(QMenu* menu, const QString& text, int id) {
    QAction* action = menu->addAction(text);
    setControlId(action, id);
    m_commands[id] = action;
    return action;
}

QComboBox* MonitorDialog::listSelector() const {
    return m_listSelector;
}

QAction* MonitorDialog::commandAction(int id) const {
    auto it = m_commands.find(id);
    return it != m_commands.end() ? it->second : nullptr;
}

void MonitorDialog::buildMenu() {
    m_menuBar = new QMenuBar(this);
    setControlId(m_menuBar, 129);

    QMenu* file = m_menuBar->addMenu(QStringLiteral("&File"));
    addCommand(file, QStringLiteral("&Connect ..."), kConnectCommand)->setEnabled(false);
    addCommand(file, QStringLiteral("&Rcon-Console ..."), kRconConsoleCommand)->setEnabled(false);
    file->addSeparator();
    connect(addCommand(file, QStringLiteral("&Exit"), kExitCommand), &QAction::triggered, this,
            &QDialog::reject);

    QMenu* settingsMenu = m_menuBar->addMenu(QStringLiteral("&Settings"));
    addCommand(settingsMenu, QStringLiteral("&Settings ..."), kSettingsCommand)->setEnabled(false);
    QMenu* sort = settingsMenu->addMenu(QStringLiteral("Sort Server List"));
    const char* sortTexts[] = {"Unsorted", "Name", "IP/Port", "Game + Name", "Game + IP/Port"};
    for (int i = 0; i < 5; ++i) {
        const int id = kFirstSortCommand + i;
        connect(addCommand(sort, QString::fromLatin1(sortTexts[i]), id), &QAction::triggered, this,
                [this, id] { onSortCommand(id); });
    }
    QAction* tray =
        addCommand(settingsMenu, QStringLiteral("Players in the &Tray Icon"), kTrayIconCommand);
    tray->setCheckable(true);
    tray->setEnabled(false);

    QMenu* lists = m_menuBar->addMenu(QStringLiteral("Server &List"));
    connect(addCommand(lists, QStringLiteral("&Open ..."), kOpenListCommand), &QAction::triggered,
            this, &MonitorDialog::onOpenList);
    connect(addCommand(lists, QStringLiteral("&Delete"), kDeleteListCommand), &QAction::triggered,
            this, &MonitorDialog::onDeleteList);
    connect(addCommand(lists, QStringLiteral("&Rename ..."), kRenameListCommand),
            &QAction::triggered, this, &MonitorDialog::onRenameList);
    connect(addCommand(lists, QStringLiteral("&New ..."), kNewListCommand), &QAction::triggered,
            this, &MonitorDialog::onNewList);
    lists->addSeparator();
    connect(addCommand(lists, QStringLiteral("&Browser..."), kBrowserCommand), &QAction::triggered,
            this, &MonitorDialog::openBrowser);
    connect(addCommand(lists, QStringLiteral("&Find Servers..."), kFindServersCommand),
            &QAction::triggered, this, &MonitorDialog::onFindServers);

    QMenu* help = m_menuBar->addMenu(QStringLiteral("&?"));
    connect(addCommand(help, QStringLiteral("&About ..."), kAboutCommand), &QAction::triggered,
            this, &MonitorDialog::onAbout);
}

void MonitorDialog::buildControls() {
    m_client = new QWidget(this);
    const DialogUnits du(font());
    m_client->setFixedSize(du.size(400, 321));
    QWidget* c = m_client;

    auto label = [&](const QString& text, int x, int y, int w, int h) {
        auto* l = new QLabel(c);
        setPlainLabelText(l, text);
        du.place(l, x, y, w, h);
        return l;
    };
    auto group = [&](const QString& title, int x, int y, int w, int h) {
        auto* g = new QGroupBox(title, c);
        du.place(g, x, y, w, h);
        return g;
    };
    auto field = [&](QLineEdit* edit, int id, int x, int y, int w, int h) {
        setControlId(edit, id);
        du.place(edit, x, y, w, h);
        return edit;
    };

    // Frames first, so that the controls inside are drawn over them.
    group(QStringLiteral("Password"), 292, 44, 100, 48);
    group(QStringLiteral("Bandwidth"), 96, 96, 96, 44);
    group(QStringLiteral("Server details"), 12, 140, 180, 172);

    label(QStringLiteral("Serverliste:"), 8, 10, 43, 8);
    m_listSelector = new ListSelector(c);
    setControlId(m_listSelector, 1009);
    du.place(m_listSelector, 52, 8, 324, 13);

    label(QStringLiteral("IP/Port:"), 8, 26, 43, 8);
    m_serverSelector = new ServerSelector(c);
    setControlId(m_serverSelector, 1008);
    du.place(m_serverSelector, 52, 24, 324, 13);

    m_arrows = new UpDownArrows(c);
    setControlId(m_arrows, 1043);
    du.place(m_arrows, 380, 24, 11, 13);

    label(QStringLiteral("Comment:"), 8, 46, 43, 8);
    m_comment = new QPlainTextEdit(c);
    setControlId(m_comment, 1018);
    m_comment->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_comment->setTabChangesFocus(true);
    du.place(m_comment, 52, 44, 232, 48);

    m_password = field(new QLineEdit(c), 1006, 300, 57, 84, 12);
    m_hide = new QCheckBox(QStringLiteral("Hide"), c);
    setControlId(m_hide, 1010);
    du.place(m_hide, 302, 76, 38, 10);
    m_save = new QCheckBox(QStringLiteral("Save"), c);
    setControlId(m_save, 1011);
    du.place(m_save, 344, 76, 40, 10);

    auto* reserved = label(QStringLiteral("Reserved Slots:"), 8, 99, 43, 17);
    reserved->setWordWrap(true);
    m_reservedSlots = new QComboBox(c);
    setControlId(m_reservedSlots, 1022);
    m_reservedSlots->addItem(QStringLiteral("Auto"));
    for (int i = 0; i <= 20; ++i)
        m_reservedSlots->addItem(QString::number(i));
    m_reservedSlots->setMaxVisibleItems(12);
    du.place(m_reservedSlots, 52, 100, 40, 13);

    label(QStringLiteral("Ping:"), 8, 122, 43, 8);
    m_ping = makeReadOnly(field(new QLineEdit(c), 1002, 52, 120, 40, 12));

    label(QStringLiteral("Send:"), 102, 110, 34, 8);
    m_send = makeReadOnly(field(new QLineEdit(c), 1004, 138, 108, 48, 12));
    label(QStringLiteral("Receive:"), 102, 126, 34, 8);
    m_receive = makeReadOnly(field(new QLineEdit(c), 1005, 138, 124, 48, 12));

    // The details panel: the server name on two lines, then one row per detail.
    m_hostName = new QPlainTextEdit(c);
    setControlId(m_hostName, 1012);
    m_hostName->setReadOnly(true);
    m_hostName->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_hostName->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_hostName->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_hostName->document()->setDocumentMargin(1);
    {
        QPalette p = m_hostName->palette();
        p.setColor(QPalette::Base, p.color(QPalette::Window));
        m_hostName->setPalette(p);
    }
    du.place(m_hostName, 18, 152, 168, 21);

    struct Row {
        const char* label;
        int id;
        bool coloured;
        QLineEdit** edit;
    };
    QLineEdit* gameEdit = nullptr;
    QLineEdit* mapEdit = nullptr;
    QLineEdit* pwEdit = nullptr;
    const Row rows[] = {
        {"Last Connected:", 1025, false, &m_lastConnected},
        {"Game:", 1015, true, &gameEdit},
        {"Players:", 1007, false, &m_playersText},
        {"Map:", 1013, true, &mapEdit},
        {"PW:", 1014, true, &pwEdit},
        {"Type:", 1017, false, &m_type},
        {"Admin Mod:", 1019, false, &m_adminMod},
        {"Friendly Fire:", 1021, false, &m_friendlyFire},
        {"Timelimit:", 1023, false, &m_timeLimit},
        {"Timeleft:", 1024, false, &m_timeLeft},
    };
    int y = 177;
    for (const Row& r : rows) {
        label(QString::fromLatin1(r.label), 18, y + 2, 56, 8);
        QLineEdit* edit = r.coloured ? new CEditEx(c) : makeReadOnly(new QLineEdit(c));
        edit->setReadOnly(true);
        *r.edit = field(edit, r.id, 76, y, 110, 12);
        y += 13;
    }
    m_game = static_cast<CEditEx*>(gameEdit);
    m_map = static_cast<CEditEx*>(mapEdit);
    m_passwordRequired = static_cast<CEditEx*>(pwEdit);

    // The player and rules views; column widths in pixels of the classic dialog font, scaled.
    m_players = new ColorListCtrl(c);
    setControlId(m_players, 1003);
    m_players->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_players->setColumns({{QString(), 0, Qt::AlignLeft},
                           {QStringLiteral("#"), du.scaledPixels(20), Qt::AlignLeft},
                           {QStringLiteral("Name"), du.scaledPixels(146), Qt::AlignLeft},
                           {QStringLiteral("Frags"), du.scaledPixels(40), Qt::AlignRight},
                           {QStringLiteral("Time"), du.scaledPixels(50), Qt::AlignHCenter}});
    du.place(m_players, 208, 100, 184, 152);

    m_rules = new ColorListCtrl(c);
    setControlId(m_rules, 1000);
    m_rules->setSelectionMode(QAbstractItemView::SingleSelection);
    m_rules->setColumns({{QString(), 0, Qt::AlignLeft},
                         {QStringLiteral("#"), du.scaledPixels(25), Qt::AlignLeft},
                         {QStringLiteral("Name"), du.scaledPixels(106), Qt::AlignLeft},
                         {QStringLiteral("Value"), du.scaledPixels(125), Qt::AlignLeft}});
    m_rules->header()->setSectionsClickable(false);
    du.place(m_rules, 208, 260, 184, 52);

    connect(m_players, &ColorListCtrl::headerClicked, this, &MonitorDialog::onPlayerHeaderClicked);
    connect(m_players, &ColorListCtrl::rowSelectionChanged, this,
            &MonitorDialog::onPlayerRowSelection);
    connect(m_serverSelector, &QComboBox::editTextChanged, this,
            &MonitorDialog::onServerTextEdited);
    connect(m_serverSelector, &QComboBox::activated, this, &MonitorDialog::onServerItemChosen);
    connect(m_serverSelector, &ServerSelector::aboutToShowPopup, this,
            &MonitorDialog::fillSelector);
    connect(m_serverSelector, &ServerSelector::deleteRequested, this, &MonitorDialog::deleteEntry);
    connect(m_arrows, &UpDownArrows::stepped, this, &MonitorDialog::onArrowStep);
    connect(m_password, &QLineEdit::textEdited, this, &MonitorDialog::onPasswordEdited);
    connect(m_save, &QCheckBox::clicked, this, &MonitorDialog::onPasswordEdited);
    connect(m_hide, &QCheckBox::clicked, this, &MonitorDialog::onHideClicked);
    connect(m_comment, &QPlainTextEdit::textChanged, this, &MonitorDialog::onCommentEdited);
    connect(m_reservedSlots, &QComboBox::activated, this, &MonitorDialog::onReservedSlotsChosen);
    connect(m_listSelector, &QComboBox::activated, this, &MonitorDialog::onListChosen);
    connect(m_listSelector, &ListSelector::aboutToShowPopup, this,
            &MonitorDialog::fillListSelector);
}

// --- events --------------------------------------------------------------------------------

void MonitorDialog::keyPressEvent(QKeyEvent* event) {
    // Enter never ends the window (it has no default button); Esc does, as the close box.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MonitorDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        m_minimized = windowState().testFlag(Qt::WindowMinimized);
        updateTitle();
    }
    QDialog::changeEvent(event);
}

void MonitorDialog::onPlayerHeaderClicked(int column) {
    m_sort.headerClicked(column);
    refreshPlayers();
    refreshRules();
}

void MonitorDialog::onPlayerRowSelection(int row, bool selected) {
    if (m_refreshing)
        return;
    const auto key = static_cast<std::uint8_t>(m_players->rowValue(row));
    m_work = m_services.engine.currentServer();
    setPlayerSelected(m_work, key, selected);
    m_services.engine.setCurrentServer(m_work);
}

} // namespace ondel
