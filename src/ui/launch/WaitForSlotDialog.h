#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>

class QLineEdit;
class QTimer;

namespace ondel {

class Clock;
struct ServerEntry;

// "Wait for free Slot ..." (135): shows the current server's time, ping, players, map and
// reserved slots every 50 ms and ends by itself with OK (accept) as soon as a slot beyond the
// reserved ones is free. "Connect" accepts at any time, "Cancel" and Escape reject. It sends no
// queries: it only reads the record that the monitor's own queries keep up to date.
// currentServer and clock must outlive the dialog. GUI thread only.
class WaitForSlotDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 50;
    static constexpr int kTimeId = 1003;
    static constexpr int kPingId = 1021;
    static constexpr int kPlayersId = 1020;
    static constexpr int kMapId = 1019;
    static constexpr int kReservedId = 1014;

    using CurrentServer = std::function<const ServerEntry&()>;

    WaitForSlotDialog(CurrentServer currentServer, const Clock& clock, QWidget* parent = nullptr);

    // One refresh (the timer's work; public so that tests can step it).
    void refresh();
    // The dialog ended by itself because a slot became free (not by "Connect").
    bool slotFound() const { return m_slotFound; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    CurrentServer m_currentServer;
    const Clock& m_clock;
    std::uint32_t m_createdTick;
    bool m_slotFound = false;
    QTimer* m_timer;
    QLineEdit* m_time;
    QLineEdit* m_ping;
    QLineEdit* m_players;
    QLineEdit* m_map;
    QLineEdit* m_reserved;
};

} // namespace ondel
