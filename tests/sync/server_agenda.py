#!/usr/bin/python3
"""Lists the events of a CalDAV collection as `vespin-cli agenda` lists another calendar's:
"YYYY-MM-DD @NAME HH:MM SUMMARY" in the local time of the TZ environment variable, "--:--" for
an all-day event (listed on each of its days), for the local days FROM to TO. The events are
read straight from the server (PROPFIND, then a GET of each resource) and expanded by
recurring_ical_events, so nothing of VESPIN stands between the server and the reference.

usage: server_agenda.py COLLECTION_URL NAME FROM TO
"""
import datetime
import os
import sys
import urllib.parse
import urllib.request
import xml.etree.ElementTree as ET

import icalendar
import recurring_ical_events

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "ical"))
from remote_occurrences import clean  # noqa: E402

PROPFIND = b"""<?xml version="1.0" encoding="utf-8"?>
<d:propfind xmlns:d="DAV:"><d:prop><d:getetag/></d:prop></d:propfind>"""


def resources(url):
    request = urllib.request.Request(url, data=PROPFIND, method="PROPFIND",
                                     headers={"Depth": "1", "Content-Type": "application/xml"})
    with urllib.request.urlopen(request, timeout=30) as answer:
        tree = ET.fromstring(answer.read())
    own = urllib.parse.urlparse(url).path
    for href in tree.iter("{DAV:}href"):
        path = urllib.parse.unquote(href.text.strip())
        if path.rstrip("/") != own.rstrip("/"):
            with urllib.request.urlopen(urllib.parse.urljoin(url, href.text.strip()),
                                        timeout=30) as answer:
                yield answer.read()


def main():
    url, name, first, last = sys.argv[1:5]
    first = datetime.date.fromisoformat(first)
    last = datetime.date.fromisoformat(last)
    lines = []
    for body in resources(url):
        calendar = icalendar.Calendar.from_ical(body)
        # A zone moves a start by up to a day each way: ask for more, keep by the local day.
        for event in recurring_ical_events.of(calendar).between(
                first - datetime.timedelta(days=2), last + datetime.timedelta(days=3)):
            if str(event.get("STATUS", "")).upper() == "CANCELLED":
                continue
            start = event["DTSTART"].dt
            summary = clean(str(event.get("SUMMARY", "")))
            if isinstance(start, datetime.datetime):
                if start.tzinfo is not None:
                    start = start.astimezone()
                days, time = [start.date()], start.strftime("%H:%M")
            else:
                end = event["DTEND"].dt if "DTEND" in event else start + datetime.timedelta(days=1)
                days = [start + datetime.timedelta(days=n) for n in range(max((end - start).days, 1))]
                time = "--:--"
            for day in days:
                if first <= day <= last:
                    lines.append("%s @%s %s %s" % (day.isoformat(), name, time, summary))
    for line in sorted(lines):
        print(line)


if __name__ == "__main__":
    main()
