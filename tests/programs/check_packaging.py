#!/usr/bin/env python3
"""Checks what the packages carry besides the programs, and the Debian packages themselves.

usage: check_packaging.py man MANPAGE...
       check_packaging.py desktop DESKTOP_FILE METAINFO_FILE ICON_FOLDER
       check_packaging.py debs BUILD_DIR SAMPLES DATA_FROM_WINDOW

"man": the manual pages pass mandoc's lint (warnings and errors).
"desktop": the desktop entry passes desktop-file-validate, the metainfo appstreamcli's offline
validation, and the icons are an SVG and PNGs of 48, 128 and 256 pixels square.
"debs": cpack builds the two packages from the build; extracted with dpkg-deb into a temporary
root, the batch package runs a report equal to the build's, holds no Qt library, and the window
package holds the manual where the window program looks for it (DATA_FROM_WINDOW, relative to
its folder) and depends on the batch package; lintian finds no error in either package.
"""
import glob
import os
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


def reports(program, log, base, env=None):
    r = run([program, "/IN:" + log, "/OUT:" + base, "/OPTIONS:5130;."], env=env)
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


def main():
    mode, args = sys.argv[1], sys.argv[2:]
    {"man": check_man, "desktop": check_desktop, "debs": check_debs}[mode](*args)
    print("%s: passed" % mode)


if __name__ == "__main__":
    main()
