#!/usr/bin/env python3
"""Runs the programs with one injected file-system fault at a time, at every counted call.

usage: sweep.py KESTRAMA32 DUMMYLOG SHIM SAMPLES_DIR

The shim (iofault.c, preloaded) counts every open, read, write, rename, close and fsync call and
makes the Nth fail. For a batch run that writes both reports, and for a dummy-log write, N runs
over every call of a clean run, with each of ENOSPC, EIO and EACCES. For every N the program must
end with exit 0 and the new files, or with exit 1 and one message naming the file that failed,
the previous reports byte for byte as they were; no signal, no hang, no temporary file.

Then the cases around it: the debug log's folder refused (the log falls back to the user's state
folder), the disk filling while the debug log is written, an output name taken by a folder, an
input that is a folder, a FIFO without a writer, or empty, and symbolic links planted at the
names of the reports and of the debug log.
"""
import os
import shutil
import subprocess
import sys
import tempfile

KESTRAMA32, DUMMYLOG, SHIM, SAMPLES = sys.argv[1:5]
ERRNOS = ("ENOSPC", "EIO", "EACCES")
PREVIOUS = {"po1.csv": b"previous csv report\r\n", "po1.mht": b"previous web report\r\n"}
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


class Sandbox:
    """A folder with its own copy of the program (so that its debug log stays inside), a state
    folder for the debug log's fallback, an input log and an output folder."""

    def __init__(self, root, program):
        self.root = root
        self.bin = os.path.join(root, "bin")
        self.out = os.path.join(root, "out")
        self.state = os.path.join(root, "state")
        for d in (self.bin, self.out, self.state):
            os.makedirs(d)
        self.program = os.path.join(self.bin, os.path.basename(program))
        shutil.copy2(program, self.program)
        self.debug_log = os.path.join(self.bin, "debug32.txt")
        self.fallback_log = os.path.join(self.state, "kestrama32", "debug32.txt")
        self.input = os.path.join(root, "po1.log")
        shutil.copyfile(os.path.join(SAMPLES, "english-gw652.log"), self.input)
        self.base = os.path.join(self.out, "po1")

    def reset_outputs(self):
        shutil.rmtree(self.out)
        os.makedirs(self.out)
        for name, data in PREVIOUS.items():
            with open(os.path.join(self.out, name), "wb") as f:
                f.write(data)
        shutil.rmtree(os.path.join(self.state, "kestrama32"), ignore_errors=True)

    def run(self, args, fault_at=0, errno_name="EIO", trace=None):
        env = dict(os.environ, LD_PRELOAD=SHIM, IOFAULT_AT=str(fault_at), IOFAULT_ERRNO=errno_name,
                   IOFAULT_REPORT=os.path.join(self.root, "calls"), XDG_STATE_HOME=self.state,
                   ASAN_OPTIONS="verify_asan_link_order=0:" + os.environ.get("ASAN_OPTIONS", ""))
        if trace:
            env["IOFAULT_TRACE"] = trace
        try:
            p = subprocess.run([self.program] + args, env=env, capture_output=True, timeout=60)
        except subprocess.TimeoutExpired:
            return None, "", 0
        with open(os.path.join(self.root, "calls")) as f:
            calls = int(f.read())
        return p.returncode, p.stderr.decode("utf-8", "replace"), calls

    def batch_args(self):
        return ["/IN:" + self.input, "/OUT:" + self.base, "/OPTIONS:5110;."]

    def outputs(self):
        result = {}
        for name in sorted(os.listdir(self.out)):
            with open(os.path.join(self.out, name), "rb") as f:
                result[name] = f.read()
        return result


def journal_of(base):
    """The hidden journal that a commit of the reports of `base` writes beside them."""
    h = 0xcbf29ce484222325
    for c in os.path.basename(base).encode():
        h = ((h ^ c) * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF
    return os.path.join(os.path.dirname(base), ".kestrama32-%016x.journal" % h)


def leftovers(*folders):
    return [os.path.join(d, n) for d in folders if os.path.isdir(d)
            for n in os.listdir(d) if n.startswith(".kestrama32-")]


def one_error(stderr, prefix, paths):
    """True when stderr holds exactly one error naming one of `paths`: one line "PREFIX: cannot
    read PATH: reason" or "PREFIX: cannot write PATH: reason", or (the dummy-log tool) the reason
    and then a line "PREFIX: at PATH"."""
    lines = stderr.splitlines()
    if len(lines) == 1:
        return any(lines[0].startswith("%s: cannot %s %s: " % (prefix, verb, p))
                   for verb in ("read", "write") for p in paths)
    return (len(lines) == 2 and lines[0].startswith(prefix + ": ") and
            lines[1] in ["%s: at %s" % (prefix, p) for p in paths])


def describe(trace_path, n):
    if not os.path.exists(trace_path):
        return "call %d" % n
    with open(trace_path) as f:
        for line in f:
            if line.split(" ", 1)[0] == str(n):
                return "call " + line.strip()
    return "call %d" % n


def sweep_batch(root):
    box = Sandbox(os.path.join(root, "batch"), KESTRAMA32)
    box.reset_outputs()
    trace = os.path.join(root, "batch-trace")
    code, err, calls = box.run(box.batch_args(), trace=trace)
    if not check(code == 0 and err == "", "clean batch run: exit %s, %r" % (code, err)):
        return
    reference = box.outputs()
    check(set(reference) == set(PREVIOUS) and reference != PREVIOUS, "clean run wrote %s" % list(reference))
    names = [box.input, box.base + ".csv", box.base + ".mht", journal_of(box.base), box.debug_log,
             box.fallback_log]
    for n in range(1, calls + 1):
        for errno_name in ERRNOS:
            where = "batch run, %s with %s" % (describe(trace, n), errno_name)
            box.reset_outputs()
            code, err, _ = box.run(box.batch_args(), n, errno_name)
            check(code in (0, 1), "%s: exit %s (signal or hang)" % (where, code))
            if code == 1:
                check(one_error(err, "kestrama32", names), "%s: stderr %r" % (where, err))
                check(box.outputs() == PREVIOUS, "%s: previous reports changed" % where)
            elif code == 0:
                check(err == "", "%s: stderr %r" % (where, err))
                check(box.outputs() == reference, "%s: reports differ from a clean run" % where)
            check(not leftovers(box.out, box.bin), "%s: left %s" % (where, leftovers(box.out, box.bin)))
    print("batch run: %d calls swept with %s" % (calls, ", ".join(ERRNOS)))


def recorded_runs(db):
    """The number of runs in a history store; 0 when it does not exist or holds no table."""
    if not os.path.exists(db):
        return 0
    import contextlib
    import sqlite3
    try:
        # Closed at once: an open connection keeps the store's write-ahead log beside it.
        with contextlib.closing(sqlite3.connect(db)) as c:
            return c.execute("SELECT count(*) FROM runs").fetchone()[0]
    except sqlite3.Error:
        return 0


def sweep_history(root):
    """A batch run that keeps history: at every failing call, either the run succeeds with the
    reports of a clean run and its run recorded, or it fails with both reports and the store as
    they were (nothing recorded, no trend report)."""
    box = Sandbox(os.path.join(root, "history"), KESTRAMA32)
    db = os.path.join(box.root, "history.sqlite")
    args = box.batch_args() + ["/HISTORY:" + db]

    def fresh():
        box.reset_outputs()
        for suffix in ("", "-wal", "-shm", "-journal"):
            if os.path.exists(db + suffix):
                os.remove(db + suffix)

    fresh()
    trace = os.path.join(root, "history-trace")
    code, err, calls = box.run(args, trace=trace)
    if not check(code == 0 and err == "" and recorded_runs(db) == 1,
                 "clean history run: exit %s, %r" % (code, err)):
        return
    reference = box.outputs()
    check("po1-trends.html" in reference and "po1-trends.csv" in reference,
          "clean history run wrote %s" % list(reference))
    names = [box.input, box.base + ".csv", box.base + ".mht", box.base + "-trends.html",
             box.base + "-trends.csv", journal_of(box.base), box.debug_log, box.fallback_log, db,
             box.root]
    for n in range(1, calls + 1):
        for errno_name in ERRNOS:
            where = "history run, %s with %s" % (describe(trace, n), errno_name)
            fresh()
            code, err, _ = box.run(args, n, errno_name)
            check(code in (0, 1), "%s: exit %s (signal or hang)" % (where, code))
            if code == 1:
                check(one_error(err, "kestrama32", names), "%s: stderr %r" % (where, err))
                check(box.outputs() == PREVIOUS, "%s: previous reports changed" % where)
                check(recorded_runs(db) == 0, "%s: a failed run was recorded" % where)
                check(not any(os.path.exists(db + s) for s in ("-wal", "-shm", "-journal")),
                      "%s: the new store left its write-ahead log" % where)
            elif code == 0:
                check(err == "", "%s: stderr %r" % (where, err))
                check(box.outputs() == reference, "%s: reports differ from a clean run" % where)
                check(recorded_runs(db) == 1, "%s: the run was not recorded" % where)
            check(not leftovers(box.out, box.bin), "%s: left %s" % (where, leftovers(box.out, box.bin)))
    print("history run: %d calls swept with %s" % (calls, ", ".join(ERRNOS)))


def sweep_dummy_log(root):
    box = Sandbox(os.path.join(root, "dummy"), DUMMYLOG)
    box.reset_outputs()
    target = os.path.join(box.out, "dummy.log")
    args = [target, "2000", "4", "--problems"]  # several buffer flushes
    trace = os.path.join(root, "dummy-trace")
    code, err, calls = box.run(args, trace=trace)
    if not check(code == 0 and err == "", "clean dummy-log write: exit %s, %r" % (code, err)):
        return
    with open(target, "rb") as f:
        reference = f.read()
    for n in range(1, calls + 1):
        for errno_name in ERRNOS:
            where = "dummy-log write, %s with %s" % (describe(trace, n), errno_name)
            box.reset_outputs()
            code, err, _ = box.run(args, n, errno_name)
            check(code in (0, 1), "%s: exit %s (signal or hang)" % (where, code))
            if code == 1:
                check(one_error(err, "kestrama32-dummylog", [target]), "%s: stderr %r" % (where, err))
            else:
                check(err == "" and open(target, "rb").read() == reference, "%s: wrong log" % where)
            written = box.outputs()
            written.pop("dummy.log", None)
            check(written == PREVIOUS, "%s: previous reports changed" % where)
            check(not leftovers(box.out), "%s: left %s" % (where, leftovers(box.out)))
    print("dummy-log write: %d calls swept with %s" % (calls, ", ".join(ERRNOS)))


def first_call(trace, call, path, nth=1):
    """The number of the first (or nth) `call` on `path` in a trace (opens name the path; the
    other calls a descriptor, which the last open of the path returned)."""
    fd = None
    with open(trace) as f:
        for line in f:
            number, name, what, result = line.split()[:4]
            if name.startswith("open") and what == path:
                fd = "fd=" + result
                if name.startswith(call):
                    nth -= 1
                    if nth == 0:
                        return int(number)
            elif name == call and what == fd:
                nth -= 1
                if nth == 0:
                    return int(number)
    raise AssertionError("no %s of %s in %s" % (call, path, trace))


def debug_log_faults(root):
    box = Sandbox(os.path.join(root, "debuglog"), KESTRAMA32)
    box.reset_outputs()
    trace = os.path.join(root, "debuglog-trace")
    box.run(box.batch_args(), trace=trace)

    # The program's folder refuses the debug log: it goes to the state folder, and says so.
    box.reset_outputs()
    code, err, _ = box.run(box.batch_args(), first_call(trace, "open", box.debug_log), "EACCES")
    check(code == 0 and err == "", "refused debug log folder: exit %s, %r" % (code, err))
    if check(os.path.exists(box.fallback_log), "refused debug log folder: no fallback log"):
        with open(box.fallback_log, "rb") as f:
            check(box.fallback_log.encode() in f.readline(), "fallback log does not name itself")

    # The disk fills while the debug log is written: the run ends, the reports stay as they were.
    box.reset_outputs()
    code, err, _ = box.run(box.batch_args(), first_call(trace, "write", box.debug_log, 3), "ENOSPC")
    check(code == 1 and err == "kestrama32: cannot write %s: Disk full\n" % box.debug_log,
          "disk full in the debug log: exit %s, %r" % (code, err))
    check(box.outputs() == PREVIOUS, "disk full in the debug log: reports changed")

    # A symbolic link planted at the debug log's name is not followed: the log falls back.
    box.reset_outputs()
    victim = os.path.join(box.root, "victim")
    with open(victim, "wb") as f:
        f.write(b"not the debug log\n")
    os.remove(box.debug_log)
    os.symlink(victim, box.debug_log)
    code, err, _ = box.run(box.batch_args())
    check(code == 0 and err == "", "planted debug log link: exit %s, %r" % (code, err))
    check(open(victim, "rb").read() == b"not the debug log\n", "planted debug log link followed")
    check(os.path.islink(box.debug_log) and os.path.exists(box.fallback_log),
          "planted debug log link: no fallback log")


def file_cases(root):
    box = Sandbox(os.path.join(root, "files"), KESTRAMA32)

    def batch(input_path, base):
        return box.run(["/IN:" + input_path, "/OUT:" + base, "/OPTIONS:5110;."])

    # An output base path that names an existing folder writes the reports beside it.
    box.reset_outputs()
    folder = os.path.join(box.out, "po2")
    os.makedirs(folder)
    code, err, _ = batch(box.input, folder)
    check(code == 0 and os.path.isdir(folder) and os.path.isfile(folder + ".csv") and
          os.path.isfile(folder + ".mht"), "base path of a folder: exit %s, %r" % (code, err))

    # A report name taken by a folder: neither report changes.
    for taken in ("po1.csv", "po1.mht"):
        box.reset_outputs()
        os.remove(os.path.join(box.out, taken))
        os.makedirs(os.path.join(box.out, taken))
        code, err, _ = batch(box.input, box.base)
        other = "po1.mht" if taken == "po1.csv" else "po1.csv"
        check(code == 1 and one_error(err, "kestrama32", [os.path.join(box.out, taken)]) and
              open(os.path.join(box.out, other), "rb").read() == PREVIOUS[other] and
              not leftovers(box.out), "%s is a folder: exit %s, %r" % (taken, code, err))

    # Symbolic links at the reports' names are replaced, their targets untouched.
    box.reset_outputs()
    victim = os.path.join(box.root, "victim")
    with open(victim, "wb") as f:
        f.write(b"someone else's file\n")
    for name in PREVIOUS:
        os.remove(os.path.join(box.out, name))
        os.symlink(victim, os.path.join(box.out, name))
    code, err, _ = batch(box.input, box.base)
    check(code == 0 and open(victim, "rb").read() == b"someone else's file\n" and
          not any(os.path.islink(os.path.join(box.out, n)) for n in PREVIOUS),
          "links at the report names: exit %s, %r" % (code, err))

    # Inputs that are no log: a clear error (a FIFO without a writer must not hang), or for an
    # empty file no statistics; the previous reports stay in every case.
    fifo = os.path.join(box.root, "fifo")
    os.mkfifo(fifo)
    empty = os.path.join(box.root, "empty.log")
    open(empty, "wb").close()
    for name, path, want_code, want_err in [
            ("a folder", box.out, 1, "kestrama32: cannot read %s: Is a directory\n" % box.out),
            ("a FIFO", fifo, 1, "kestrama32: cannot read %s: Not a regular file\n" % fifo),
            ("empty", empty, 3, "kestrama32: No statistics detected.\n")]:
        box.reset_outputs()
        code, err, _ = batch(path, box.base)
        check(code == want_code and err == want_err, "input %s: exit %s, %r" % (name, code, err))
        check(box.outputs() == PREVIOUS, "input %s: reports changed" % name)


with tempfile.TemporaryDirectory(prefix="k32-iofault-") as root:
    for step in (sweep_batch, sweep_history, sweep_dummy_log, debug_log_faults, file_cases):
        step(root)
for f in failures[:40]:
    print("FAIL:", f)
if len(failures) > 40:
    print("... and %d more" % (len(failures) - 40))
sys.exit(1 if failures else 0)
