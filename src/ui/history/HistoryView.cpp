#include "HistoryView.h"

#include "HistoryGraph.h"
#include "history/HistoryStore.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace ondel {

namespace {

constexpr std::int64_t kHourMs = 3'600'000;
constexpr std::int64_t kBucketMs = 300'000;

std::int64_t spanMs(HistoryView::Span span) {
    switch (span) {
    case HistoryView::Span::Hour:
        return kHourMs;
    case HistoryView::Span::Day:
        return 24 * kHourMs;
    case HistoryView::Span::Week:
        return 7 * 24 * kHourMs;
    case HistoryView::Span::Month:
        break;
    }
    return 30 * 24 * kHourMs;
}

} // namespace

HistoryView::HistoryView(HistoryStore& store, QWidget* parent) : QWidget(parent), m_store(store) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* buttons = new QHBoxLayout;
    m_spans = new QButtonGroup(this);
    const struct {
        Span span;
        const char* text;
    } spans[] = {
        {Span::Hour, "&Hour"}, {Span::Day, "&Day"}, {Span::Week, "&Week"}, {Span::Month, "&Month"}};
    for (const auto& s : spans) {
        auto* button = new QToolButton(this);
        button->setText(QString::fromLatin1(s.text));
        button->setCheckable(true);
        button->setChecked(s.span == m_span);
        button->setAccessibleName(QString::fromLatin1(s.text).remove(QLatin1Char('&')));
        m_spans->addButton(button, static_cast<int>(s.span));
        buttons->addWidget(button);
    }
    m_summary = new QLabel(this);
    buttons->addSpacing(12);
    buttons->addWidget(m_summary, 1);
    layout->addLayout(buttons);
    m_graph = new HistoryGraph(this);
    layout->addWidget(m_graph, 1);
    connect(m_spans, &QButtonGroup::idClicked, this,
            [this](int id) { setSpan(static_cast<Span>(id)); });
    m_refresh = new QTimer(this);
    m_refresh->setInterval(kRefreshMs);
    connect(m_refresh, &QTimer::timeout, this, &HistoryView::reloadNow);
}

void HistoryView::setServer(const std::string& server) {
    m_server = server;
    reloadNow();
}

void HistoryView::setSpan(Span span) {
    m_span = span;
    if (QAbstractButton* button = m_spans->button(static_cast<int>(span)))
        button->setChecked(true);
    reloadNow();
}

void HistoryView::reloadNow() {
    reload(QDateTime::currentMSecsSinceEpoch());
}

void HistoryView::reload(std::int64_t nowMs) {
    const std::int64_t from = nowMs - spanMs(m_span);
    if (m_server.empty()) {
        m_graph->setData({}, {}, from, nowMs, kBucketMs);
        m_summary->clear();
        return;
    }
    std::vector<HistoryPoint> points;
    std::int64_t maxGap = 2 * kBucketMs + 1;
    if (m_span == Span::Hour) {
        points = HistoryPoint::fromSamples(m_store.samples(m_server, from, nowMs + 1));
        // Neighbours are joined unless the gap is well beyond the usual distance.
        std::vector<std::int64_t> gaps;
        for (std::size_t i = 1; i < points.size(); ++i)
            gaps.push_back(points[i].timeMs - points[i - 1].timeMs);
        std::int64_t usual = 60'000;
        if (!gaps.empty()) {
            std::nth_element(gaps.begin(), gaps.begin() + static_cast<long>(gaps.size() / 2),
                             gaps.end());
            usual = gaps[gaps.size() / 2];
        }
        maxGap = std::max<std::int64_t>(3 * usual, 5000);
    } else {
        points = HistoryPoint::fromBuckets(m_store.buckets(m_server, from, nowMs + 1));
    }
    int up = 0;
    for (const HistoryPoint& p : points)
        up += p.up ? 1 : 0;
    m_summary->setText(points.empty()
                           ? QString()
                           : QStringLiteral("%1 of %2 answered").arg(up).arg(points.size()));
    m_graph->setData(std::move(points), m_store.mapEvents(m_server, from, nowMs + 1), from, nowMs,
                     maxGap);
}

void HistoryView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_refresh->start();
}

void HistoryView::hideEvent(QHideEvent* event) {
    m_refresh->stop();
    QWidget::hideEvent(event);
}

} // namespace ondel
