#!/usr/bin/env python3
"""Converts a vespin.ini to a peer's format, for the rules both can express.

  convert.py remind   vespin.ini > reminders     (UTF-8; rules Remind lacks are left out)
  convert.py calcurse vespin.ini DIR             (DIR/apts and an empty DIR/todo)

Holiday and business-day rules (82, 86, 87, 208, 308), first-and-third style weeks (6x, 7x)
and month days past the 28th are left out; the count left out goes to standard error.
"""
import os
import sys

REMIND_DAYS = ["Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"]
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]
PATTERNS = {"81": "", "83": "Mon Wed Fri", "84": "Tue Thu Sat", "85": "Sat Sun"}


def events(path):
    """(kind, code, time, text) in the file's order: weekly, monthly, yearly."""
    data = open(path, "rb").read().decode("cp932")
    kinds = ["weekly", "monthly", "yearly"]
    section = -1
    for line in data.replace("\r\n", "\n").split("\n"):
        if not line:
            continue
        if line.startswith("["):
            section += 1
            continue
        if 0 <= section < 3:
            f = line.split(",")
            yield kinds[section], f[0], f[1] or "00:00", f[2]


def remind_trigger(kind, code):
    if kind == "yearly":
        return "%s %d" % (MONTHS[int(code[:2]) - 1], int(code[2:4]))
    if kind == "monthly":
        if code[0] == "1" and 1 <= int(code[1:3]) <= 28:
            return "%d" % int(code[1:3])
        if code == "400":
            return "1 --1"
        if code[0] in "23" and code[1] == "0" and code[2] in "1234567":
            day = REMIND_DAYS[int(code[2]) - 1]
            return "%s 1" % day if code[0] == "2" else "%s 1 --7" % day
        return None
    if code in PATTERNS:
        return PATTERNS[code]
    if len(code) == 2 and code[0] in "12345" and code[1] in "1234567":
        day = REMIND_DAYS[int(code[1]) - 1]
        return day if code[0] == "1" else "%s %d" % (day, 1 + 7 * (int(code[0]) - 2))
    return None


def to_remind(path):
    out, skipped = [], 0
    for kind, code, time, text in events(path):
        trig = remind_trigger(kind, code)
        if trig is None:
            skipped += 1
            continue
        out.append("REM %s AT %s MSG %s" % (trig, time, text.replace("%", "%%")))
    sys.stdout.write("\n".join(out) + "\n")
    return skipped


def to_calcurse(path, folder):
    # calcurse repeats from a first date: one in 2000 that lies on the rule.
    out, skipped = [], 0
    for kind, code, time, text in events(path):
        if kind == "yearly" and code[:4] != "0229":
            start, rule = "%s/%s/2000" % (code[:2], code[2:4]), "1Y"
        elif kind == "monthly" and code[0] == "1" and 1 <= int(code[1:3]) <= 28:
            start, rule = "01/%s/2000" % code[1:3], "1M"
        elif kind == "weekly" and code == "81":
            start, rule = "01/01/2000", "1D"
        elif kind == "weekly" and len(code) == 2 and code[0] == "1" and code[1] in "1234567":
            # 2000-01-02 was a Sunday.
            start, rule = "01/%02d/2000" % (1 + int(code[1])), "1W"
        else:
            skipped += 1
            continue
        out.append("%s @ %s -> %s @ %s {%s} |%s" % (start, time, start, time, rule, text))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "apts"), "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")
    open(os.path.join(folder, "todo"), "w").close()
    return skipped


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("remind", "calcurse"):
        sys.exit(__doc__)
    if sys.argv[1] == "remind":
        skipped = to_remind(sys.argv[2])
    else:
        skipped = to_calcurse(sys.argv[2], sys.argv[3])
    if skipped:
        print("left out %d events the peer cannot express" % skipped, file=sys.stderr)


if __name__ == "__main__":
    main()
