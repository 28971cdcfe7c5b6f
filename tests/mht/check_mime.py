#!/usr/bin/env python3
"""Feeds web reports to Python's own MIME parser and checks their structure and content.

usage: check_mime.py KESTRAMA32 DUMMYLOG SAMPLES_DIR

Writes reports from a German log (accented names) and from a dummy log of 120 mailboxes, then
checks for each: a multipart/related message with one text/html part and two image parts whose
base64 decodes to GIF images of 468 x 60 and 85 x 20 pixels, and an HTML part that holds every
mailbox of the CSV report, accents included.
"""
import csv
import email
import email.policy
import html
import os
import struct
import subprocess
import sys
import tempfile


def gif_size(data):
    assert data[:6] in (b"GIF87a", b"GIF89a"), "not a GIF: %r" % data[:6]
    return struct.unpack("<HH", data[6:10])


def check_report(base):
    with open(base + ".mht", "rb") as f:
        msg = email.message_from_bytes(f.read(), policy=email.policy.default)
    assert msg.get_content_type() == "multipart/related", msg.get_content_type()
    parts = list(msg.iter_parts())
    html_parts = [p for p in parts if p.get_content_type() == "text/html"]
    images = [p for p in parts if p["Content-ID"]]
    assert len(html_parts) == 1, "html parts: %d" % len(html_parts)
    assert len(images) == 2, "image parts: %d" % len(images)
    sizes = {p["Content-ID"]: gif_size(p.get_payload(decode=True)) for p in images}
    assert sizes == {"<kestrama.gif>": (468, 60), "<novell.gif>": (85, 20)}, sizes

    page = html.unescape(html_parts[0].get_payload(decode=True).decode("cp1252"))
    assert 'src="cid:kestrama.gif"' in page and 'src="cid:novell.gif"' in page
    with open(base + ".csv", newline="", encoding="cp1252") as f:
        rows = list(csv.reader(f, delimiter=";"))[2:]
    assert rows, "no mailboxes in the CSV report"
    for row in rows:
        for value in (row[0], row[1]):  # user name and full name
            assert ">%s<br>" % value in page, "missing in the page: %r" % value
    return len(rows)


def main():
    kestrama, dummylog, samples = sys.argv[1:4]
    with tempfile.TemporaryDirectory() as out:
        dummy = os.path.join(out, "dummy.log")
        subprocess.run([dummylog, dummy, "120", "3", "--problems"], check=True)
        for name, log in (("german", os.path.join(samples, "german-gw7.log")), ("dummy", dummy)):
            base = os.path.join(out, name)
            subprocess.run([kestrama, "/IN:" + log, "/OUT:" + base, "/OPTIONS:5130;."], check=True)
            count = check_report(base)
            print("%s: %d mailboxes, MIME structure and content as expected" % (name, count))


if __name__ == "__main__":
    main()
