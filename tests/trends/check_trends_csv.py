#!/usr/bin/env python3
"""Reads the trend CSV of real batch runs with Python's own csv module.

usage: check_trends_csv.py KESTRAMA32 LOGS_DIR

Records the logs of LOGS_DIR (three runs of the post office Harbour, weeks apart, and one run of
a second post office between them) into a new history store with the ";", the "," and the "."
separator, and reads harbour-1-trends.csv (the first run) and harbour-3-trends.csv (the third)
with the csv module: the header line, eleven fields on every row, a full name holding both
separators and a double quote read back whole, figures with a decimal point read back whole when
"." separates the fields, and empty cells where a figure does not exist (no earlier run, no
limit, too few runs or no growth for a projection); the growth per week and the date of the
limit, new at the end of each line, from the same line as the days to the limit.
"""
import csv
import os
import subprocess
import sys
import tempfile

HEADER = ["Username", "Fullname", "Size then (MB)", "Size now (MB)", "Growth (MB)",
          "Growth (%)", "Limit (MB)", "Used (%)", "Days to limit", "Growth per week (MB)",
          "Limit reached on"]
QUOTED = 'Smith; Jo "JJ", Ann'
RUNS = ("harbour-1", "harbour-2", "lighthouse-1", "harbour-3")

# The first run: sizes and limits only; nothing to compare with or project from.
FIRST = {
    "AMORGAN": ["Anna Morgan", "", "100", "", "", "300", "33.3", "", "", ""],
    "BCHEN": ["Bo Chen", "", "390", "", "", "400", "97.5", "", "", ""],
    "CDELACROIX": ["Camille Delacroix", "", "20", "", "", "", "", "", "", ""],
    "DSMITH": [QUOTED, "", "560", "", "", "500", "112", "", "", ""],
    "EGONE": ["Eve Gone", "", "10", "", "", "100", "10", "", "", ""],
}
# The third run against the second. AMORGAN grew 100, 150, 200 MB on days 0, 14 and 35: the
# least-squares line is at 202.6 MB today and rises 2.82 MB a day (19.7 a week), so 300 MB is 35
# days away: on 2026-03-15, counted from the third run on 2026-02-09. DSMITH is over its limit
# already (0 days: reached on the day of the run); BCHEN does not grow (0 MB a week, no date);
# CDELACROIX has no limit; FNEW is new (no size then, too few runs) and EGONE is gone.
THIRD = {
    "AMORGAN": ["Anna Morgan", "150", "200", "50", "33.3", "300", "66.7", "35", "19.7",
                "2026-03-15"],
    "BCHEN": ["Bo Chen", "390", "390", "0", "0", "400", "97.5", "", "0", ""],
    "CDELACROIX": ["Camille Delacroix", "40", "70", "30", "75", "", "", "", "", ""],
    "DSMITH": [QUOTED, "580", "600", "20", "3.4", "500", "120", "0", "7.9", "2026-02-09"],
    "FNEW": ["Fay New", "", "5", "", "", "100", "5", "", "", ""],
}


def read_rows(path, separator):
    with open(path, newline="", encoding="cp1252") as f:
        rows = list(csv.reader(f, delimiter=separator, strict=True))
    assert rows and rows[0] == HEADER, "%s: header %r" % (path, rows[:1])
    for number, row in enumerate(rows[1:], start=2):
        assert len(row) == len(HEADER), "%s, line %d: %d fields: %r" % (path, number, len(row), row)
    return {row[0]: row[1:] for row in rows[1:]}


def check(kestrama, logs, separator):
    with tempfile.TemporaryDirectory() as out:
        store = os.path.join(out, "history.sqlite")
        for run in RUNS:
            subprocess.run([kestrama, "/IN:" + os.path.join(logs, run + ".log"),
                            "/OUT:" + os.path.join(out, run), "/OPTIONS:5130" + separator + ".",
                            "/HISTORY:" + store], check=True)
        for name, expected in (("harbour-1", FIRST), ("harbour-3", THIRD)):
            path = os.path.join(out, name + "-trends.csv")
            rows = read_rows(path, separator)
            assert rows == expected, "%s with %r:\n%r\nexpected\n%r" % (name, separator, rows,
                                                                         expected)
    print("separator %r: header, fields, quoting and empty cells as expected" % separator)


def main():
    kestrama, logs = sys.argv[1:3]
    for separator in (";", ",", "."):
        check(kestrama, logs, separator)


if __name__ == "__main__":
    main()
