#!/usr/bin/env python3
"""Packs an HTML page and the images it shows into one web archive (multipart/related MHT).

usage: pack_mht.py HTML_FILE OUTPUT_MHT

The page becomes the first part, quoted-printable; every image that an <img src="..."> names by a
relative path becomes a base64 part with a Content-Location and a Content-ID, and the page refers
to it as "cid:<name>", because web engines refuse file: addresses inside an archive. An image file
that is missing, or is not the PNG, GIF or JPEG its name says, is left out with a warning and its
<img> tag is dropped, so that a manual whose screenshots are still to come builds all the same.
Every line ends in CR LF. Standard library only; the output depends on the input files alone.
"""
import base64
import html
import html.parser
import os
import sys
import urllib.parse

BOUNDARY = "----=_Kestrama32_Manual_Part_0001"
LINE_END = b"\r\n"
QP_MAX = 76  # the longest encoded line, soft line break included

IMAGE_TYPES = {  # file name ending: (MIME type, the bytes such a file starts with)
    ".png": ("image/png", (b"\x89PNG\r\n\x1a\n",)),
    ".gif": ("image/gif", (b"GIF87a", b"GIF89a")),
    ".jpg": ("image/jpeg", (b"\xff\xd8\xff",)),
    ".jpeg": ("image/jpeg", (b"\xff\xd8\xff",)),
}


class PackError(Exception):
    pass


def warn(text):
    print("pack_mht.py: warning: " + text, file=sys.stderr)


class _ImageTags(html.parser.HTMLParser):
    """Collects each <img> tag with its place in the page and its src value."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags = []  # (line, column, tag text, attributes)

    def handle_starttag(self, tag, attrs):
        if tag == "img":
            line, column = self.getpos()
            self.tags.append((line, column, self.get_starttag_text(), attrs))

    handle_startendtag = handle_starttag


def _img_tag(attrs, src):
    """An <img> tag with the given attributes and src, each value quoted and escaped."""
    pieces = ["<img"]
    for key, value in attrs:
        if key == "src":
            value = src
        pieces.append(key if value is None else '%s="%s"' % (key, html.escape(value)))
    return " ".join(pieces) + ">"


def _is_local(src):
    """True for a relative file path; web addresses, data: and cid: references stay as they are."""
    if not src:
        return False
    parts = urllib.parse.urlsplit(src)
    return not (parts.scheme or parts.netloc or parts.path.startswith("/"))


def _offsets(text):
    """Start offset of each line (1-based line numbers, as the parser counts them)."""
    starts = [0, 0]
    for i, ch in enumerate(text):
        if ch == "\n":
            starts.append(i + 1)
    return starts


def _load_image(path, src):
    """The image's MIME type and bytes, or None (with a warning) when it cannot be embedded."""
    ending = os.path.splitext(src)[1].lower()
    if ending not in IMAGE_TYPES:
        raise PackError("%s: not a PNG, GIF or JPEG file name" % src)
    mime, magics = IMAGE_TYPES[ending]
    try:
        with open(path, "rb") as f:
            data = f.read()
    except FileNotFoundError:
        warn("%s not found; the page is packed without it" % src)
        return None
    except OSError as e:
        raise PackError("%s: %s" % (src, e.strerror)) from e
    if not data.startswith(magics):
        warn("%s is not a %s image; the page is packed without it" % (src, mime))
        return None
    return mime, data


def embed_images(page, base_dir):
    """Rewrites the page's local <img> references to cid: and returns (page, image parts).

    Each image file is packed once, however often the page shows it; two different files with
    the same name would share one Content-ID, so that is refused.
    """
    parser = _ImageTags()
    parser.feed(page)
    parser.close()
    starts = _offsets(page)
    parts = {}  # Content-ID -> (relative path, MIME type, bytes)
    missing = set()
    edits = []  # (start, end, replacement)
    for line, column, tag, attrs in parser.tags:
        src = dict(attrs).get("src")
        if not _is_local(src):
            continue
        rel = os.path.normpath(urllib.parse.unquote(urllib.parse.urlsplit(src).path))
        name = os.path.basename(rel)
        start = starts[line] + column
        if name in parts and parts[name][0] != rel:
            raise PackError("%s and %s share the name %s" % (parts[name][0], rel, name))
        if name not in parts and rel not in missing:
            loaded = _load_image(os.path.join(base_dir, rel), src)
            if loaded is None:
                missing.add(rel)
            else:
                parts[name] = (rel, loaded[0], loaded[1])
        if rel in missing:
            edits.append((start, start + len(tag), ""))
        else:
            edits.append((start, start + len(tag), _img_tag(attrs, "cid:" + name)))
    for start, end, replacement in sorted(edits, reverse=True):
        page = page[:start] + replacement + page[end:]
    return page, [(name, rel, mime, data) for name, (rel, mime, data) in parts.items()]


def quoted_printable_lines(data):
    """Encodes bytes as quoted-printable lines of at most 76 characters, without line ends.

    Line ends of the input (LF or CR LF) become the line ends of the output; "=" and every byte
    outside printable ASCII are encoded, and so is a blank or tab at the end of a line, which mail
    software may strip.
    """
    out = []
    for line in data.split(b"\n"):
        if line.endswith(b"\r"):
            line = line[:-1]
        tokens = []
        for i, b in enumerate(line):
            last = i == len(line) - 1
            if (33 <= b <= 126 and b != ord("=")) or (b in (9, 32) and not last):
                tokens.append(chr(b))
            else:
                tokens.append("=%02X" % b)
        current = ""
        for token in tokens:
            if len(current) + len(token) > QP_MAX - 1:  # room for the soft break's "="
                out.append(current + "=")
                current = ""
            current += token
        out.append(current)
    if data.endswith(b"\n"):
        out.pop()  # the final line end ends the last line; it does not start another
    return out


def build_mht(page_bytes, images, title):
    """The whole archive as bytes: the page part first, then one part per image."""
    lines = [
        "From: Kestrama 32",
        "Subject: " + title,
        "MIME-Version: 1.0",
        "Content-Type: multipart/related;",
        '\tboundary="%s";' % BOUNDARY,
        '\ttype="text/html"',
        "",
        "This is a multi-part message in MIME format.",
        "",
        "--" + BOUNDARY,
        "Content-Type: text/html;",
        '\tcharset="utf-8"',
        "Content-Transfer-Encoding: quoted-printable",
        "Content-Location: file:///kestrama32/manual.html",
        "",
    ]
    lines += quoted_printable_lines(page_bytes)
    for name, rel, mime, data in images:
        lines += [
            "",
            "--" + BOUNDARY,
            "Content-Type: " + mime,
            "Content-Transfer-Encoding: base64",
            "Content-Location: file:///kestrama32/" + rel.replace(os.sep, "/"),
            "Content-ID: <%s>" % name,
            "",
        ]
        encoded = base64.b64encode(data).decode("ascii")
        lines += [encoded[i:i + 76] for i in range(0, len(encoded), 76)]
    lines += ["", "--" + BOUNDARY + "--"]
    return LINE_END.join(line.encode("ascii") for line in lines) + LINE_END


def page_title(page):
    start = page.find("<title>")
    end = page.find("</title>", start)
    if start < 0 or end < 0:
        return "Kestrama 32"
    title = " ".join(page[start + len("<title>"):end].split())
    # Header fields are ASCII; a title with other characters keeps only its ASCII ones.
    return title.encode("ascii", "ignore").decode("ascii") or "Kestrama 32"


def pack(html_path, out_path):
    with open(html_path, encoding="utf-8") as f:
        page = f.read()
    page, images = embed_images(page, os.path.dirname(os.path.abspath(html_path)))
    mht = build_mht(page.encode("utf-8"), images, page_title(page))
    # Written beside the target and renamed, so that a failed pack never leaves half a manual.
    tmp = out_path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(mht)
    os.replace(tmp, out_path)
    return images


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    try:
        pack(argv[1], argv[2])
    except (PackError, OSError, UnicodeDecodeError) as e:
        print("pack_mht.py: error: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
