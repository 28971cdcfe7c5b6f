// The Trends tab over a long history: 52 weekly runs of 10,000 mailboxes in one store, the tab
// filled from it (every run read for the projections, charts, table, first paint), against
// reading the same rows from the store alone. Prints the figures; judges nothing.
//
//   trends_tab_bench WORK_FOLDER [RUNS] [MAILBOXES]

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <string>

#include "history/SqliteHistoryStore.h"
#include "ui/TrendsPage.h"

namespace {

// Weekly runs from 2025-01-06 on; each mailbox grows by its own few MB a week.
void FillStore(const std::string& file, int runs, int mailboxes) {
    k32::SqliteHistoryStore store(file);
    for (int week = 0; week < runs; ++week) {
        k32::HistorySnapshot snap;
        const std::time_t at = 1736150400 + static_cast<std::time_t>(week) * 7 * 86400;
        char iso[32];
        std::tm tm{};
        gmtime_r(&at, &tm);
        std::strftime(iso, sizeof iso, "%Y-%m-%dT%H:%M:%S", &tm);
        snap.run.poName = "Bench PO";
        snap.run.poPath = "SERVER\\VOL:\\po";
        snap.run.processedOn = iso;
        snap.run.processedAt = iso;
        snap.run.recordedAt = iso;
        for (int i = 0; i < mailboxes; ++i) {
            k32::HistoryMailbox m;
            m.username = "USER" + std::to_string(i);
            m.fullname = "Person " + std::to_string(i);
            m.sizeMb = 50 + i % 400 + week * (i % 7);
            m.limitMb = i % 3 == 0 ? std::optional<double>() : std::optional<double>(1000);
            m.thresholdPct = 80;
            m.exceeded = "No";
            snap.run.totalMb += *m.sizeMb;
            snap.mailboxes.push_back(std::move(m));
        }
        snap.run.mailboxes = mailboxes;
        k32::HistoryStore::Transaction write = store.Begin();
        write.RecordRun(snap);
        write.Commit();
    }
}

double Seconds(QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: trends_tab_bench WORK_FOLDER [RUNS] [MAILBOXES]\n");
        return 2;
    }
    const std::string file = std::string(argv[1]) + "/history.sqlite";
    const int runs = argc > 2 ? std::stoi(argv[2]) : 52;
    const int mailboxes = argc > 3 ? std::stoi(argv[3]) : 10000;
    std::printf("filling the store: %d runs of %d mailboxes...\n", runs, mailboxes);
    FillStore(file, runs, mailboxes);

    // Reference: the same rows read from the store, nothing else.
    double readBest = 1e9;
    for (int attempt = 0; attempt < 3; ++attempt) {
        QElapsedTimer t;
        t.start();
        auto store = k32::OpenHistoryStore(file);
        std::size_t rows = 0;
        for (const k32::HistoryRun& run : store->Runs("Bench PO", "SERVER\\VOL:\\po"))
            rows += store->Mailboxes(run.id).size();
        readBest = std::min(readBest, Seconds(t));
        if (rows != static_cast<std::size_t>(runs) * static_cast<std::size_t>(mailboxes))
            return 1;
    }

    k32::TrendsPage page(nullptr);
    page.resize(1280, 700);
    page.show();
    QApplication::processEvents();
    double fillBest = 1e9;
    for (int attempt = 0; attempt < 3; ++attempt) {
        page.Refresh({});  // history off: the next refresh starts from nothing
        QApplication::processEvents();
        QElapsedTimer t;
        t.start();
        page.Refresh({true, file, "Bench PO", "SERVER\\VOL:\\po"});
        while (page.Reading())  // read on a thread of its own, shown when it arrives
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        page.repaint();  // the first paint of the charts and the table
        fillBest = std::min(fillBest, Seconds(t));
    }
    if (page.model->rowCount() != mailboxes)
        return 1;
    std::printf("%-44s %8.3f s  %6.2fx\n", "store rows read alone (reference)", readBest, 1.0);
    std::printf("%-44s %8.3f s  %6.2fx   (target <= 1 s: %s)\n", "Trends tab filled and painted",
                fillBest, fillBest / readBest, fillBest <= 1.0 ? "met" : "MISSED");
    return 0;
}
