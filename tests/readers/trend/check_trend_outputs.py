"""Makes the demo's daily tables, runs the trend command on them and reads its
outputs with real readers: the CSV with Python's csv module, every figure
checked against what this script works out from the tables on its own; the SVG
with xmllint, rsvg-convert and xml.etree. Also a run with a missing table.

usage: check_trend_outputs.py TREND_DEMO_TABLES LUMAGRID_TREND WORK_DIR
"""
import csv
import datetime
import shutil
import statistics
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

MAKER, TREND, WORK = sys.argv[1], sys.argv[2], Path(sys.argv[3])
DAYS, HORIZON, DROP, THRESHOLD = 45, 30.0, 25.0, 33


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def read_table(path):
    """Rows by label, first of each; columns by date, the last of a date."""
    with open(path, newline="", encoding="latin-1") as f:
        lines = list(csv.reader(f, delimiter="\t"))
    rows = {}
    for line in lines:
        rows.setdefault(line[0], line[1:])
    columns = {}
    for c, text in enumerate(rows["Date"]):
        y, m, d = (int(p) for p in text.split(":"))
        columns[datetime.date(y, m, d)] = c
    return rows, sorted(columns.items())


def expected_rows(path):
    rows, days = read_table(path)
    out = {}
    for axis in "XY":
        labels = sorted((l for l in rows if l[0] == axis and l[1:].isdigit()), key=lambda l: int(l[1:]))

        def value(label, c):
            cells = rows[label]
            return int(cells[c]) if c < len(cells) and cells[c] != "" else None

        averages = {}
        for day, c in days:
            values = [v for v in (value(l, c) for l in labels) if v is not None]
            nonzero = sum(1 for v in values if v)
            averages[day] = sum(values) // nonzero if nonzero else 0
        for label in labels:
            window = [(day, value(label, c)) for day, c in days if value(label, c) is not None and averages[day]]
            window = window[-DAYS:]
            last_day, latest = window[-1]
            average = averages[last_day]
            row = {"status": "ok", "days": len(window), "latest_value": latest}
            if all(v == 0 for _, v in window):
                row["status"] = "dead"
                out[label] = row
                continue
            levels = [100.0 * v / averages[day] for day, v in window]
            xs = [day.toordinal() for day, _ in window]
            week = min(7, len(levels))
            first, last = statistics.median(levels[:week]), statistics.median(levels[-week:])
            mx, my = sum(xs) / len(xs), sum(levels) / len(levels)
            slope = sum((x - mx) * (y - my) for x, y in zip(xs, levels)) / sum((x - mx) ** 2 for x in xs)
            fitted = my + slope * (xs[-1] - mx)
            to = 0.0 if fitted <= THRESHOLD else (fitted - THRESHOLD) / -slope if slope < 0 else None
            flags = []
            if latest < int(THRESHOLD * average / 100):
                flags.append("below")
            elif to is not None and to <= HORIZON:
                flags.append("crossing")
            if (first - last) * 100 > DROP * first:
                flags.append("dropped")
            row.update(status=", ".join(flags) or "ok", latest_pct=levels[-1], first_week_median_pct=first,
                       last_week_median_pct=last, slope_pct_per_day=slope, fitted_last_pct=fitted,
                       days_to_threshold=to)
            out[label] = row
    return out


def check_csv(path, tables):
    with open(path, newline="", encoding="utf-8-sig") as f:
        rows = list(csv.DictReader(f))
    decimals = {"latest_pct": 2, "first_week_median_pct": 2, "last_week_median_pct": 2, "slope_pct_per_day": 3,
                "fitted_last_pct": 2, "days_to_threshold": 1}
    flagged = set()
    for table in tables:
        got = [r for r in rows if r["table"] == str(table)]
        expected = expected_rows(table)
        frame, row_number = table.stem.rsplit("_", 1)
        if sorted(r["label"] for r in got) != sorted(expected):
            fail(f"{table.name}: CSV rows {len(got)}, table receivers {len(expected)}")
        for r in got:
            want = expected[r["label"]]
            where = f"{table.name} {r['label']}"
            if (r["frame"], r["row"], r["receiver"]) != (frame, row_number, str(int(r["label"][1:]) + 1)):
                fail(f"{where}: frame, row or receiver {r['frame']}, {r['row']}, {r['receiver']}")
            for key in ("status", "days", "latest_value"):
                if r[key] != str(want[key]):
                    fail(f"{where}: {key} {r[key]!r}, expected {want[key]!r}")
            for key, places in decimals.items():
                if key not in want:
                    continue
                if want[key] is None:
                    if r[key] != "":
                        fail(f"{where}: {key} {r[key]!r}, expected empty")
                elif abs(float(r[key]) - want[key]) > 0.5 * 10 ** -places + 1e-9:
                    fail(f"{where}: {key} {r[key]}, expected {want[key]:.6f}")
            if want["status"] != "ok":
                flagged.add((table.name, r["label"], r["receiver"], want["status"]))
    print(f"csv: {len(rows)} rows as worked out here, {len(flagged)} flagged")
    return flagged


def same_cell(a, b):
    if a == b:
        return True
    try:
        return float(a) == float(b)
    except ValueError:
        return False


def check_libreoffice(path):
    """LibreOffice takes the byte-order mark for what it is, numbers as numbers, dates as text."""
    soffice = shutil.which("soffice")
    if not soffice:
        print("LibreOffice not installed: skipped")
        return
    out = WORK / "lo"
    subprocess.run([soffice, f"-env:UserInstallation=file://{WORK / 'lo-profile'}", "--headless",
                    "--infilter=CSV:44,34,76,1", "--convert-to", "csv:Text - txt - csv (StarCalc):9,34,76,1",
                    "--outdir", str(out), str(path)],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    with open(path, newline="", encoding="utf-8-sig") as f:
        ours = list(csv.reader(f))
    with open(out / path.name, newline="", encoding="utf-8") as f:
        theirs = list(csv.reader(f, delimiter="\t"))
    if len(ours) != len(theirs):
        fail(f"LibreOffice read {len(theirs)} rows, csv {len(ours)}")
    for n, (a, b) in enumerate(zip(ours, theirs)):
        if len(a) != len(b) or not all(same_cell(x, y) for x, y in zip(a, b)):
            fail(f"LibreOffice row {n}: {b[:8]}, csv {a[:8]}")
    print(f"LibreOffice: {len(theirs)} rows, every cell as csv reads it")


def check_svg(path, tables, flagged):
    for command in (["xmllint", "--noout", str(path)], ["rsvg-convert", "-o", str(path.with_suffix(".png")), str(path)]):
        done = subprocess.run(command, capture_output=True, text=True)
        if done.returncode != 0 or done.stderr.strip():
            fail(f"{command[0]}: exit {done.returncode}: {done.stderr.strip()}")
    if not path.with_suffix(".png").read_bytes().startswith(b"\x89PNG"):
        fail("rsvg-convert wrote no PNG")
    root = ET.parse(path).getroot()
    if root.tag != "{http://www.w3.org/2000/svg}svg":
        fail(f"root element {root.tag}")
    text = " ".join("".join(t.itertext()) for t in root.iter("{http://www.w3.org/2000/svg}text"))
    for table in tables:
        if table.stem.rsplit("_", 1)[0] not in text:
            fail(f"SVG does not name {table.stem}")
    for _, label, receiver, _ in flagged:
        if f"{label} (R{receiver})" not in text and "more flagged" not in text:
            fail(f"SVG does not show {label} (R{receiver})")
    print(f"svg: well-formed, rendered to {path.with_suffix('.png').stat().st_size} bytes of PNG")


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    subprocess.run([MAKER, str(WORK)], check=True)
    tables = sorted(WORK.glob("*.txt"))
    if len(tables) < 2:
        fail(f"the demo made {len(tables)} tables")
    csv_path, svg_path = WORK / "trend.csv", WORK / "trend.svg"
    run = subprocess.run([TREND, *map(str, tables), "--days", str(DAYS), "--csv", str(csv_path), f"--svg={svg_path}"],
                         capture_output=True, text=True)
    if run.returncode != 1:
        fail(f"exit {run.returncode}, expected 1 (flagged): {run.stderr}")
    flagged = check_csv(csv_path, tables)
    check_libreoffice(csv_path)
    for name, label, receiver, status in flagged:
        line = f"{label} (R{receiver})" if status == "dead" else f"{label:<7} R{receiver:<6} {status}"
        if line not in run.stdout:
            fail(f"the report does not list {line!r} of {name}")
    check_svg(svg_path, tables, flagged)

    # A receiver without a value beside dead, below and fading ones, a byte-order
    # mark in front: every row has the header's fields, as csv reads them.
    odd = WORK / "odd_3.txt"
    days = [f"2026:11:{d:02d}" for d in range(1, 11)]
    rows = {"X0": ["1000"] * 10, "X1": [str(1000 - 60 * d) for d in range(10)], "X2": [""] * 10,
            "X3": ["0"] * 10, "X4": ["100"] * 10}
    odd.write_bytes(("\ufeffDate\t" + "\t".join(days) + "\r\n" +
                     "".join(f"{label}\t" + "\t".join(cells) + "\r\n" for label, cells in rows.items())).encode())
    odd_csv = WORK / "odd.csv"
    run = subprocess.run([TREND, str(odd), "--csv", str(odd_csv)], capture_output=True, text=True)
    with open(odd_csv, newline="", encoding="utf-8-sig") as f:
        lines = list(csv.reader(f))
    statuses = [line[6] for line in lines[1:]]
    if run.returncode != 1 or any(len(line) != len(lines[0]) for line in lines) or \
            {"ok", "no value", "dead", "below"} - set(statuses) or \
            any(line[lines[0].index("threshold_pct")] != str(THRESHOLD) for line in lines[1:]):
        fail(f"odd table: exit {run.returncode}, rows {lines}")
    print(f"every status ({', '.join(sorted(set(statuses)))}): {len(lines[0])} fields in every row")

    missing = WORK / "gone_9.txt"
    run = subprocess.run([TREND, str(tables[0]), str(missing)], capture_output=True, text=True)
    if run.returncode != 2 or f"cannot read {missing}" not in run.stderr or tables[0].name not in run.stdout:
        fail(f"missing table: exit {run.returncode}, stderr {run.stderr!r}")
    print("missing table: exit 2, named on stderr, the other table reported")


main()
