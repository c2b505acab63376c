#!/usr/bin/env python3
"""Writes a vespin.ini with N events drawn from the rules a peer program can express too.

  gen_events.py N [--profile remind|calcurse] [--seed S] > vespin.ini

remind:   yearly MMDD, monthly day 1-28, first/last weekday, last day of the month, every
          weekday, n-th weekday, every day, Mon/Wed/Fri, Tue/Thu/Sat, weekends.
calcurse: yearly MMDD, monthly day 1-28, every weekday, every day.
Holiday and business-day rules are left out: neither peer knows this calendar's holidays.
"""
import argparse
import random
import sys

WEEK = ["1%d" % w for w in range(1, 8)]
NTH = ["%d%d" % (t, w) for t in range(2, 6) for w in range(1, 8)]
DAILY = ["81"]
PATTERNS = ["83", "84", "85"]
FIRST_LAST = ["2%02d" % w for w in range(1, 8)] + ["3%02d" % w for w in range(1, 8)]
MONTH_DAYS = ["1%02d" % d for d in range(1, 29)]
DAYS_IN = [31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]


def main():
    p = argparse.ArgumentParser()
    p.add_argument("count", type=int)
    p.add_argument("--profile", choices=["remind", "calcurse"], default="remind")
    p.add_argument("--seed", type=int, default=1)
    a = p.parse_args()
    rnd = random.Random(a.seed)
    if a.profile == "remind":
        weekly = WEEK * 4 + NTH + DAILY + PATTERNS
        monthly = MONTH_DAYS + FIRST_LAST + ["400"]
    else:
        weekly = WEEK + DAILY
        monthly = MONTH_DAYS
    # Most events of a real file are yearly dates; daily rules are rare.
    week, month, year = [], [], []
    for i in range(a.count):
        time = "%02d:%02d" % (rnd.randrange(6, 23), rnd.choice([0, 15, 30, 45]))
        text = "予定%d" % (i + 1)
        alarm = "%02d" % rnd.randrange(1, 16)
        kind = rnd.random()
        if kind < 0.6:
            m = rnd.randrange(1, 13)
            d = rnd.randrange(1, DAYS_IN[m - 1] + 1)
            year.append("%02d%02d,%s,%s,%s,FALSE" % (m, d, time, text, alarm))
        elif kind < 0.85:
            month.append("%s,%s,%s,%s" % (rnd.choice(monthly), time, text, alarm))
        else:
            code = rnd.choice(weekly)
            # Every-day rules are few in a real file: keep them rare at any size.
            if code in DAILY + PATTERNS and rnd.random() < 0.9:
                code = rnd.choice(WEEK)
            week.append("%s,%s,%s,%s" % (code, time, text, alarm))
    lines = ["[週間]"] + week + ["[月間]"] + month + ["[年間]"] + year
    lines += ["[設定]", "900,0,CLEAR,BRIGHT,ＭＳ ゴシック,FALSE,9,0,TRUE,TRUE,TRUE,FALSE,FALSE,1",
              "[バージョン]", "vespin Ver3.2(2005.04.18)"]
    sys.stdout.buffer.write(("\r\n".join(lines) + "\r\n").encode("cp932"))


if __name__ == "__main__":
    main()
