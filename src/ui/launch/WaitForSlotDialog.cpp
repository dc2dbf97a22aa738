#include "WaitForSlotDialog.h"

#include "common/Clock.h"
#include "launch/SlotWait.h"
#include "serverlist/ServerEntry.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/PlainText.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace ondel {

WaitForSlotDialog::WaitForSlotDialog(CurrentServer currentServer, const Clock& clock,
                                     QWidget* parent)
    : QDialog(parent), m_currentServer(std::move(currentServer)), m_clock(clock),
      m_createdTick(clock.tickMs()), m_timer(new QTimer(this)) {
    setWindowTitle(QStringLiteral("Wait for free Slot ..."));
    auto field = [this](int id) {
        auto* edit = new QLineEdit(this);
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
        setControlId(edit, id);
        return edit;
    };
    m_time = field(kTimeId);
    m_ping = field(kPingId);
    m_players = field(kPlayersId);
    m_map = field(kMapId);
    m_reserved = field(kReservedId);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Time:"), m_time);
    form->addRow(QStringLiteral("Ping:"), m_ping);
    form->addRow(QStringLiteral("Players:"), m_players);
    form->addRow(QStringLiteral("Map:"), m_map);
    form->addRow(QStringLiteral("Reserved Slots:"), m_reserved);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* connectButton =
        buttons->addButton(QStringLiteral("Connect"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    setControlId(connectButton, 1);
    setControlId(cancel, 2);
    connectButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    m_timer->setInterval(kRefreshMs);
    connect(m_timer, &QTimer::timeout, this, &WaitForSlotDialog::refresh);
}

void WaitForSlotDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_timer->start();
}

void WaitForSlotDialog::hideEvent(QHideEvent* event) {
    m_timer->stop();
    QDialog::hideEvent(event);
}

void WaitForSlotDialog::refresh() {
    const std::uint32_t elapsed = m_clock.tickMs() - m_createdTick;
    SlotWaitView view = slotWaitView(m_currentServer(), elapsed);
    m_time->setText(displayText(view.time));
    m_ping->setText(displayText(view.ping));
    m_players->setText(displayText(view.players));
    m_map->setText(displayText(view.map));
    m_reserved->setText(displayText(view.reserved));
    if (view.slotFree) {
        m_timer->stop();
        m_slotFound = true;
        accept();
    }
}

} // namespace ondel
