#!/usr/bin/env python3
"""Checks the packed user manual and the packer that makes it.

usage: check_manual.py built MANUAL_MHT
       check_manual.py packer PACK_MHT_PY

"built" reads the manual.mht of the build with Python's MIME parser: one multipart/related
message whose first part is the only text/html part, holding every tab's name and the batch
switches, and whose image parts decode to the images their types name and are all shown by the
page. "packer" packs a small page in a temporary folder: images that exist are embedded once,
a missing or broken one is left out with a warning, the text survives quoted-printable whole,
and a failed pack leaves an earlier manual as it was.
"""
import email
import email.policy
import os
import re
import struct
import subprocess
import sys
import tempfile
import zlib

TABS = ("Log", "Output HTML", "Output CSV", "Settings", "Advanced", "Help")
SWITCHES = ("/IN:", "/OUT:", "/OPTIONS:", "/COLUMN:", "/TOP:")
MAGIC = {"image/png": b"\x89PNG\r\n\x1a\n", "image/gif": b"GIF8", "image/jpeg": b"\xff\xd8\xff"}


def read_archive(path):
    """The parsed message, the page's decoded text and {Content-ID: (type, bytes)}."""
    with open(path, "rb") as f:
        raw = f.read()
    assert raw.endswith(b"\r\n"), "the last line has no CR LF"
    assert b"\n" not in raw.replace(b"\r\n", b""), "a line ends without CR"
    lines = raw.split(b"\r\n")
    assert max(len(line) for line in lines) <= 76, "a line is longer than 76"
    # Mail software may strip a blank at a line end; quoted-printable must encode it.
    assert not [line for line in lines if line.endswith((b" ", b"\t"))], "a line ends in a blank"
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    assert msg.get_content_type() == "multipart/related", msg.get_content_type()
    assert not msg.defects, msg.defects
    parts = list(msg.iter_parts())
    assert parts and parts[0].get_content_type() == "text/html", "the root is not the page"
    assert [p.get_content_type() for p in parts].count("text/html") == 1, "several pages"
    page = parts[0].get_content().replace("\r\n", "\n")  # MIME text lines end in CR LF
    images = {}
    for part in parts[1:]:
        assert part["Content-Location"], "an image part without Content-Location"
        cid = part["Content-ID"]
        assert cid and cid.startswith("<") and cid.endswith(">"), "bad Content-ID %r" % cid
        data = part.get_payload(decode=True)
        kind = part.get_content_type()
        assert data.startswith(MAGIC[kind]), "%s does not decode to %s" % (cid, kind)
        images[cid[1:-1]] = (kind, data)
    return msg, page, images


def shown_images(page):
    return re.findall(r'<img [^>]*src="([^"]*)"', page)


def check_built(path):
    _, page, images = read_archive(path)
    text = re.sub(r"<[^>]+>", " ", page)
    for word in TABS + SWITCHES:
        assert word in text, "the manual does not mention %r" % word
    srcs = shown_images(page)
    assert all(src.startswith("cid:") for src in srcs), "a picture outside the archive: %r" % srcs
    assert {src[4:] for src in srcs} == set(images), "pictures %r, parts %r" % (srcs, list(images))
    print("manual.mht: one page, %d pictures, every tab and switch described" % len(images))


def png(width, height):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + b"\x20\x60\xa0" * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


GIF = (b"GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00,\x00\x00\x00\x00\x01\x00"
       b"\x01\x00\x00\x02\x02D\x01\x00;")

# Text the packer must carry through unchanged: "=", bytes above 127, a blank at a line end, a
# line far longer than a quoted-printable line, and a line that looks like the archive's boundary.
TEXT = ("<p>Gr\u00f6\u00dfe = 5 &amp; M\u00fcller \u2013 ok</p> \n"
        "<p>" + "lang " * 40 + "</p>\n"
        "------=_Kestrama32_Manual_Part_0001--\n")


def pack(packer, folder, page, out):
    html_path = os.path.join(folder, "page.html")
    with open(html_path, "w", encoding="utf-8") as f:
        f.write(page)
    return subprocess.run([sys.executable, packer, html_path, out], capture_output=True, text=True)


def check_packer(packer):
    with tempfile.TemporaryDirectory() as folder:
        os.mkdir(os.path.join(folder, "images"))
        os.mkdir(os.path.join(folder, "other"))
        files = {"images/shot.png": png(3, 2), "images/logo.gif": GIF,
                 "images/notapicture.png": b"a text file with a picture's name\n",
                 "other/shot.png": png(1, 1)}
        for name, data in files.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        out = os.path.join(folder, "out.mht")

        page = ("<html><head><title>T\u00e9st</title></head><body>\n" + TEXT +
                '<p class="shot"><img src="images/shot.png" alt="a &quot;shot&quot;"></p>\n'
                '<p><img alt="again" src="images/shot.png"><img src="images/logo.gif"/></p>\n'
                '<p class="shot"><img src="images/missing.png" alt="later"></p>\n'
                '<p class="shot"><img src="images/notapicture.png" alt="broken"></p>\n'
                '<p><img src="https://example.org/x.png" alt="web"></p>\n</body></html>\n')
        result = pack(packer, folder, page, out)
        assert result.returncode == 0, result.stderr
        for name in ("missing.png", "notapicture.png"):
            assert name in result.stderr, "no warning for %s: %r" % (name, result.stderr)
        _, decoded, images = read_archive(out)
        assert TEXT in decoded, "the text did not survive the packing"
        assert sorted(images) == ["logo.gif", "shot.png"], sorted(images)
        assert images["shot.png"] == ("image/png", files["images/shot.png"])
        assert images["logo.gif"] == ("image/gif", GIF)
        assert shown_images(decoded) == ["cid:shot.png", "cid:shot.png", "cid:logo.gif",
                                         "https://example.org/x.png"], shown_images(decoded)
        assert 'alt="a &quot;shot&quot;"' in decoded and 'alt="later"' not in decoded
        assert decoded.count('<p class="shot"></p>') == 2, "a missing picture's tag stayed"

        # Two different files under one name would share a Content-ID: the pack fails, and the
        # manual packed before stays whole.
        with open(out, "rb") as f:
            before = f.read()
        clash = '<img src="images/shot.png"><img src="other/shot.png">'
        result = pack(packer, folder, clash, out)
        assert result.returncode == 1 and "share the name" in result.stderr, result
        with open(out, "rb") as f:
            assert f.read() == before, "a failed pack changed the earlier manual"
        assert not [n for n in os.listdir(folder) if n.endswith(".tmp")], "a temporary file stayed"
    print("pack_mht.py: pictures embedded once, missing ones left out, text intact")


def main():
    mode, path = sys.argv[1:3]
    {"built": check_built, "packer": check_packer}[mode](path)


if __name__ == "__main__":
    main()
