#!/usr/bin/python3
"""Prints the occurrences of an iCalendar file that start on the local days FROM to TO, as
recurring_ical_events expands them: one line each, "YYYY-MM-DD HH:MM:SS SUMMARY" in the local
time of the TZ environment variable ("--:--" for an all-day event), sorted. Cancelled instances
(STATUS:CANCELLED) are left out; control characters in summaries are treated as VESPIN treats
them (tabs and line ends become blanks, the others go).

usage: remote_occurrences.py FILE.ics FROM TO
"""
import datetime
import sys

import icalendar
import recurring_ical_events


def clean(text):
    out = []
    for ch in text:
        if ch in "\t\n\r":
            out.append(" ")
        elif ord(ch) < 0x20 or 0x7F <= ord(ch) < 0xA0:
            continue
        else:
            out.append(ch)
    return "".join(out)


def main():
    path, first, last = sys.argv[1:4]
    first = datetime.date.fromisoformat(first)
    last = datetime.date.fromisoformat(last)
    with open(path, "rb") as f:
        calendar = icalendar.Calendar.from_ical(f.read())
    # A zone moves a start by up to a day each way: ask for more, keep by the local day.
    lines = []
    for event in recurring_ical_events.of(calendar).between(
            first - datetime.timedelta(days=2), last + datetime.timedelta(days=3)):
        if str(event.get("STATUS", "")).upper() == "CANCELLED":
            continue
        start = event["DTSTART"].dt
        if isinstance(start, datetime.datetime):
            if start.tzinfo is not None:
                start = start.astimezone()
            day, time = start.date(), start.strftime("%H:%M:%S")
        else:
            day, time = start, "--:--"
        if first <= day <= last:
            lines.append("%s %s %s" % (day.isoformat(), time, clean(str(event.get("SUMMARY", "")))))
    for line in sorted(lines):
        print(line)


if __name__ == "__main__":
    main()
