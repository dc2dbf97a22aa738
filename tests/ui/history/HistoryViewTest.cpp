// The history graph and its view: what the tooltip says under the pointer, which reads each span
// makes of the store, and a picture of a day for the README.
#include "ui/history/HistoryView.h"
#include "ui/history/HistoryGraph.h"

#include <QDateTime>
#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

#include <cmath>

using namespace ondel;

namespace {

constexpr std::int64_t kMinute = 60'000;
constexpr std::int64_t kHour = 60 * kMinute;
// 2026-12-09 12:00 UTC.
constexpr std::int64_t kNow = 1'796'817'600'000;

// A store that hands out a made-up day and remembers what was asked.
class MadeUpStore : public HistoryStore {
public:
    void record(std::vector<HistorySample>) override {}
    void flush() override {}
    std::vector<HistorySample> samples(const std::string&, std::int64_t since,
                                       std::int64_t until) override {
        ++sampleReads;
        std::vector<HistorySample> out;
        for (std::int64_t t = since - since % kMinute + kMinute; t < until; t += kMinute) {
            HistorySample s;
            s.timeMs = t;
            s.up = (t / kMinute) % 20 != 0;
            s.players = 6;
            s.maxPlayers = 16;
            s.pingMs = 25;
            out.push_back(s);
        }
        return out;
    }
    std::vector<HistoryBucket> buckets(const std::string&, std::int64_t since,
                                       std::int64_t until) override {
        ++bucketReads;
        std::vector<HistoryBucket> out;
        for (std::int64_t t = since - since % 300'000 + 300'000; t < until; t += 300'000) {
            const double hour = static_cast<double>(t % (24 * kHour)) / kHour;
            HistoryBucket b;
            b.startMs = t;
            const bool down = hour > 4 && hour < 5.5; // a restart that went wrong
            b.samples = 5;
            b.upShare = down ? 0 : 1;
            if (!down) {
                b.meanPlayers =
                    8 + 7 * std::sin((hour - 14) / 24 * 2 * M_PI * 1.0) + 2 * std::sin(hour * 3);
                b.meanPlayers = std::clamp(b.meanPlayers, 0.0, 16.0);
                b.minPlayers = static_cast<int>(std::max(0.0, b.meanPlayers - 1.5));
                b.maxPlayers = static_cast<int>(std::min(16.0, b.meanPlayers + 1.5));
                b.maxSlots = 16;
                b.meanPingMs = 35 + 10 * std::sin(hour);
            }
            out.push_back(b);
        }
        return out;
    }
    std::vector<MapEvent> mapEvents(const std::string&, std::int64_t since,
                                    std::int64_t until) override {
        std::vector<MapEvent> out;
        const char* maps[] = {"crossfire", "bounce", "datacore", "<b>stalk</b>yard"};
        int k = 0;
        for (std::int64_t t = since - since % (3 * kHour) + 3 * kHour; t < until;
             t += 3 * kHour, ++k)
            out.push_back({"", t, maps[k % 4], maps[(k + 1) % 4]});
        return out;
    }
    void applyRetention(std::int64_t, const HistoryRetention&) override {}
    std::string lastError() const override { return {}; }

    int sampleReads = 0;
    int bucketReads = 0;
};

TEST(HistoryView, TheHourIsReadAsSamplesLongerSpansAsFiveMinuteRows) {
    MadeUpStore store;
    HistoryView view(store);
    view.setServer("127.0.0.1:27015");
    const struct {
        HistoryView::Span span;
        int samples;
        int buckets;
    } cases[] = {{HistoryView::Span::Hour, 1, 0},
                 {HistoryView::Span::Day, 0, 1},
                 {HistoryView::Span::Week, 0, 1},
                 {HistoryView::Span::Month, 0, 1}};
    for (const auto& c : cases) {
        store.sampleReads = store.bucketReads = 0;
        view.setSpan(c.span);
        EXPECT_EQ(store.sampleReads, c.samples) << static_cast<int>(c.span);
        EXPECT_EQ(store.bucketReads, c.buckets) << static_cast<int>(c.span);
    }
}

TEST(HistoryGraph, TooltipGivesTheValuesUnderThePointerAndMapChangesAsPlainText) {
    HistoryGraph graph;
    graph.resize(600, 300);
    std::vector<HistoryPoint> points(3);
    points[0].timeMs = kNow - 40 * kMinute;
    points[0].up = true;
    points[0].upShare = 1;
    points[0].players = points[0].minPlayers = points[0].maxPlayers = 3;
    points[0].maxSlots = 16;
    points[0].pingMs = 12;
    points[1].timeMs = kNow - 30 * kMinute; // a miss
    points[2] = points[0];
    points[2].timeMs = kNow - 20 * kMinute;
    points[2].players = 4.5;
    points[2].minPlayers = 2;
    points[2].maxPlayers = 7;
    points[2].upShare = 0.8;
    graph.setData(points, {MapEvent{"", kNow - 20 * kMinute, "bounce", "<i>x</i>"}}, kNow - kHour,
                  kNow, 15 * kMinute);

    // Find the x of a time through the tooltip's own reach: the plot spans the widget's width
    // between its margins, so probe across it.
    // The tooltip of a time: at the middle of the run of positions whose tooltip names it.
    auto tipAt = [&](std::int64_t t) {
        const QString when = QDateTime::fromMSecsSinceEpoch(t).toLocalTime().toString(
            QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        std::vector<int> xs;
        for (int x = 0; x < graph.width(); ++x) {
            if (graph.toolTipAt(QPoint(x, 100)).startsWith(when))
                xs.push_back(x);
        }
        return xs.empty() ? QString() : graph.toolTipAt(QPoint(xs[xs.size() / 2], 100));
    };
    EXPECT_EQ(tipAt(points[0].timeMs).section(QLatin1Char('\n'), 1),
              QStringLiteral("Players: 3 / 16\nPing: 12 ms"));
    EXPECT_EQ(tipAt(points[1].timeMs).section(QLatin1Char('\n'), 1), QStringLiteral("Down"));
    const QString third = tipAt(points[2].timeMs);
    EXPECT_TRUE(third.contains(QStringLiteral("Players: 4.5 (2 to 7) / 16")))
        << third.toStdString();
    EXPECT_TRUE(third.contains(QStringLiteral("Answered: 80%"))) << third.toStdString();
    EXPECT_TRUE(third.contains(QStringLiteral("Map: bounce \u2192 <i>x</i>")))
        << third.toStdString();
    EXPECT_EQ(graph.toolTipAt(QPoint(2, 2)), QString()); // outside the plot
}

// A week of five-minute rows in a narrow graph: many rows share a pixel column, the players line
// still runs through the hours that answered and breaks where the server was down each night.
TEST(HistoryGraph, ACrowdedSpanKeepsItsLineAndItsGaps) {
    MadeUpStore store;
    HistoryView view(store);
    view.resize(400, 300);
    view.setServer("127.0.0.1:27015");
    view.setSpan(HistoryView::Span::Week);
    view.reload(kNow);
    const QImage image = view.graph().grab().toImage();
    const std::int64_t from = kNow - 7 * 24 * kHour;
    const auto blueInColumnAt = [&](std::int64_t t) {
        const double left = 44, width = image.width() - 44 - 12;
        const int x = static_cast<int>(left + width * static_cast<double>(t - from) /
                                                  static_cast<double>(kNow - from));
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y) == QColor(40, 110, 200))
                return true;
        return false;
    };
    const std::int64_t day = kNow - kNow % (24 * kHour) - 2 * 24 * kHour;
    EXPECT_TRUE(blueInColumnAt(day + 12 * kHour));                // answered at noon
    EXPECT_FALSE(blueInColumnAt(day + 4 * kHour + 45 * kMinute)); // down from 4:00 to 5:30
}

TEST(HistoryView, PictureOfADay) {
    MadeUpStore store;
    HistoryView view(store);
    view.resize(720, 380);
    view.setServer("127.0.0.1:27015");
    view.setSpan(HistoryView::Span::Day);
    view.reload(kNow);
    QImage image = view.grab().toImage();
    // The graph drew something besides its background: the players line's blue.
    bool blue = false;
    for (int y = 0; y < image.height() && !blue; ++y)
        for (int x = 0; x < image.width() && !blue; ++x)
            blue = image.pixelColor(x, y) == QColor(40, 110, 200);
    EXPECT_TRUE(blue);
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    EXPECT_TRUE(image.save(QStringLiteral(ONDEL_TEST_OUTPUT "/history.png")));
}

} // namespace
