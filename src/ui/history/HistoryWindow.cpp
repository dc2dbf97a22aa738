#include "HistoryWindow.h"

#include "HistoryView.h"
#include "history/HistorySamples.h"
#include "query/QueryEngine.h"
#include "ui/monitor/MonitorDialog.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QVBoxLayout>

#include <memory>

namespace ondel {

HistoryWindow::HistoryWindow(HistoryStore& store, QWidget* parent) : QDialog(parent) {
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    auto* layout = new QVBoxLayout(this);
    m_view = new HistoryView(store, this);
    layout->addWidget(m_view);
    resize(720, 420);
}

void HistoryWindow::showServer(const std::string& server) {
    setWindowTitle(QStringLiteral("History - %1").arg(QString::fromStdString(server)));
    m_view->setServer(server);
}

void HistoryWindow::install(MonitorDialog& monitor, HistoryStore& store) {
    QMenu* menu = nullptr;
    if (auto* bar = monitor.findChild<QMenuBar*>()) {
        for (QAction* action : bar->actions()) {
            // The title as shown: its access key mark is no part of the name.
            if (action->menu() &&
                QString(action->text()).remove(QLatin1Char('&')) == QStringLiteral("Server List"))
                menu = action->menu();
        }
    }
    if (!menu)
        return;
    menu->addSeparator();
    QAction* open = menu->addAction(QStringLiteral("&History ..."));
    open->setProperty("controlId", kHistoryCommand);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    auto window = std::make_shared<QPointer<HistoryWindow>>();
    QObject::connect(open, &QAction::triggered, &monitor, [&monitor, &store, window] {
        if (!*window)
            *window = new HistoryWindow(store, &monitor);
        HistoryWindow* w = *window;
        w->showServer(historyKey(monitor.services().engine.currentServer().address));
        w->show();
        w->raise();
        w->activateWindow();
    });
}

} // namespace ondel
