#!/usr/bin/env python3
"""Writes the weekly mailbox-statistics logs of a post office that an administrator would
record into the history: some mailboxes growing fast, some new from one week, some gone, several
near or over their limit, most steady.

    make_weeks.py FOLDER [WEEKS [MAILBOXES]]

Writes FOLDER/week-1.log ... FOLDER/week-WEEKS.log, one Monday apart from 5 January 2026, and
prints their paths in date order. The same arguments always give the same bytes.
"""

import datetime
import os
import random
import sys

HEADER = """\
================================================================================
===== BEGIN - JOB LOG ==========================================================
================================================================================

================================================================================
===== TASK LOG - 0 (4a1f02c3.ckl) ==============================================
================================================================================
Novell GroupWise - GWCHKSRV - Version 6.5.2
  Processed on {processed}



*********************************************************************
Processing information for this run:
  Path to PO   = FS1\\MAIL:\\grpwise\\harbour
    Post Office= Harbour
    User       = All
  Action       = Mailbox Statistics
  Files        = Message, User
    Box Limit  = 500
  Verbose      = No
  Output log   = FS1\\MAIL:\\grpwise\\harbour\\wpcsout\\chk\\4a1f02c5.ckl


*********************************************************************

*** Processing post office 'Harbour.Coast' located at 'FS1\\MAIL:\\grpwise\\harbour' ***


"""

USER = """\
  Checking user = {user}     ({fid})   2311040 bytes,{stamp} ({name})
          STRUCTURAL VERIFICATION of database FS1\\MAIL:\\grpwise\\po\\ofuser\\user{fid}.db
      - Database is structurally consistent
      - checking Folder records
  User stats:  12 InBox, 3 OutBox, 1 WasteBasket
{limit}      {kb} kbytes in use by user's mail


"""

FIRST = ["Anna", "Bo", "Camille", "Dieter", "Eve", "Farid", "Greta", "Hugo", "Ines", "Jonas"]
LAST = ["Morgan", "Chen", "Delacroix", "Smith", "Berger", "Haddad", "Lund", "Moreau", "Novak"]


def mailboxes(count, rng):
    """Each mailbox: its size in the first week, its weekly growth (KB), its limit (KB or None),
    and the weeks it exists (first, last)."""
    boxes = []
    for i in range(count):
        limit = rng.choice([None, 307200, 409600, 512000, 1024000])
        size = rng.randint(5000, int((limit or 600000) * 0.85))
        growth = rng.choice([0, 0, 0, 512, 1024, 2048]) if i % 9 else rng.randint(20000, 60000)
        if i % 23 == 0 and limit:  # near the limit, growing towards it
            size, growth = int(limit * 0.9), 4096
        if i % 31 == 0:  # one that shrinks
            growth = -3072
        first, last = 1, 10**6
        if i % 37 == 5:
            first = 3 + i % 4  # new in a later week
        if i % 41 == 7:
            last = 4 + i % 3  # gone after a week
        boxes.append((size, growth, limit, first, last))
    return boxes


def write_week(path, week, boxes):
    day = datetime.date(2026, 1, 5) + datetime.timedelta(weeks=week - 1)
    processed = f"{day:%A, %B} {day.day}, {day.year} - 2:00 am"
    stamp = f"{day:%m/%d/%y} 02:00"
    parts = [HEADER.format(processed=processed)]
    for i, (size, growth, limit, first, last) in enumerate(boxes):
        if not first <= week <= last:
            continue
        kb = max(1024, size + growth * (week - 1))
        limit_line = ""
        if limit:
            limit_line = f"  Disk space management values:  Size Limit - {limit}KB, Threshold - 90%\n"
            if kb >= limit:
                limit_line += f"      Problem 89- Size Limit Exceeded.  Current size: {kb}KB\n"
        name = f"{FIRST[i % len(FIRST)]} {LAST[i % len(LAST)]} {i}"
        parts.append(USER.format(user=f"U{i:04d}", fid=f"f{i:03x}", stamp=stamp, name=name,
                                 limit=limit_line, kb=kb))
    with open(path, "w", newline="\r\n") as f:
        f.write("".join(parts))


def main():
    folder = sys.argv[1]
    weeks = int(sys.argv[2]) if len(sys.argv) > 2 else 8
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 300
    os.makedirs(folder, exist_ok=True)
    boxes = mailboxes(count, random.Random(20260105))
    for week in range(1, weeks + 1):
        path = os.path.join(folder, f"week-{week}.log")
        write_week(path, week, boxes)
        print(path)


if __name__ == "__main__":
    main()
