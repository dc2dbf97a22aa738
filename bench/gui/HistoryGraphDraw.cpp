// What showing a month of one server's history costs the GUI thread: the history view reads the
// month from the database (five-minute rows, the last 48 hours from the raw samples) and draws
// its graph into an image of 900x320, median of 20 rounds over different servers. Goal: under
// 50 ms. Printed are the processor time the GUI thread spent (what a round costs, however busy
// the machine is) and the wall time (which grows when other processes hold the processor).
// The database is the one HistoryBench leaves (1,000 servers sampled every minute for 30
// days, ending at the time both tools take as now).
//
// Run: build/dev/bench/HistoryBench --dir /tmp/hb   (once; fills the database, ~10 minutes)
//      QT_QPA_PLATFORM=offscreen build/dev/bench/HistoryGraphDraw /tmp/hb/history.sqlite
#include "sqlite/SqliteHistoryStore.h"
#include "ui/history/HistoryGraph.h"
#include "ui/history/HistoryView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <time.h>

using namespace ondel;

namespace {

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2 || !std::filesystem::exists(argv[1])) {
        std::fprintf(stderr, "usage: HistoryGraphDraw HISTORY.SQLITE (from HistoryBench --dir)\n");
        return 2;
    }
    constexpr std::int64_t kNowMs = 1'796'774'400'000; // where HistoryBench's month ends
    SqliteHistoryStore store(argv[1]);
    HistoryView view(store);
    view.resize(900, 320);
    view.setSpan(HistoryView::Span::Month);
    std::vector<double> ms, cpuMs, readCpuMs;
    for (int i = 0; i < 20; ++i) {
        const int n = i * 37 % 1000;
        const std::string server =
            "127.0." + std::to_string(n / 256) + '.' + std::to_string(n % 256) + ":27015";
        view.setServer(server); // reads up to the clock's now; the round reads up to kNowMs
        QElapsedTimer timer;
        timer.start();
        const double cpu = threadCpuMs();
        view.reload(kNowMs);
        readCpuMs.push_back(threadCpuMs() - cpu);
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        view.render(&image);
        cpuMs.push_back(threadCpuMs() - cpu);
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (i == 0)
            image.save(QStringLiteral("/tmp/ondel-history-month.png"));
    }
    std::printf("month graph of one server read and drawn (median of 20): processor %.1f ms "
                "(reading %.1f ms of it), wall %.1f ms; picture in /tmp/ondel-history-month.png\n",
                median(cpuMs), median(readCpuMs), median(ms));
    return 0;
}
