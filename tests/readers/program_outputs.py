"""Reads the files the real program wrote in the end-to-end run with real
readers: the report worksheet with xlrd and LibreOffice (every cell, against
the samples the program traced), the daily tables with Python's csv module
(a rectangle, one labelled row per receiver, averages that fit the values).

usage: /usr/bin/python3 program_outputs.py OUTPUT_DIR
"""

import csv
import glob
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "xls"))
from read_xls_reports import differences, read_csv, read_xlrd, report_table  # noqa: E402


def check_report(path, traced_x):
    cells = read_xlrd(path)
    xs = [int(cells[(r, 3)]) for r in range(1, 1 + sum(1 for (r, c) in cells if c == 1 and cells[(r, c)] == "X"))]
    ys = [int(cells[(r, 7)]) for r in range(1, 1 + sum(1 for (r, c) in cells if c == 5 and cells[(r, c)] == "Y"))]
    problems = []
    if (len(xs), len(ys)) != (96, 64):
        problems.append("%d X and %d Y rows, expected 96 and 64" % (len(xs), len(ys)))
    if traced_x is not None and xs != traced_x:
        problems.append("X values differ from the traced sample")
    expected, _ = report_table(xs, ys)
    problems += differences(expected, cells)
    profile = tempfile.mkdtemp(prefix="lumagrid-e2e-lo-")
    out = tempfile.mkdtemp(prefix="lumagrid-e2e-csv-")
    try:
        subprocess.run(["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--norestore",
                        "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", out, path],
                       capture_output=True, timeout=150)
        csv_path = os.path.join(out, os.path.splitext(os.path.basename(path))[0] + ".csv")
        if not os.path.exists(csv_path):
            problems.append("LibreOffice wrote no CSV")
        else:
            problems += ["libreoffice" + d for d in differences(expected, read_csv(csv_path))]
    finally:
        shutil.rmtree(profile, ignore_errors=True)
        shutil.rmtree(out, ignore_errors=True)
    print("%s: %d X rows, %d Y rows, X average %s, Y average %s, %d cells, %s"
          % (os.path.basename(path), len(xs), len(ys), cells.get((98, 3)), cells.get((66, 7)), len(cells),
             "ok" if not problems else "FAIL"))
    return problems


def check_table(path):
    with open(path, newline="", encoding="latin-1") as f:
        raw = f.read()
    problems = []
    if "\n" in raw.replace("\r\n", ""):
        problems.append("a line does not end in CR LF")
    rows = list(csv.reader(raw.splitlines(), delimiter="\t"))
    widths = {len(r) for r in rows}
    if len(widths) != 1:
        problems.append("not a rectangle: row widths %s" % sorted(widths))
    labels = [r[0] for r in rows]
    if labels[0] != "Date":
        problems.append("first row is %r, not Date" % labels[0])
    for axis in "XY":
        names = [l for l in labels if l.startswith(axis) and l != axis + "Avr"]
        if names != ["%s%d" % (axis, i) for i in range(len(names))]:
            problems.append("%s rows out of order" % axis)
        if axis + "Avr" not in labels:
            problems.append("no %sAvr row" % axis)
            continue
        avr = rows[labels.index(axis + "Avr")]
        for day in range(1, len(rows[0])):
            values = [int(rows[labels.index(n)][day]) for n in names]
            if int(avr[day]) != sum(values) // len(values):
                problems.append("%sAvr of day %d is %s, the values give %d"
                                % (axis, day, avr[day], sum(values) // len(values)))
    print("%s: %d rows x %d columns, %s" % (os.path.basename(path), len(rows), len(rows[0]),
                                            "ok" if not problems else "FAIL"))
    return problems


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    out = sys.argv[1]
    failed = False
    report = os.path.join(out, "first-frame.xls")
    tables = sorted(glob.glob(os.path.join(out, "*.txt")))
    if not os.path.exists(report) or len(tables) != 3:
        print("FAIL: the end-to-end run left %s and %d tables in %s" % (
            "a report" if os.path.exists(report) else "no report", len(tables), out))
        return 1
    traced = os.path.join(out, "first-frame.samples")
    traced_x = [int(v) for v in open(traced).read().split()] if os.path.exists(traced) else None
    for problems in [check_report(report, traced_x)] + [check_table(t) for t in tables]:
        if problems:
            failed = True
            print("\n".join("  " + p for p in problems[:20]))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
