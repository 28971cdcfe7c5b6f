#!/usr/bin/env python3
"""A run that keeps history, killed before each of its file-system calls in turn, and then the
next run on the same reports.

usage: kill_loop.py KESTRAMA32 SHIM SAMPLES_DIR

The shim (iofault.c, preloaded) kills the run (SIGKILL) just before its Nth counted call, for
every N of a clean run. The next run on the same base path and store (here one whose log holds
no statistics, so that it changes nothing itself) must then find the four reports and the store
telling the same story: the killed run's four files and its record, or the four previous files
and no record of it. It says so on one line when it had to finish or undo something, and no
temporary file is left beside the reports.
"""
import contextlib
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile

KESTRAMA32, SHIM, SAMPLES = sys.argv[1:4]
REPORTS = ("po1.csv", "po1.mht", "po1-trends.html", "po1-trends.csv")
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


def main(root):
    out, state = os.path.join(root, "out"), os.path.join(root, "state")
    os.makedirs(out)
    os.makedirs(state)
    program = os.path.join(root, os.path.basename(KESTRAMA32))
    shutil.copy2(KESTRAMA32, program)  # its debug log stays in the sandbox
    base, db = os.path.join(out, "po1"), os.path.join(root, "history.sqlite")
    first, second, empty = (os.path.join(root, n) for n in ("week1.log", "week2.log", "empty.log"))
    shutil.copyfile(os.path.join(SAMPLES, "english-gw652.log"), first)
    with open(first, "rb") as f:
        log = f.read()
    with open(second, "wb") as f:
        f.write(log.replace(b"March 7, 2005", b"March 14, 2005"))
    open(empty, "wb").close()

    def run(log_path, kill_at=0, calls_file=None):
        env = dict(os.environ, XDG_STATE_HOME=state,
                   ASAN_OPTIONS="verify_asan_link_order=0:" + os.environ.get("ASAN_OPTIONS", ""))
        if kill_at or calls_file:
            env.update(LD_PRELOAD=SHIM, IOFAULT_AT=str(kill_at), IOFAULT_ERRNO="KILL")
            if calls_file:
                env["IOFAULT_REPORT"] = calls_file
        args = [program, "/IN:" + log_path, "/OUT:" + base, "/OPTIONS:5110;.", "/HISTORY:" + db]
        p = subprocess.run(args, env=env, capture_output=True, timeout=60)
        return p.returncode, p.stderr.decode("utf-8", "replace")

    def files():
        return {n: open(os.path.join(out, n), "rb").read() for n in REPORTS
                if os.path.exists(os.path.join(out, n))}

    # Each connection is closed at once: one left open would keep the files that each round
    # replaces open in this process, and its next connection would read them.
    def runs():
        with contextlib.closing(sqlite3.connect(db)) as c:
            return [r[0] for r in c.execute("SELECT processed_on FROM runs ORDER BY id")]

    def settle():
        """Folds the store's write-ahead log into the file, so that the file alone is the store."""
        with contextlib.closing(sqlite3.connect(db)) as c:
            c.execute("PRAGMA wal_checkpoint(TRUNCATE)")
        for suffix in ("-wal", "-shm"):
            if os.path.exists(db + suffix):
                os.remove(db + suffix)

    # The week after: the reports and the record the killed run would have made.
    check(run(first) == (0, ""), "first week: clean run failed")
    check(run(second) == (0, ""), "second week: clean run failed")
    after = files()
    # The week before: what stays when the killed run's record did not get in.
    shutil.rmtree(out)
    os.makedirs(out)
    os.remove(db)
    check(run(first) == (0, ""), "first week again: clean run failed")
    settle()
    before, saved = files(), os.path.join(root, "saved")
    check(set(before) == set(REPORTS) and set(after) == set(REPORTS), "reports missing")
    shutil.copytree(out, saved)
    shutil.copyfile(db, db + ".saved")

    calls_file = os.path.join(root, "calls")
    check(run(second, 0, calls_file) == (0, ""), "counted run failed")
    with open(calls_file) as f:
        calls = int(f.read())
    finished = undone = 0
    for n in range(1, calls + 1):
        shutil.rmtree(out)
        shutil.copytree(saved, out)
        for suffix in ("-wal", "-shm"):
            if os.path.exists(db + suffix):
                os.remove(db + suffix)
        shutil.copyfile(db + ".saved", db)
        code, _ = run(second, n)
        where = "killed before call %d of %d" % (n, calls)
        if not check(code == -9, "%s: exit %s, not killed" % (where, code)):
            continue
        code, err = run(empty)
        check(code == 3, "%s: next run exit %s" % (where, code))
        lines = [l for l in err.splitlines() if l != "kestrama32: No statistics detected."]
        check(len(lines) <= 1, "%s: next run said %r" % (where, err))
        recorded = runs()
        now = files()
        if len(recorded) == 2:
            check(now == after, "%s: the record is in, the reports are %s" % (
                where, [n for n in REPORTS if now.get(n) != after[n]]))
            finished += bool(lines)
        else:
            check(len(recorded) == 1 and now == before, "%s: no record, the reports are %s" % (
                where, [n for n in REPORTS if now.get(n) != before[n]]))
            undone += bool(lines)
        left = [n for n in os.listdir(out) if n.startswith(".kestrama32-")]
        check(not left, "%s: left %s" % (where, left))
    print("%d kills: %d finished by the next run, %d undone by it" % (calls, finished, undone))


with tempfile.TemporaryDirectory(prefix="k32-kill-") as root:
    main(root)
for f in failures[:40]:
    print("FAIL:", f)
if len(failures) > 40:
    print("... and %d more" % (len(failures) - 40))
sys.exit(1 if failures else 0)
