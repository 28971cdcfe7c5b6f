#!/usr/bin/env python3
"""Checks the programs as built and as installed.

usage: check_programs.py no_qt KESTRAMA32 DUMMYLOG SAMPLES
       check_programs.py window_part KESTRAMA32 BINDIR LIBEXECDIR
       check_programs.py installed CMAKE BUILD_DIR KESTRAMA32 SAMPLES BINDIR LIBEXECDIR DATADIR
       check_programs.py terminal KESTRAMA32 DUMMYLOG SAMPLES
       check_programs.py password KESTRAMA32 SAMPLES

"no_qt": neither the batch program nor the dummy-log tool names a Qt library among the libraries
it needs, and neither loads one during a run (the dynamic loader's own trace).
"window_part": a copy of kestrama32 in a temporary prefix, with the window program missing,
not executable, not a program, or a stand-in that echoes what it was given: window mode starts
the window program with the same arguments and kestrama32's folder handed over, a batch command
line never does, and a part that cannot be started is named on one line with exit code 2.
"installed": the build installed into a temporary prefix has every part in its place, its
batch run gives the build's reports byte for byte, and its window mode reaches the window
program (which says that there is no display).
"terminal": a batch run over a log above 64 MB whose standard error is a pseudo-terminal draws a
progress line in place and clears it at the end, and writes the same reports as a run whose
standard error is a pipe, which prints nothing; a small log draws nothing on a terminal either.
"password": a batch run whose history switch holds a password, caught while it waits for a
history server that takes the connection and never answers: what every user of the machine reads
in /proc/PID/cmdline holds "*" for each byte of the password and the rest of the switch as typed,
and standard error warns once, without the password.
"""
import os
import pty
import socket
import shutil
import stat
import subprocess
import sys
import tempfile

SAMPLE = "english-gw652.log"
NO_DISPLAY = ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")


def run(argv, env=None, cwd=None):
    return subprocess.run(argv, env=env, cwd=cwd, capture_output=True, timeout=120)


def environment(**extra):
    env = {k: v for k, v in os.environ.items() if k not in NO_DISPLAY}
    env.update(extra)
    return env


def check(ok, message):
    if not ok:
        raise AssertionError(message)


def needed_libraries(program):
    out = run(["readelf", "-d", program]).stdout.decode()
    return [line.split("[", 1)[1].rstrip("]") for line in out.splitlines() if "(NEEDED)" in line]


def check_no_qt(kestrama32, dummylog, samples):
    for program in (kestrama32, dummylog):
        needed = needed_libraries(program)
        check(needed and "libc.so.6" in needed, "%s: no NEEDED entries read: %r" % (program, needed))
        check(not [n for n in needed if "Qt" in n], "%s needs Qt: %r" % (program, needed))
    with tempfile.TemporaryDirectory() as work:
        runs = {
            "batch run": [kestrama32, "/IN:" + os.path.join(samples, SAMPLE),
                          "/OUT:" + os.path.join(work, "report"), "/OPTIONS:5130;."],
            "dummy log": [dummylog, os.path.join(work, "dummy.log"), "10", "3"],
        }
        for name, argv in runs.items():
            r = run(argv, env=environment(LD_DEBUG="libs"))
            trace = r.stderr.decode(errors="replace")
            check(r.returncode == 0, "%s: exit %d\n%s" % (name, r.returncode, trace[-2000:]))
            # The trace itself must be there, or its silence proves nothing.
            check("libc.so.6" in trace, "%s: no loader trace on standard error" % name)
            loaded = sorted({line.split("=", 1)[1].strip() for line in trace.splitlines()
                             if "find library=" in line})
            check(not [lib for lib in loaded if "libQt6" in lib],
                  "%s loads Qt: %r" % (name, loaded))
        check(os.path.exists(os.path.join(work, "report.mht")), "the batch run wrote no report")


# The stand-in window program: prints the handed-over folder, then each argument on a line.
STAND_IN = '#!/bin/sh\necho "folder=$KESTRAMA32_PROGRAM_DIR"\nfor a in "$@"; do echo "$a"; done\nexit 7\n'


def check_window_part(kestrama32, bindir, libexecdir):
    with tempfile.TemporaryDirectory() as prefix:
        prefix = os.path.realpath(prefix)
        bin_folder = os.path.join(prefix, bindir)
        window_folder = os.path.join(prefix, libexecdir, "kestrama32")
        window = os.path.join(window_folder, "kestrama32-window")
        os.makedirs(bin_folder)
        program = shutil.copy(kestrama32, os.path.join(bin_folder, "kestrama32"))
        log = os.path.join(prefix, "missing.log")

        def place(content, mode):
            os.makedirs(window_folder, exist_ok=True)
            with open(window, "w") as f:
                f.write(content)
            os.chmod(window, mode)

        def refused(how, reason):
            return (2, "", "kestrama32: the window part %s: %s (%s)\n" % (how, window, reason))

        # (what, window part (content, mode) or None, arguments, (exit code, stdout, stderr))
        cases = [
            ("alone, no switches", None, [], refused("is missing", "No such file or directory")),
            ("alone, two switches", None, ["/IN:a", "/OUT:b"],
             refused("is missing", "No such file or directory")),
            ("not executable", (STAND_IN, 0o644), [], refused("cannot be started", "Permission denied")),
            ("not a program", ("\x01\x02 no program\n", 0o755), [],
             refused("cannot be started", "Exec format error")),
            ("no switches", (STAND_IN, 0o755), [], (7, "folder=%s\n" % bin_folder, "")),
            # A wrong number of switches is the window's to report.
            ("two switches", (STAND_IN, 0o755), ["/IN:a b", "/OUT:c"],
             (7, "folder=%s\n/IN:a b\n/OUT:c\n" % bin_folder, "")),
            ("six switches", (STAND_IN, 0o755), list("abcdef"),
             (7, "folder=%s\na\nb\nc\nd\ne\nf\n" % bin_folder, "")),
            # A batch command line never reaches the window, right or wrong.
            ("batch run", (STAND_IN, 0o755), ["/IN:" + log, "/OUT:" + prefix + "/r", "/OPTIONS:5130;."],
             (1, "", None)),
            ("wrong batch command line", (STAND_IN, 0o755), ["/IN:x", "/OUT:y", "/OPTIONS:x"],
             (2, "", None)),
        ]
        for what, part, args, (code, out, err) in cases:
            if os.path.exists(window_folder):
                shutil.rmtree(window_folder)
            if part:
                place(*part)
            r = run([program] + args, env=environment(KESTRAMA32_PROGRAM_DIR="/elsewhere"))
            got_out, got_err = r.stdout.decode(), r.stderr.decode()
            check(r.returncode == code, "%s: exit %d, not %d (%r)" % (what, r.returncode, code, got_err))
            check(got_out == out, "%s: stdout %r" % (what, got_out))
            if err is not None:
                check(got_err == err, "%s: stderr %r, not %r" % (what, got_err, err))
            else:
                check(got_err.startswith("kestrama32: ") and "window part" not in got_err,
                      "%s: stderr %r" % (what, got_err))


def check_installed(cmake, build, kestrama32, samples, bindir, libexecdir, datadir):
    with tempfile.TemporaryDirectory() as work:
        prefix = os.path.join(work, "some", "prefix")
        r = run([cmake, "--install", build, "--prefix", prefix])
        check(r.returncode == 0, "install failed:\n%s" % r.stderr.decode())
        executables = [os.path.join(bindir, "kestrama32"), os.path.join(bindir, "kestrama32-dummylog"),
                       os.path.join(libexecdir, "kestrama32", "kestrama32-window")]
        files = [os.path.join(datadir, "kestrama32", "manual.mht"),
                 os.path.join(datadir, "applications", "kestrama32.desktop"),
                 os.path.join(datadir, "icons", "hicolor", "scalable", "apps", "kestrama32.svg")]
        for name in executables + files:
            path = os.path.join(prefix, name)
            check(os.path.isfile(path), "not installed: %s" % name)
            if name in executables:
                check(os.stat(path).st_mode & stat.S_IXUSR, "not executable: %s" % name)
        installed = os.path.join(prefix, bindir, "kestrama32")

        # The same batch run by both programs: the same reports, byte for byte. The web report
        # names its own location, so both write to the same place in turn.
        log = os.path.join(samples, SAMPLE)
        base = os.path.join(work, "report")
        reports = {}
        for name, program in (("built", kestrama32), ("installed", installed)):
            r = run([program, "/IN:" + log, "/OUT:" + base, "/OPTIONS:5130;."])
            check(r.returncode == 0 and not r.stderr, "%s batch run: exit %d, %r"
                  % (name, r.returncode, r.stderr))
            for ext in (".mht", ".csv"):
                with open(base + ext, "rb") as f:
                    reports[name, ext] = f.read()
                os.remove(base + ext)
        for ext in (".mht", ".csv"):
            check(reports["built", ext] == reports["installed", ext],
                  "the installed program's %s report differs from the build's" % ext)

        # Window mode from the installed tree reaches the window program, which finds no display.
        settings = os.path.join(work, "Kestrama32.ini")
        r = run([installed], env=environment(KESTRAMA32_SETTINGS=settings), cwd=work)
        err = r.stderr.decode()
        check(r.returncode == 2, "installed window mode: exit %d, %r" % (r.returncode, err))
        check("no display" in err and "window part" not in err, "installed window mode: %r" % err)
        check(not os.path.exists(settings), "the settings store was written without a window")


def run_on_terminal(argv):
    """Runs argv with standard error on a new pseudo-terminal; returns (exit code, bytes)."""
    master, slave = pty.openpty()
    p = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=slave)
    os.close(slave)
    data = b""
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # EIO: the program has ended and closed the terminal
            break
        if not chunk:
            break
        data += chunk
    os.close(master)
    return p.wait(timeout=120), data


def check_terminal(kestrama32, dummylog, samples):
    with tempfile.TemporaryDirectory() as work:
        big = os.path.join(work, "big.log")
        # About 1.2 KB a mailbox: 60000 give a log just above 64 MB.
        r = run([dummylog, big, "60000", "4"])
        check(r.returncode == 0, "dummy log: %r" % r.stderr)
        check(os.path.getsize(big) > 64 * 1024 * 1024, "the big log is too small")
        reports = {}
        for name in ("terminal", "pipe"):
            base = os.path.join(work, name)
            argv = [kestrama32, "/IN:" + big, "/OUT:" + base, "/OPTIONS:5130;."]
            if name == "terminal":
                code, err = run_on_terminal(argv)
                text = err.decode()
                frames = [f for f in text.split("\r") if f][:-1]  # the last one clears
                check(code == 0, "terminal run: exit %d, %r" % (code, text[-500:]))
                check(len(frames) >= 1 and all(f.startswith("kestrama32: reading ") and
                                               f.endswith("\x1b[K") for f in frames),
                      "terminal run: progress frames %r" % frames[:5])
                check("MB/s" in frames[0] and "left" in frames[0], "progress line %r" % frames[0])
                # The last frame clears the line, and nothing but progress reached the terminal.
                check(text.endswith("\r\x1b[K") and "\n" not in text,
                      "terminal run: line not cleared: %r" % text[-200:])
            else:
                r = run(argv)
                check(r.returncode == 0 and r.stderr == b"",
                      "piped run: exit %d, stderr %r" % (r.returncode, r.stderr[:200]))
            for ext in (".csv", ".mht"):
                with open(base + ext, "rb") as f:
                    reports[name, ext] = f.read().replace(base.encode(), b"BASE")
        check(reports["terminal", ".csv"] == reports["pipe", ".csv"], "CSV reports differ")
        check(reports["terminal", ".mht"] == reports["pipe", ".mht"], "web reports differ")
        # A small log is read too quickly to need a progress line.
        code, err = run_on_terminal([kestrama32, "/IN:" + os.path.join(samples, SAMPLE),
                                     "/OUT:" + os.path.join(work, "small"), "/OPTIONS:5130;."])
        check(code == 0 and err == b"", "small log on a terminal: exit %d, %r" % (code, err))


def run_with_password(argv, password):
    """Runs argv + [the store switch] against a server that keeps the program waiting; returns
    what /proc/PID/cmdline showed meanwhile, the switch as it should be shown, and the ended
    process with its standard output and error."""
    with socket.socket() as server:
        server.bind(("127.0.0.1", 0))
        server.listen(1)
        server.settimeout(60)
        url = ("postgresql://ann:%s@127.0.0.1:%d/db?sslmode=disable&gssencmode=disable"
               % (password, server.getsockname()[1]))
        switch = ("/HISTORY:" if argv[1] != "history" else "--history=") + url
        p = subprocess.Popen(argv + [switch], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            # The program connects only after it has read its arguments; while the server keeps
            # it waiting, its arguments are what anyone may read.
            connection, _ = server.accept()
            with open("/proc/%d/cmdline" % p.pid, "rb") as f:
                shown = f.read().split(b"\0")[:-1]
            connection.close()
            out, err = p.communicate(timeout=120)
        finally:
            if p.poll() is None:
                p.kill()
                p.wait()
        hidden = switch.replace(password, "*" * len(password))
        return shown, [a.encode() for a in argv] + [hidden.encode()], p, out, err


def check_password(kestrama32, samples):
    password = "S3cr3t-Pw"
    with tempfile.TemporaryDirectory() as work:
        argv = [kestrama32, "/IN:" + os.path.join(samples, SAMPLE),
                "/OUT:" + os.path.join(work, "report"), "/OPTIONS:5130;."]
        shown, expected, p, out, err = run_with_password(argv, password)
        check(shown == expected, "/proc/PID/cmdline shows %r" % shown)
        text = err.decode(errors="replace")
        check(p.returncode == 1, "exit %d: %s" % (p.returncode, text))
        check(password not in text, "standard error shows the password: %s" % text)
        warnings = [line for line in text.splitlines() if "password on the command line" in line]
        check(len(warnings) == 1 and all(w in warnings[0] for w in
                                         ("~/.pgpass", "PGPASSFILE", "PGPASSWORD", "service=")),
              "the warning: %s" % text)
        check("cannot open the history database" in text, "no error line: %s" % text)
    # The monitoring check hides it as well, but warns of nothing: its one line is all it says.
    shown, expected, p, out, err = run_with_password([kestrama32, "history", "check"], password)
    check(shown == expected, "history check: /proc/PID/cmdline shows %r" % shown)
    line = out.decode(errors="replace")
    check(p.returncode == 3 and line.startswith("KESTRAMA32 UNKNOWN - ") and line.count("\n") == 1
          and password not in line, "history check: exit %d: %s" % (p.returncode, line))
    check(err == b"", "history check wrote to standard error: %r" % err)


def main():
    mode, args = sys.argv[1], sys.argv[2:]
    {"no_qt": check_no_qt, "window_part": check_window_part, "installed": check_installed,
     "terminal": check_terminal, "password": check_password}[mode](*args)
    print("%s: passed" % mode)


if __name__ == "__main__":
    main()
