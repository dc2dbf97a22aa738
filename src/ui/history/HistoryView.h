#pragma once

#include <QWidget>

#include <cstdint>
#include <string>

class QButtonGroup;
class QLabel;
class QTimer;

namespace ondel {

class HistoryGraph;
class HistoryStore;

// A server's history graph with its span buttons (hour, day, week, month), read from the store
// when the server or the span changes and every few seconds while shown. The last hour is drawn
// from the samples as taken, the longer spans from the five-minute rows. A widget of its own so
// that the monitor's history window and the browser's details pane both can host it.
// The store must outlive the view. GUI thread only.
class HistoryView : public QWidget {
    Q_OBJECT
public:
    enum class Span { Hour, Day, Week, Month };
    static constexpr int kRefreshMs = 5000;

    explicit HistoryView(HistoryStore& store, QWidget* parent = nullptr);

    // The server ("HOST:PORT" as historyKey gives it); empty shows nothing.
    void setServer(const std::string& server);
    const std::string& server() const { return m_server; }
    void setSpan(Span span);
    Span span() const { return m_span; }
    HistoryGraph& graph() { return *m_graph; }

    // Reads the span again from the store, up to nowMs (ms since 1970).
    void reload(std::int64_t nowMs);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void reloadNow();

    HistoryStore& m_store;
    std::string m_server;
    Span m_span = Span::Day;
    HistoryGraph* m_graph = nullptr;
    QButtonGroup* m_spans = nullptr;
    QLabel* m_summary = nullptr;
    QTimer* m_refresh = nullptr;
};

} // namespace ondel
