// The monitor window: its shell (menu, form, refresh cycle, title) and its window events.
#include "MonitorDialog.h"

#include "EntryEditor.h"
#include "ListMenuCommands.h"
#include "MonitorWindows.h"
#include "ServerDetailsView.h"
#include "StretchForm.h"
#include "common/Text.h"
#include "monitor/WindowTitle.h"
#include "query/QueryEngine.h"
#include "serverlist/ListCommands.h"
#include "serverlist/ServerListOrder.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"
#include "ui/discover/FindServersDialog.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/DialogUnits.h"
#include "ui/toolkit/PlainText.h"
#include "ui/toolkit/UiPrompt.h"
#include "ui/toolkit/WindowSize.h"

#include <QAction>
#include <QEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

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
constexpr int kAlertsCommand = 40070;

// The form's size in dialog units.
constexpr int kFormWidth = 400;
constexpr int kFormHeight = 321;

} // namespace

QFont MonitorDialog::fittingFont(QFont font, QSize room) {
    auto fits = [&room](const QFont& f) {
        const QSize form = DialogUnits(f).size(kFormWidth, kFormHeight);
        const int menu = QFontMetrics(f).height() + 10;
        return form.width() <= room.width() && form.height() + menu <= room.height();
    };
    if (room.isEmpty() || font.pointSizeF() <= 0)
        return font;
    while (!fits(font) && font.pointSizeF() > 6.0)
        font.setPointSizeF(std::max(6.0, font.pointSizeF() - 0.5));
    return font;
}

MonitorDialog::MonitorDialog(WindowServices services, UiPrompt& prompt, QWidget* parent)
    : QDialog(parent), m_services(std::move(services)), m_prompt(prompt) {
    // A main window: in the task bar, with minimise and maximise boxes.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    registerMonitorResources();
    QIcon icon;
    for (const char* file :
         {":/ondel/ondel-16.png", ":/ondel/ondel-32.png", ":/ondel/ondel-64.png"})
        icon.addFile(QString::fromLatin1(file));
    setWindowIcon(icon);
    if (m_prompt.parentWidget() == nullptr)
        m_prompt.setParentWidget(this);

    // The form keeps its designed size at least; a smaller window scrolls it, a larger one gives
    // the room to the player and rules views.
    if (const QFont fitting = fittingFont(font(), roomOnScreen(*this)); fitting != font())
        setFont(fitting);
    const DialogUnits du(font());
    m_form = new StretchForm(du.size(kFormWidth, kFormHeight), this);
    m_editor = new EntryEditor(m_services, m_prompt, m_work, m_form, du);
    m_view = new ServerDetailsView(m_services, m_work, m_form, du);
    m_listCommands = new ListMenuCommands(m_services, m_prompt, *m_editor, this);
    m_windows = std::make_unique<MonitorWindows>(*this, m_prompt, *m_editor);
    connect(m_editor, &EntryEditor::aboutToSelectServer, this, &MonitorDialog::aboutToSelectServer);
    connect(m_editor, &EntryEditor::serverChanged, this, &MonitorDialog::refreshDisplay);
    buildMenu();

    QAction* rcon = commandAction(kRconConsoleCommand);
    rcon->setEnabled(true);
    connect(rcon, &QAction::triggered, this, &MonitorDialog::openRconConsole);
    connect(this, &MonitorDialog::aboutToSelectServer, m_windows.get(),
            &MonitorWindows::closeRconConsole);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_menuBar);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(m_form);
    layout->addWidget(scroll);
    keepWindowSize(*this, m_services.settings, "Monitor",
                   m_form->size() + QSize(style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                                          m_menuBar->sizeHint().height()));

    // Initialisation: the selectors with the last list, the last server shown, then timer 1.
    showLastSelection();

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("refreshTimer"));
    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, &MonitorDialog::tick);
    m_timer->start();
}

void MonitorDialog::showLastSelection() {
    ServerListSet& lists = m_services.lists;
    const int list =
        lists.findByFilePath(settings::read(m_services.settings, settings::kMonitorList));
    lists.setCurrentIndex(list >= 0 ? static_cast<std::size_t>(list) : 0);
    m_editor->fillSelector();
    m_editor->fillListSelector();
    m_editor->selectServer();
    const ServerAddress server =
        parseAddress(settings::read(m_services.settings, settings::kMonitorServer));
    // The server only in its own list: another list may hold it with other data.
    if (list >= 0 && !server.empty())
        m_editor->chooseServer(server);
}

void MonitorDialog::done(int result) {
    const ServerListSet& lists = m_services.lists;
    if (!lists.empty()) {
        const ServerAddress& shown = m_services.engine.currentServer().address;
        settings::write(m_services.settings, settings::kMonitorList, lists.current().filePath());
        settings::write(m_services.settings, settings::kMonitorServer,
                        shown.empty() ? std::string() : addressText(shown));
    }
    QDialog::done(result);
}

MonitorDialog::~MonitorDialog() {
    if (m_prompt.parentWidget() == this)
        m_prompt.setParentWidget(nullptr);
}

void MonitorDialog::setServerText(const QString& text) {
    m_editor->setServerText(text);
}

void MonitorDialog::openRconConsole() {
    m_windows->openRconConsole();
}

BrowserWindow* MonitorDialog::openBrowser() {
    return m_windows->openBrowser();
}

void MonitorDialog::setNotifier(Notifier* notifier) {
    m_windows->setNotifier(notifier);
}

Notifier* MonitorDialog::notifier() const {
    return m_windows->notifier();
}

void MonitorDialog::showListServer(std::size_t listIndex, const ServerAddress& address) {
    if (listIndex >= m_services.lists.size())
        return;
    if (m_services.lists.currentIndex() != listIndex)
        m_editor->chooseList(static_cast<int>(listIndex));
    setServerText(displayText(text::toDisplayUtf8(addressText(address))));
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

QAction* MonitorDialog::addCommand(QMenu* menu, const QString& text, int id) {
    QAction* action = menu->addAction(text);
    setControlId(action, id);
    m_commands[id] = action;
    return action;
}

QAction* MonitorDialog::commandAction(int id) const {
    auto it = m_commands.find(id);
    return it != m_commands.end() ? it->second : nullptr;
}

void MonitorDialog::buildMenu() {
    m_menuBar = new QMenuBar(this);
    setControlId(m_menuBar, 129);
    ListMenuCommands* lc = m_listCommands;

    QMenu* file = m_menuBar->addMenu(QStringLiteral("&File"));
    addCommand(file, QStringLiteral("&Connect ..."), kConnectCommand)->setEnabled(false);
    addCommand(file, QStringLiteral("&Rcon-Console ..."), kRconConsoleCommand)->setEnabled(false);
    file->addSeparator();
    connect(addCommand(file, QStringLiteral("&Exit"), kExitCommand), &QAction::triggered, this,
            &QDialog::reject);

    QMenu* settingsMenu = m_menuBar->addMenu(QStringLiteral("&Settings"));
    addCommand(settingsMenu, QStringLiteral("&Settings ..."), kSettingsCommand)->setEnabled(false);
    QMenu* sort = settingsMenu->addMenu(QStringLiteral("S&ort Server List"));
    const char* sortTexts[] = {"&Unsorted", "&Name", "&IP/Port", "&Game + Name", "Game + IP/&Port"};
    for (int i = 0; i < 5; ++i) {
        const int id = kFirstSortCommand + i;
        connect(addCommand(sort, QString::fromLatin1(sortTexts[i]), id), &QAction::triggered, lc,
                [lc, id] { lc->sortBy(id); });
    }
    QAction* tray =
        addCommand(settingsMenu, QStringLiteral("Players in the &Tray Icon"), kTrayIconCommand);
    tray->setCheckable(true);
    tray->setEnabled(false);
    connect(addCommand(settingsMenu, QStringLiteral("&Alerts..."), kAlertsCommand),
            &QAction::triggered, this, [this] {
                m_windows->editAlerts(m_work.address.host.empty() ? std::string()
                                                                  : addressText(m_work.address));
            });

    QMenu* lists = m_menuBar->addMenu(QStringLiteral("Server &List"));
    connect(addCommand(lists, QStringLiteral("&Open ..."), kOpenListCommand), &QAction::triggered,
            lc, &ListMenuCommands::openList);
    connect(addCommand(lists, QStringLiteral("&Delete"), kDeleteListCommand), &QAction::triggered,
            lc, &ListMenuCommands::deleteList);
    connect(addCommand(lists, QStringLiteral("&Rename ..."), kRenameListCommand),
            &QAction::triggered, lc, &ListMenuCommands::renameList);
    connect(addCommand(lists, QStringLiteral("&New ..."), kNewListCommand), &QAction::triggered, lc,
            &ListMenuCommands::newList);
    lists->addSeparator();
    // Ins anywhere in the window; Del as in the open server drop-down (elsewhere it stays the
    // text fields' key), so only shown here.
    QAction* add = addCommand(lists, QStringLiteral("&Add Server"), kAddServerCommand);
    add->setShortcut(QKeySequence(Qt::Key_Insert));
    add->setShortcutContext(Qt::WindowShortcut);
    connect(add, &QAction::triggered, m_editor, &EntryEditor::addShownServer);
    connect(add, &QAction::triggered, this, &MonitorDialog::updateServerCommands);
    QAction* remove = addCommand(lists, QStringLiteral("Delete &Server"), kDeleteServerCommand);
    remove->setShortcut(QKeySequence(Qt::Key_Delete));
    remove->setShortcutContext(Qt::WidgetShortcut);
    connect(remove, &QAction::triggered, m_editor, &EntryEditor::deleteShownServer);
    connect(remove, &QAction::triggered, this, &MonitorDialog::updateServerCommands);
    connect(lists, &QMenu::aboutToShow, this, &MonitorDialog::updateServerCommands);
    lists->addSeparator();
    connect(addCommand(lists, QStringLiteral("&Browser..."), kBrowserCommand), &QAction::triggered,
            this, &MonitorDialog::openBrowser);
    connect(addCommand(lists, QStringLiteral("&Find Servers..."), kFindServersCommand),
            &QAction::triggered, m_windows.get(), &MonitorWindows::findServers);

    QMenu* help = m_menuBar->addMenu(QStringLiteral("&?"));
    connect(addCommand(help, QStringLiteral("&About ..."), kAboutCommand), &QAction::triggered, lc,
            &ListMenuCommands::about);
}

// --- the refresh cycle ---------------------------------------------------------------------

void MonitorDialog::tick() {
    if (m_gameRunning)
        return;
    m_services.engine.queryTick();
    refreshDisplay();
    emit ticked();
}

void MonitorDialog::refreshDisplay() {
    m_work = m_services.engine.currentServer();
    m_view->refresh();
    m_editor->applyPasswordEcho();
    updateTitle();
    updateServerCommands();
}

void MonitorDialog::updateServerCommands() {
    commandAction(kAddServerCommand)->setEnabled(m_editor->canAddShown());
    commandAction(kDeleteServerCommand)->setEnabled(m_editor->canDeleteShown());
}

void MonitorDialog::updateTitle() {
    TitleMode mode = m_gameRunning ? TitleMode::Connected
                     : m_minimized ? TitleMode::Minimized
                                   : TitleMode::Normal;
    const QString title =
        displayText(ondel::windowTitle(m_work, mode, m_services.engine.limitedRefreshSeconds()));
    if (windowTitle() != title)
        setWindowTitle(title);
}

void MonitorDialog::setGameRunning(bool running) {
    m_gameRunning = running;
    if (running)
        m_timer->stop();
    else
        m_timer->start();
    updateTitle();
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

} // namespace ondel
