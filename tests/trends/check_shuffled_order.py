#!/usr/bin/env python3
"""Eight weekly logs of a post office of about 300 mailboxes (growing, new, gone, near their
limit), recorded with /HISTORY: batch runs once in date order and once in a shuffled order, as a
shell hands over old logs by name, with one week recorded twice. Both histories must tell the
same: the same runs and mailboxes in the store, the same trend reports from `history report` for
every week, and, for each run recorded after all the weeks before it, the same trend reports as
that run wrote in date order.

    check_shuffled_order.py KESTRAMA
"""

import os
import sqlite3
import subprocess
import sys
import tempfile
from contextlib import closing

HERE = os.path.dirname(os.path.abspath(__file__))
WEEKS = 8
# Weeks 5 to 8 before week 4, as in name order after a rename; week 2 before week 1; week 6 twice.
SHUFFLED = [2, 1, 3, 6, 5, 7, 8, 6, 4]
DATES = ["2026-01-05", "2026-01-12", "2026-01-19", "2026-01-26",
         "2026-02-02", "2026-02-09", "2026-02-16", "2026-02-23"]


def run(args):
    done = subprocess.run(args, capture_output=True)
    if done.returncode != 0:
        sys.exit(f"{' '.join(args)}: exit {done.returncode}\n{done.stderr.decode(errors='replace')}")
    return done


def record(kestrama, logs, order, folder):
    """Records the weeks in `order`; returns the store and each week's trend files of its last
    recording."""
    os.makedirs(folder)
    store = os.path.join(folder, "history.sqlite")
    written = {}
    for n, week in enumerate(order):
        base = os.path.join(folder, f"run-{n}")
        run([kestrama, f"/IN:{logs[week - 1]}", f"/OUT:{base}", "/OPTIONS:5130;.",
             f"/HISTORY:{store}"])
        written[week] = (read(base + "-trends.html"), read(base + "-trends.csv"))
    return store, written


def read(path):
    with open(path, "rb") as f:
        return f.read()


def stored(store):
    """The store's runs and mailboxes without what differs by when and how they were recorded
    (ids, times of recording, log paths)."""
    with closing(sqlite3.connect(store)) as db:
        runs = db.execute(
            "SELECT po_name, po_path, processed_on, processed_at, mailboxes, total_mb "
            "FROM runs ORDER BY processed_at").fetchall()
        rows = db.execute(
            "SELECT r.processed_at, m.username, m.fullname, m.size_mb, m.limit_mb, "
            "m.threshold_pct, m.exceeded FROM mailboxes m JOIN runs r ON r.id = m.run_id "
            "ORDER BY r.processed_at, m.username").fetchall()
    return runs, rows


def reports_from_store(kestrama, store, folder):
    reports = {}
    for week, date in enumerate(DATES, 1):
        base = os.path.join(folder, f"report-{week}")
        run([kestrama, "history", "report", f"--history={store}", "--date", date, base])
        reports[week] = (read(base + "-trends.html"), read(base + "-trends.csv"))
    return reports


def main():
    kestrama = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        made = subprocess.run([sys.executable, os.path.join(HERE, "make_weeks.py"),
                               os.path.join(tmp, "logs"), str(WEEKS), "300"],
                              capture_output=True, text=True, check=True)
        logs = made.stdout.split()
        in_order, by_date = record(kestrama, logs, range(1, WEEKS + 1), os.path.join(tmp, "date"))
        shuffled, by_shuffle = record(kestrama, logs, SHUFFLED, os.path.join(tmp, "shuffled"))

        if stored(in_order) != stored(shuffled):
            failures.append("the stores differ")
        a = reports_from_store(kestrama, in_order, tmp)
        b = reports_from_store(kestrama, shuffled, tmp)
        for week in range(1, WEEKS + 1):
            if a[week] != b[week]:
                failures.append(f"history report of week {week} differs")
            # What `history report` tells of a week is what its run said when recorded in order.
            if a[week] != by_date[week]:
                failures.append(f"history report of week {week} differs from its run's reports")
        # A run recorded after every week before it describes its own date, whatever came later.
        seen = set()
        for week in SHUFFLED:
            if all(w in seen for w in range(1, week)) and by_shuffle[week] != by_date[week]:
                failures.append(f"the trend reports of week {week} recorded out of order differ")
            seen.add(week)
        week4 = by_shuffle[4][0].decode()
        if "Compared with the run of" in week4 and "2026-01-19" not in week4:
            failures.append("week 4 is not compared with week 3")
    for failure in failures:
        print(failure)
    if failures:
        sys.exit(1)
    print(f"{WEEKS} weeks in date order and in the order {SHUFFLED}: the same history")


if __name__ == "__main__":
    main()
