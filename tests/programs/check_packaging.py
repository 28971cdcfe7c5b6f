#!/usr/bin/env python3
"""Checks what the packages carry besides the programs, and the Debian packages themselves.

usage: check_packaging.py man MANPAGE...
       check_packaging.py desktop DESKTOP_FILE METAINFO_FILE ICON_FOLDER
       check_packaging.py debs BUILD_DIR SAMPLES DATA_FROM_WINDOW
       check_packaging.py systemd CMAKE BUILD_DIR SAMPLES BINDIR MANDIR

"man": the manual pages pass mandoc's lint (warnings and errors).
"desktop": the desktop entry passes desktop-file-validate, the metainfo appstreamcli's offline
validation, and the icons are an SVG and PNGs of 48, 128 and 256 pixels square.
"debs": cpack builds the two packages from the build; extracted with dpkg-deb into a temporary
root, the batch package runs a report equal to the build's, holds no Qt library, and the window
package holds the manual where the window program looks for it (DATA_FROM_WINDOW, relative to
its folder) and depends on the batch package; lintian finds no error in either package.
"systemd": the batch part installed into a temporary prefix; its template service and timer pass
`systemd-analyze verify`, and the service's command, given a conf file, starts the program with
exactly the intended arguments (blanks, ";", "#" and quotes in the values), refuses to run as
root or without the log or the reports' path, and, without options, makes the reports of a run
with the default settings and the history in the user's default store. With no service manager
running here, the command is run as systemd would run it (see unit_exec_start).
"""
import glob
import json
import os
import re
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile

SAMPLE = "english-gw652.log"


def run(argv, **kw):
    return subprocess.run(argv, capture_output=True, timeout=300, **kw)


def check(ok, message):
    if not ok:
        raise AssertionError(message)


def check_man(*pages):
    for page in pages:
        r = run(["mandoc", "-T", "lint", "-W", "warning", page])
        check(r.returncode == 0 and not r.stdout and not r.stderr,
              "%s: mandoc lint (exit %d):\n%s%s" % (page, r.returncode, r.stdout.decode(),
                                                    r.stderr.decode()))


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    check(head[:8] == b"\x89PNG\r\n\x1a\n", "%s: not a PNG" % path)
    return struct.unpack(">II", head[16:24])


def check_desktop(desktop, metainfo, icons):
    r = run(["desktop-file-validate", desktop])
    check(r.returncode == 0 and not r.stdout.strip(),
          "desktop-file-validate: %s%s" % (r.stdout.decode(), r.stderr.decode()))
    r = run(["appstreamcli", "validate", "--no-net", "--pedantic", metainfo])
    check(r.returncode == 0, "appstreamcli validate: %s%s" % (r.stdout.decode(), r.stderr.decode()))
    check(os.path.isfile(os.path.join(icons, "kestrama32.svg")), "no scalable icon")
    for size in (48, 128, 256):
        path = os.path.join(icons, "icons", "%dx%d" % (size, size), "kestrama32.png")
        check(png_size(path) == (size, size), "%s: %r" % (path, png_size(path)))


def reports(program, log, base, env=None, options="5130;."):
    r = run([program, "/IN:" + log, "/OUT:" + base, "/OPTIONS:" + options], env=env)
    check(r.returncode == 0 and not r.stderr, "%s: exit %d, %r" % (program, r.returncode, r.stderr))
    out = {}
    for ext in (".csv", ".mht"):
        with open(base + ext, "rb") as f:
            out[ext] = f.read()
        os.remove(base + ext)
    return out


def check_debs(build, samples, data_from_window):
    with tempfile.TemporaryDirectory(prefix="k32-debs-") as work:
        r = run(["cpack", "-G", "DEB", "-B", work], cwd=build)
        check(r.returncode == 0, "cpack: %s%s" % (r.stdout.decode()[-2000:], r.stderr.decode()))
        debs = {os.path.basename(p).split("_")[0]: p for p in glob.glob(os.path.join(work, "*.deb"))}
        check(sorted(debs) == ["kestrama32", "kestrama32-window"], "packages: %r" % sorted(debs))
        root = os.path.join(work, "root")
        for deb in debs.values():
            r = run(["dpkg-deb", "-x", deb, root])
            check(r.returncode == 0, "dpkg-deb -x %s: %r" % (deb, r.stderr))

        def fields(name, field):
            return run(["dpkg-deb", "-f", debs[name], field]).stdout.decode().strip()

        batch_depends = fields("kestrama32", "Depends")
        check("libc6" in batch_depends and "qt" not in batch_depends.lower(),
              "kestrama32 depends on %r" % batch_depends)
        window_depends = fields("kestrama32-window", "Depends")
        version = fields("kestrama32", "Version")
        check("kestrama32 (= %s)" % version in window_depends and "libqt6" in window_depends,
              "kestrama32-window depends on %r" % window_depends)

        # The same report from the extracted program as from the build, byte for byte once the
        # web report's own location is the same: both write to the same base in turn.
        log = os.path.join(samples, SAMPLE)
        base = os.path.join(work, "report")
        built = reports(os.path.join(build, "src", "kestrama32"), log, base)
        extracted = reports(os.path.join(root, "usr", "bin", "kestrama32"), log, base)
        check(built == extracted, "the packaged program's reports differ from the build's")
        r = run([os.path.join(root, "usr", "bin", "kestrama32"), "--version"])
        check(r.stdout.decode() == "kestrama32 %s\n" % version, "--version: %r" % r.stdout)

        window_folder = os.path.join(root, "usr", "libexec", "kestrama32")
        check(os.access(os.path.join(window_folder, "kestrama32-window"), os.X_OK),
              "no window program in the window package")
        manual = os.path.normpath(os.path.join(window_folder, data_from_window, "manual.mht"))
        check(os.path.isfile(manual), "the window program would not find its manual at %s" % manual)

        r = run(["lintian", "--tag-display-limit", "0"] + sorted(debs.values()))
        lines = [l for l in r.stdout.decode().splitlines() if l[:2] in ("E:", "W:", "I:")]
        errors = [l for l in lines if l.startswith("E:")]
        check(not errors, "lintian errors:\n" + "\n".join(errors))
        for line in lines:
            print("lintian:", line)


# systemd's own reader of NAME=value files. The environment.d generator reads its files with the
# parser that EnvironmentFile= uses and prints what it read, shell-quoted; it also expands "$" in
# values and drops empty ones, which the conf files of these cases avoid.
ENV_GENERATOR = "/usr/lib/systemd/user-environment-generators/30-systemd-environment-d-generator"

# The weekly run as an administrator sets it up: blanks, ";" and "#" in the values, one value in
# quotes, comments of both kinds. Each case: the conf file's lines, the uid that `id -u` gives,
# and the arguments the program must get (None: it must not start; then exit code and a piece of
# the message).
ROOT_HINT = "refusing to run as root; choose the user: systemctl edit kestrama32@harbour.service"
UNIT_CASES = [
    ("every switch",
     ["# harbour: weekly", "; also a comment",
      "KESTRAMA32_IN=/srv/gw logs/harbour #2.log",
      'KESTRAMA32_OUT="/srv/weekly reports/harbour"',
      "KESTRAMA32_OPTIONS=5130;.",
      "KESTRAMA32_COLUMN=9876543210,HTML:1111111110,CSV:0111111111",
      "KESTRAMA32_TOP=50,ABOVE:1024",
      "KESTRAMA32_HISTORY=/srv/history/harbour 2026.sqlite  "],
     1000,
     ["/IN:/srv/gw logs/harbour #2.log", "/OUT:/srv/weekly reports/harbour", "/OPTIONS:5130;.",
      "/COLUMN:9876543210,HTML:1111111110,CSV:0111111111", "/TOP:50,ABOVE:1024",
      "/HISTORY:/srv/history/harbour 2026.sqlite"]),
    ("defaults, no history",
     ["KESTRAMA32_IN=/srv/gw/harbour.log", "KESTRAMA32_OUT=/srv/reports/harbour"],
     1000,
     ["/IN:/srv/gw/harbour.log", "/OUT:/srv/reports/harbour", "/OPTIONS:",
      "/COLUMN:0123456789,HTML:1111111111,CSV:1111111111", "/TOP:0,ABOVE:0"]),
    ("the default history store, a top count without columns",
     ["KESTRAMA32_IN=/srv/gw/harbour.log", "KESTRAMA32_OUT=/srv/reports/harbour",
      "KESTRAMA32_TOP=20,ABOVE:0", "KESTRAMA32_HISTORY=default"],
     1000,
     ["/IN:/srv/gw/harbour.log", "/OUT:/srv/reports/harbour", "/OPTIONS:",
      "/COLUMN:0123456789,HTML:1111111111,CSV:1111111111", "/TOP:20,ABOVE:0", "/HISTORY:"]),
    ("a history server",
     ["KESTRAMA32_IN=/srv/gw/harbour.log", "KESTRAMA32_OUT=/srv/reports/harbour",
      "KESTRAMA32_HISTORY='host=db1 dbname=history'"],
     1000,
     ["/IN:/srv/gw/harbour.log", "/OUT:/srv/reports/harbour", "/OPTIONS:",
      "/COLUMN:0123456789,HTML:1111111111,CSV:1111111111", "/TOP:0,ABOVE:0",
      "/HISTORY:host=db1 dbname=history"]),
    ("no reports' path",
     ["KESTRAMA32_IN=/srv/gw/harbour.log"], 1000,
     None, 2, "KESTRAMA32_OUT: is not set in /etc/kestrama32/harbour.conf"),
    ("as root",
     ["KESTRAMA32_IN=/srv/gw/harbour.log", "KESTRAMA32_OUT=/srv/reports/harbour"], 0,
     None, 78, ROOT_HINT),
]


def unit_exec_start(unit_file, unit_name):
    """The ExecStart= command of a unit file as systemd runs it, for the syntax this unit uses:
    continued lines, quoted words, %i, %n and %%, and "$$" for the shell's "$". Anything else
    systemd would read differently fails here rather than being read wrongly."""
    with open(unit_file) as f:
        text = f.read().replace("\\\n", " ")
    lines = [l for l in text.splitlines() if l.startswith("ExecStart=")]
    check(len(lines) == 1, "%s: %d ExecStart= lines" % (unit_file, len(lines)))
    line = lines[0][len("ExecStart="):]
    instance = unit_name.split("@", 1)[1].rsplit(".", 1)[0]
    specifiers = {"%": "%", "i": instance, "n": unit_name}

    def specifier(m):
        check(m.group(1) in specifiers, "unit uses the specifier %%%s" % m.group(1))
        return specifiers[m.group(1)]

    line = re.sub(r"%(.)", specifier, line)
    check("\\" not in line, "a backslash in ExecStart=, which systemd unescapes")
    check(not re.search(r"(?<!\$)\$(?!\$)", line.replace("$$", "")),
          "ExecStart= has a \"$\" that systemd would expand itself")
    return [word.replace("$$", "$") for word in shlex.split(line)]


def conf_environment(conf_lines, work):
    folder = os.path.join(work, "config", "environment.d")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "50-harbour.conf"), "w") as f:
        f.write("\n".join(conf_lines) + "\n")
    r = run([ENV_GENERATOR], env={"XDG_CONFIG_HOME": os.path.join(work, "config"),
                                  "XDG_CONFIG_DIRS": os.path.join(work, "none")})
    check(r.returncode == 0 and not r.stderr, "environment generator: %r" % r.stderr)
    env = {}
    for line in r.stdout.decode().splitlines():
        key, value = line.split("=", 1)
        if key.startswith("KESTRAMA32_"):
            env[key] = shlex.split(value)[0] if value else ""
    return env


def fake_id(folder, uid):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "id"), "w") as f:
        f.write("#!/bin/sh\necho %d\n" % uid)
    os.chmod(os.path.join(folder, "id"), 0o755)
    return folder


def run_unit(command, conf_lines, uid, work, home):
    env = conf_environment(conf_lines, work)
    env.update(PATH=fake_id(os.path.join(work, "uid%d" % uid), uid) + ":/usr/bin:/bin",
               HOME=home)
    return run(command, env=env)


def check_systemd(cmake, build, samples, bindir, mandir):
    with tempfile.TemporaryDirectory(prefix="k32-systemd-") as work:
        prefix = os.path.join(work, "prefix")
        r = run([cmake, "--install", build, "--component", "batch", "--prefix", prefix])
        check(r.returncode == 0, "install: %s" % r.stderr.decode())
        units = os.path.join(prefix, "lib", "systemd", "system")
        service = os.path.join(units, "kestrama32@.service")
        timer = os.path.join(units, "kestrama32@.timer")
        # Documentation= names the manual page, which verify looks up with man.
        r = run(["systemd-analyze", "verify", service, timer],
                env=dict(os.environ, MANPATH=os.path.join(prefix, mandir)))
        check(r.returncode == 0 and not r.stdout and not r.stderr,
              "systemd-analyze verify (exit %d): %s%s" % (r.returncode, r.stdout.decode(),
                                                         r.stderr.decode()))
        with open(timer) as f:
            check("OnCalendar=weekly\n" in f.read(), "the timer is not weekly")

        program = os.path.join(prefix, bindir, "kestrama32")
        command = unit_exec_start(service, "kestrama32@harbour.service")
        check(("exec %s " % program) in command[2],
              "the service does not start the installed program: %r" % command)

        # A real run first: from a conf file with blanks in both paths and no options, the
        # installed program makes the reports of a run with the default settings (the same
        # bytes; both write to the same base in turn) and the history in the user's default store.
        log = os.path.join(work, "gw logs", "harbour #2.log")
        os.makedirs(os.path.dirname(log))
        shutil.copy(os.path.join(samples, SAMPLE), log)
        base = os.path.join(work, "weekly reports", "harbour")
        os.makedirs(os.path.dirname(base))
        home = os.path.join(work, "home")
        r = run_unit(command, ["KESTRAMA32_IN=" + log, 'KESTRAMA32_OUT="%s"' % base,
                               "KESTRAMA32_HISTORY=default"], 1000, work, home)
        check(r.returncode == 0 and not r.stderr, "service run: exit %d, %r"
              % (r.returncode, r.stderr))
        for made in (base + "-trends.html",
                     os.path.join(home, ".local", "share", "kestrama32", "history.sqlite")):
            check(os.path.isfile(made), "the service run made no %s" % made)
        with open(base + ".csv", "rb") as f:
            service_reports = {".csv": f.read()}
        with open(base + ".mht", "rb") as f:
            service_reports[".mht"] = f.read()
        for ext in (".csv", ".mht"):
            os.remove(base + ext)
        check(service_reports == reports(program, log, base, options="5110;.",
                                         env=dict(os.environ, HOME=home)),
              "the service's reports differ from those of a run with the default settings")

        # Then the program replaced by one that writes down its arguments.
        argv_file = os.path.join(work, "argv.json")
        with open(program, "w") as f:
            f.write("#!%s\nimport json, sys\nwith open(%r, 'w') as f:\n"
                    "    json.dump(sys.argv[1:], f)\n" % (sys.executable, argv_file))
        for name, conf, uid, expected, *failure in UNIT_CASES:
            if os.path.exists(argv_file):
                os.remove(argv_file)
            r = run_unit(command, conf, uid, work, home)
            if expected is None:
                code, message = failure
                check(r.returncode == code and message in r.stderr.decode(),
                      "%s: exit %d, %r" % (name, r.returncode, r.stderr))
                check(not os.path.exists(argv_file), "%s: the program was started" % name)
                continue
            check(r.returncode == 0 and not r.stderr,
                  "%s: exit %d, %r" % (name, r.returncode, r.stderr))
            with open(argv_file) as f:
                got = json.load(f)
            check(got == expected, "%s: arguments %r, expected %r" % (name, got, expected))


def main():
    mode, args = sys.argv[1], sys.argv[2:]
    {"man": check_man, "desktop": check_desktop, "debs": check_debs,
     "systemd": check_systemd}[mode](*args)
    print("%s: passed" % mode)


if __name__ == "__main__":
    main()
