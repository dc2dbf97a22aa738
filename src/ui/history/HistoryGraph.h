#pragma once

#include "history/HistoryStore.h"

#include <QWidget>

#include <cstdint>
#include <vector>

namespace ondel {

// One point of the graph: a raw sample, or a five-minute row (players as its mean with the
// least and most beside it).
struct HistoryPoint {
    std::int64_t timeMs = 0; // ms since 1970, UTC
    bool up = false;         // a row counts as up when any of its samples answered
    double players = 0;
    int minPlayers = 0;
    int maxPlayers = 0;
    int maxSlots = 0;
    double pingMs = -1; // -1: none
    double upShare = 0; // of a row; 1 or 0 for a sample

    static std::vector<HistoryPoint> fromSamples(const std::vector<HistorySample>& samples);
    static std::vector<HistoryPoint> fromBuckets(const std::vector<HistoryBucket>& buckets);
};

// Players (with max players dashed) above, ping below, over a span of time: lines break where
// the server was down (shaded) or where nothing was recorded, map changes are marked with the
// new map's name, the time axis is in local time, and the tooltip gives the values under the
// pointer. Drawn with QPainter from the points it is given; it reads nothing itself, so any
// window (the monitor's history window, the browser's details pane) can host it.
// GUI thread only.
class HistoryGraph : public QWidget {
    Q_OBJECT
public:
    explicit HistoryGraph(QWidget* parent = nullptr);

    // points oldest first; maxGapMs: two neighbours further apart than this are not joined.
    void setData(std::vector<HistoryPoint> points, std::vector<MapEvent> mapChanges,
                 std::int64_t fromMs, std::int64_t toMs, std::int64_t maxGapMs);

    // What the tooltip says at a position of the widget; empty where there is nothing.
    QString toolTipAt(const QPoint& pos) const;
    QSize sizeHint() const override { return {640, 320}; }
    QSize minimumSizeHint() const override { return {240, 160}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    QRectF playersArea() const;
    QRectF pingArea() const;
    double xOf(std::int64_t timeMs) const;
    std::int64_t timeAt(double x) const;
    int nearestPoint(double x) const; // -1 when none within reach
    void drawTimeAxis(QPainter& p, const QRectF& area) const;

    std::vector<HistoryPoint> m_points;
    std::vector<MapEvent> m_mapChanges;
    std::int64_t m_fromMs = 0;
    std::int64_t m_toMs = 1;
    std::int64_t m_maxGapMs = 0;
    int m_playersTop = 1; // the players scale: 0..m_playersTop
    double m_pingTop = 1;
};

} // namespace ondel
