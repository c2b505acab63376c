#!/usr/bin/env python3
"""Splits an iCalendar file into one resource per UID (with the time zones it names) and writes
them straight into a Radicale storage folder as a calendar collection, so a benchmark can fill a
collection with thousands of events without timing thousands of uploads.

  fill_collection.py IN.ics STORAGE/collection-root/USER/NAME
"""
import json
import os
import re
import sys


def blocks(lines, name):
    out, current = [], None
    for line in lines:
        if line == "BEGIN:" + name:
            current = [line]
        elif current is not None:
            current.append(line)
            if line == "END:" + name:
                out.append(current)
                current = None
    return out


def main():
    text = open(sys.argv[1], encoding="utf-8").read().replace("\r\n", "\n")
    lines = text.split("\n")
    zones = {}
    for z in blocks(lines, "VTIMEZONE"):
        tzid = next(l.split(":", 1)[1] for l in z if l.startswith("TZID:"))
        zones[tzid] = z
    events = {}
    for e in blocks(lines, "VEVENT"):
        uid = next(l.split(":", 1)[1] for l in e if l.startswith("UID:"))
        events.setdefault(uid, []).append(e)
    folder = sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, ".Radicale.props"), "w") as f:
        json.dump({"tag": "VCALENDAR"}, f)
    for n, (uid, parts) in enumerate(sorted(events.items())):
        names = set()
        for e in parts:
            names.update(re.findall(r";TZID=([^:;]+)", "\n".join(e)))
        body = ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//bench//EN"]
        for tzid in sorted(names):
            body += zones.get(tzid, [])
        for e in parts:
            body += e
        body.append("END:VCALENDAR")
        with open(os.path.join(folder, "event-%05d.ics" % n), "w", encoding="utf-8") as f:
            f.write("\r\n".join(body) + "\r\n")
    print(len(events))


if __name__ == "__main__":
    main()
