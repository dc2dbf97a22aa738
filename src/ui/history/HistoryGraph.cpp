#include "HistoryGraph.h"

#include "common/Text.h"

#include <QDateTime>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace ondel {

namespace {

constexpr double kLeft = 44, kRight = 12, kTop = 22, kAxis = 22, kPanelGap = 14;
constexpr double kReachPx = 24; // how far from the pointer a point still gives the tooltip

// Server text for a label: UTF-8, control characters dropped.
QString labelText(const std::string& bytes) {
    QString s = QString::fromStdString(text::toDisplayUtf8(bytes));
    s.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    return s;
}

int niceTop(double value) {
    for (int top : {4, 8, 12, 16, 20, 24, 32, 40, 48, 64, 100, 128, 200, 256, 500, 1000})
        if (value <= top)
            return top;
    return static_cast<int>(std::ceil(value / 1000.0) * 1000);
}

// More points than the graph has pixels are drawn as one point a pixel column: the mean of the
// answered ones (least and most kept), so that a month of five-minute rows costs what its width
// does. Columns are msPerColumn wide from the first point's.
std::vector<HistoryPoint> perColumn(const std::vector<HistoryPoint>& points, double msPerColumn) {
    std::vector<HistoryPoint> out;
    if (points.empty())
        return out;
    const std::int64_t origin = points.front().timeMs;
    const auto column = [&](const HistoryPoint& p) {
        return static_cast<std::int64_t>(static_cast<double>(p.timeMs - origin) / msPerColumn);
    };
    for (std::size_t i = 0; i < points.size();) {
        std::size_t end = i;
        const std::int64_t c = column(points[i]);
        HistoryPoint sum;
        sum.timeMs = points[i].timeMs;
        sum.pingMs = 0;
        int up = 0, pings = 0;
        for (; end < points.size() && column(points[end]) == c; ++end) {
            const HistoryPoint& p = points[end];
            sum.upShare += p.upShare;
            if (!p.up)
                continue;
            if (up++ == 0) {
                sum.timeMs = p.timeMs;
                sum.minPlayers = p.minPlayers;
            }
            sum.players += p.players;
            sum.minPlayers = std::min(sum.minPlayers, p.minPlayers);
            sum.maxPlayers = std::max(sum.maxPlayers, p.maxPlayers);
            sum.maxSlots = std::max(sum.maxSlots, p.maxSlots);
            if (p.pingMs >= 0) {
                sum.pingMs += p.pingMs;
                ++pings;
            }
        }
        sum.up = up > 0;
        sum.players = up ? sum.players / up : 0;
        sum.pingMs = pings ? sum.pingMs / pings : -1;
        sum.upShare /= static_cast<double>(end - i);
        out.push_back(sum);
        i = end;
    }
    return out;
}

} // namespace

std::vector<HistoryPoint> HistoryPoint::fromSamples(const std::vector<HistorySample>& samples) {
    std::vector<HistoryPoint> out;
    out.reserve(samples.size());
    for (const HistorySample& s : samples) {
        HistoryPoint p;
        p.timeMs = s.timeMs;
        p.up = s.up;
        p.upShare = s.up ? 1 : 0;
        if (s.up) {
            p.players = s.players;
            p.minPlayers = p.maxPlayers = s.players;
            p.maxSlots = s.maxPlayers;
            p.pingMs = s.pingMs;
        }
        out.push_back(p);
    }
    return out;
}

std::vector<HistoryPoint> HistoryPoint::fromBuckets(const std::vector<HistoryBucket>& buckets) {
    std::vector<HistoryPoint> out;
    out.reserve(buckets.size());
    for (const HistoryBucket& b : buckets) {
        HistoryPoint p;
        p.timeMs = b.startMs;
        p.up = b.upShare > 0;
        p.upShare = b.upShare;
        p.players = b.meanPlayers;
        p.minPlayers = b.minPlayers;
        p.maxPlayers = b.maxPlayers;
        p.maxSlots = b.maxSlots;
        p.pingMs = b.meanPingMs;
        out.push_back(p);
    }
    return out;
}

HistoryGraph::HistoryGraph(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("History graph"));
}

void HistoryGraph::setData(std::vector<HistoryPoint> points, std::vector<MapEvent> mapChanges,
                           std::int64_t fromMs, std::int64_t toMs, std::int64_t maxGapMs) {
    m_points = std::move(points);
    m_mapChanges = std::move(mapChanges);
    m_fromMs = fromMs;
    m_toMs = std::max(toMs, fromMs + 1);
    m_maxGapMs = maxGapMs;
    double players = 0, ping = 0;
    for (const HistoryPoint& p : m_points) {
        if (!p.up)
            continue;
        players =
            std::max({players, static_cast<double>(p.maxPlayers), static_cast<double>(p.maxSlots)});
        ping = std::max(ping, p.pingMs);
    }
    m_playersTop = niceTop(players);
    m_pingTop = niceTop(ping * 1.1);
    update();
}

QRectF HistoryGraph::playersArea() const {
    const double h = height() - kTop - 2 * kAxis - kPanelGap;
    return {kLeft, kTop, width() - kLeft - kRight, std::max(10.0, h * 0.6)};
}

QRectF HistoryGraph::pingArea() const {
    const QRectF players = playersArea();
    const double top = players.bottom() + kAxis + kPanelGap;
    return {kLeft, top, players.width(), std::max(10.0, height() - top - kAxis)};
}

double HistoryGraph::xOf(std::int64_t timeMs) const {
    const QRectF a = playersArea();
    return a.left() + a.width() * static_cast<double>(timeMs - m_fromMs) /
                          static_cast<double>(m_toMs - m_fromMs);
}

std::int64_t HistoryGraph::timeAt(double x) const {
    const QRectF a = playersArea();
    return m_fromMs + static_cast<std::int64_t>((x - a.left()) / a.width() *
                                                static_cast<double>(m_toMs - m_fromMs));
}

int HistoryGraph::nearestPoint(double x) const {
    if (m_points.empty())
        return -1;
    const std::int64_t t = timeAt(x);
    auto it = std::lower_bound(m_points.begin(), m_points.end(), t,
                               [](const HistoryPoint& p, std::int64_t v) { return p.timeMs < v; });
    int best = -1;
    double bestPx = kReachPx;
    for (auto candidate : {it, it == m_points.begin() ? it : it - 1}) {
        if (candidate == m_points.end())
            continue;
        double px = std::abs(xOf(candidate->timeMs) - x);
        if (px <= bestPx) {
            bestPx = px;
            best = static_cast<int>(candidate - m_points.begin());
        }
    }
    return best;
}

QString HistoryGraph::toolTipAt(const QPoint& pos) const {
    const QRectF plot = playersArea().united(pingArea());
    if (!plot.adjusted(-2, -kTop, 2, 2).contains(pos))
        return {};
    QStringList lines;
    const int i = nearestPoint(pos.x());
    if (i >= 0) {
        const HistoryPoint& p = m_points[static_cast<std::size_t>(i)];
        lines << QDateTime::fromMSecsSinceEpoch(p.timeMs).toLocalTime().toString(
            QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!p.up) {
            lines << QStringLiteral("Down");
        } else {
            if (p.minPlayers != p.maxPlayers)
                lines << QStringLiteral("Players: %1 (%2 to %3) / %4")
                             .arg(p.players, 0, 'f', 1)
                             .arg(p.minPlayers)
                             .arg(p.maxPlayers)
                             .arg(p.maxSlots);
            else
                lines << QStringLiteral("Players: %1 / %2").arg(p.minPlayers).arg(p.maxSlots);
            if (p.pingMs >= 0)
                lines << QStringLiteral("Ping: %1 ms").arg(std::lround(p.pingMs));
            if (p.upShare < 1)
                lines << QStringLiteral("Answered: %1%").arg(std::lround(p.upShare * 100));
        }
    }
    for (const MapEvent& e : m_mapChanges) {
        if (std::abs(xOf(e.timeMs) - pos.x()) <= 4) {
            lines << QStringLiteral("Map: %1 \u2192 %2")
                         .arg(e.fromMap.empty() ? QStringLiteral("-") : labelText(e.fromMap),
                              labelText(e.toMap));
            break;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

bool HistoryGraph::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = toolTipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else // plain text, whatever the server's map names hold
            QToolTip::showText(help->globalPos(), Qt::convertFromPlainText(tip), this);
        return true;
    }
    return QWidget::event(event);
}

void HistoryGraph::drawTimeAxis(QPainter& p, const QRectF& area) const {
    static const std::int64_t kSteps[] = {60,    300,   600,   900,   1800,   3600,  7200,
                                          10800, 21600, 43200, 86400, 172800, 604800};
    const double spanS = static_cast<double>(m_toMs - m_fromMs) / 1000.0;
    const int fit = std::max(2, static_cast<int>(area.width() / 80));
    std::int64_t step = kSteps[std::size(kSteps) - 1];
    for (std::int64_t s : kSteps) {
        if (spanS / static_cast<double>(s) <= fit) {
            step = s;
            break;
        }
    }
    const QString format = step < 86400 ? QStringLiteral("HH:mm") : QStringLiteral("d MMM");
    // Ticks at local times: from the local midnight of the first day, step by step.
    QDateTime tick = QDateTime::fromMSecsSinceEpoch(m_fromMs).toLocalTime();
    tick.setTime(QTime(0, 0));
    if (step == 604800)
        tick = tick.addDays(1 - tick.date().dayOfWeek()); // weeks start on Monday
    p.setPen(palette().color(QPalette::Mid));
    const QFontMetricsF fm(font());
    for (int guard = 0; guard < 2000 && tick.toMSecsSinceEpoch() <= m_toMs; ++guard) {
        const std::int64_t t = tick.toMSecsSinceEpoch();
        tick = step >= 86400 ? tick.addDays(step / 86400) : tick.addSecs(step);
        if (t < m_fromMs)
            continue;
        const double x = xOf(t);
        p.setPen(QPen(palette().color(QPalette::Midlight), 0, Qt::DotLine));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        p.setPen(palette().color(QPalette::Text));
        const QString label = QDateTime::fromMSecsSinceEpoch(t).toLocalTime().toString(format);
        // Kept within the plot: a label sticking out would run into the value axis' numbers.
        const double width = fm.horizontalAdvance(label);
        const double left = std::clamp(x - width / 2, area.left(), area.right() - width);
        p.drawText(QPointF(left, area.bottom() + fm.ascent() + 3), label);
    }
}

void HistoryGraph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF players = playersArea();
    const QRectF ping = pingArea();
    const QFontMetricsF fm(font());
    const QColor text = palette().color(QPalette::Text);
    const QColor down(220, 60, 60, 60);
    const QColor playersColor(40, 110, 200);
    const QColor pingColor(200, 120, 20);

    // Frames, scales and titles.
    for (const auto& [area, top, title] :
         {std::tuple{players, static_cast<double>(m_playersTop), QStringLiteral("Players")},
          std::tuple{ping, m_pingTop, QStringLiteral("Ping (ms)")}}) {
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(area);
        p.setPen(text);
        p.drawText(QPointF(area.left(), area.top() - 5), title);
        for (int k = 0; k <= 2; ++k) {
            const double y = area.bottom() - area.height() * k / 2.0;
            const QString label = QString::number(std::lround(top * k / 2.0));
            p.drawText(QPointF(area.left() - fm.horizontalAdvance(label) - 5, y + fm.ascent() / 2),
                       label);
        }
        drawTimeAxis(p, area);
    }
    if (m_points.empty()) {
        p.setPen(text);
        p.drawText(players, Qt::AlignCenter, QStringLiteral("No history recorded for this span"));
        return;
    }

    const auto yPlayers = [&](double v) {
        return players.bottom() - players.height() * v / m_playersTop;
    };
    const auto yPing = [&](double v) { return ping.bottom() - ping.height() * v / m_pingTop; };

    // Down: shaded from the miss to the next point.
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        const HistoryPoint& pt = m_points[i];
        if (pt.up)
            continue;
        const std::int64_t end = i + 1 < m_points.size()
                                     ? std::min(m_points[i + 1].timeMs, pt.timeMs + m_maxGapMs)
                                     : std::min(m_toMs, pt.timeMs + m_maxGapMs);
        const double x0 = xOf(pt.timeMs), x1 = std::max(xOf(end), x0 + 1);
        p.fillRect(QRectF(x0, players.top(), x1 - x0, players.height()), down);
        p.fillRect(QRectF(x0, ping.top(), x1 - x0, ping.height()), down);
    }

    // Lines: joined only between neighbours that both answered and are close enough (a column
    // further when many points share a column).
    const double msPerColumn =
        static_cast<double>(m_toMs - m_fromMs) / std::max(1.0, players.width());
    const bool crowded = static_cast<double>(m_points.size()) > players.width();
    const std::vector<HistoryPoint> columns =
        crowded ? perColumn(m_points, msPerColumn) : std::vector<HistoryPoint>();
    const std::int64_t maxGap =
        m_maxGapMs + (crowded ? static_cast<std::int64_t>(std::ceil(msPerColumn)) : 0);
    QPainterPath playersPath, slotsPath, pingPath, rangePath;
    const HistoryPoint* before = nullptr;
    const HistoryPoint* pingBefore = nullptr;
    for (const HistoryPoint& pt : crowded ? columns : m_points) {
        const double x = xOf(pt.timeMs);
        const bool joined = before && pt.up && pt.timeMs - before->timeMs <= maxGap;
        if (pt.up) {
            if (joined) {
                playersPath.lineTo(x, yPlayers(pt.players));
                slotsPath.lineTo(x, yPlayers(pt.maxSlots));
            } else {
                playersPath.moveTo(x, yPlayers(pt.players));
                slotsPath.moveTo(x, yPlayers(pt.maxSlots));
            }
            if (pt.minPlayers != pt.maxPlayers) {
                rangePath.moveTo(x, yPlayers(pt.minPlayers));
                rangePath.lineTo(x, yPlayers(pt.maxPlayers));
            }
            if (pt.pingMs >= 0) {
                const double y = yPing(std::min(pt.pingMs, m_pingTop));
                if (pingBefore && pt.timeMs - pingBefore->timeMs <= maxGap)
                    pingPath.lineTo(x, y);
                else
                    pingPath.moveTo(x, y);
                pingBefore = &pt;
            } else {
                pingBefore = nullptr;
            }
            before = &pt;
        } else {
            before = nullptr;
            pingBefore = nullptr;
        }
    }
    // The vertical strokes (least to most players, map changes) need no smoothing, which is
    // the costly part of drawing a month.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(playersColor.red(), playersColor.green(), playersColor.blue(), 70), 1));
    p.drawPath(rangePath);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(text, 1, Qt::DashLine));
    p.drawPath(slotsPath);
    p.setPen(QPen(playersColor, 2));
    p.drawPath(playersPath);
    p.setPen(QPen(pingColor, 1.5));
    p.drawPath(pingPath);
    // A lone point (its neighbours missing) still shows.
    if (m_points.size() == 1 && m_points.front().up) {
        p.setBrush(playersColor);
        p.drawEllipse(QPointF(xOf(m_points.front().timeMs), yPlayers(m_points.front().players)),
                      2.5, 2.5);
    }

    // Map changes: a line (one where many crowd a few pixels), and the new map's name where
    // there is room for it.
    double labelEnd = -1e9, lineEnd = -1e9;
    const QColor mapColor(40, 150, 70);
    for (const MapEvent& e : m_mapChanges) {
        const double x = xOf(e.timeMs);
        if (x < players.left() || x > players.right())
            continue;
        if (x >= lineEnd) {
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(QPen(mapColor, 1, Qt::DashLine));
            p.drawLine(QPointF(x, players.top()), QPointF(x, players.bottom()));
            p.setRenderHint(QPainter::Antialiasing);
            lineEnd = x + 4;
        }
        const QString name = fm.elidedText(labelText(e.toMap), Qt::ElideRight, 120);
        if (x + 3 > labelEnd && x + 3 + fm.horizontalAdvance(name) < players.right()) {
            p.setPen(mapColor);
            p.drawText(QPointF(x + 3, players.top() + fm.ascent() + 2), name);
            labelEnd = x + 3 + fm.horizontalAdvance(name) + 6;
        }
    }
}

} // namespace ondel
