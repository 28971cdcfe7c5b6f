#!/usr/bin/env python3
"""Many batch runs started at once, all recording into one history file, as a cron job of many
post offices does.

usage: concurrent_recorders.py KESTRAMA32 DUMMYLOG [RUNS [MAILBOXES]]

Every run must succeed (the runs take turns at the file, each waiting for the others) and be
recorded whole; the file must pass SQLite's integrity check, and no run may leave a temporary
file or a journal beside its reports.
"""
import contextlib
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile

KESTRAMA32, DUMMYLOG = sys.argv[1:3]
RUNS = int(sys.argv[3]) if len(sys.argv) > 3 else 16
MAILBOXES = int(sys.argv[4]) if len(sys.argv) > 4 else 20000
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


with tempfile.TemporaryDirectory(prefix="k32-recorders-") as root:
    program = os.path.join(root, os.path.basename(KESTRAMA32))
    shutil.copy2(KESTRAMA32, program)  # its debug log stays in the sandbox
    log = os.path.join(root, "po.log")
    subprocess.run([DUMMYLOG, log, str(MAILBOXES), "3"], check=True)
    with open(log, "rb") as f:
        text = f.read()
    marker = b"May 31, 2003"
    check(marker in text[:4096], "the dummy log's date is not where it was")
    db = os.path.join(root, "history.sqlite")
    runs = []
    for i in range(RUNS):
        # One log a day: each run is a run of its own in the store.
        dated = os.path.join(root, "day%02d.log" % (i + 1))
        with open(dated, "wb") as f:
            f.write(text.replace(marker, b"May %d, 2003" % (i + 1), 1))
        out = os.path.join(root, "out%02d" % i)
        os.makedirs(out)
        args = [program, "/IN:" + dated, "/OUT:" + os.path.join(out, "po"), "/OPTIONS:5130;.",
                "/HISTORY:" + db]
        runs.append((out, subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE)))
    for i, (out, p) in enumerate(runs):
        _, err = p.communicate(timeout=900)
        check(p.returncode == 0 and err == b"", "run %d: exit %s, %r" % (i, p.returncode, err))
        left = [n for n in os.listdir(out) if n.startswith(".kestrama32-")]
        check(not left, "run %d left %s" % (i, left))
    with contextlib.closing(sqlite3.connect(db)) as c:
        check(c.execute("PRAGMA integrity_check").fetchone()[0] == "ok", "integrity check failed")
        counts = [r[0] for r in c.execute("SELECT mailboxes FROM runs")]
        rows = c.execute("SELECT count(*) FROM mailboxes").fetchone()[0]
    check(counts == [MAILBOXES] * RUNS and rows == MAILBOXES * RUNS,
          "recorded %s runs, %d rows" % (counts, rows))
    print("%d runs of %d mailboxes recorded into one file at once" % (RUNS, MAILBOXES))

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
