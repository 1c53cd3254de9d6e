"""Drives a run of daily saves through daily_table_save and reads every table
with Python's csv module (tab-separated) and, when installed, LibreOffice.

The expected table is built here on its own: rows of ours in the order Date,
X0.., XAvr, Y0.., YAvr; other lines where they were; every row one cell per day.
usage: check_daily_table.py DAILY_TABLE_SAVE WORK_DIR
"""
import csv
import random
import re
import shutil
import subprocess
import sys
from pathlib import Path

SAVE, WORK = sys.argv[1], Path(sys.argv[2])


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def sort_key(label):
    if label == "Date":
        return (0, 0)
    if label in ("XAvr", "YAvr"):
        return (2 if label[0] == "X" else 4, 0)
    m = re.fullmatch(r"([XY])(0|[1-9][0-9]*)", label)
    return (1 if m.group(1) == "X" else 3, int(m.group(2))) if m else None


def expect_save(rows, date, xbytes, ybytes):
    entries = [("Date", date)]
    for axis, raw in (("X", xbytes), ("Y", ybytes)):
        values = [b * 40 for b in raw]
        if values and sum(values) > 0:
            entries += [(f"{axis}{j}", str(v)) for j, v in enumerate(values)]
            entries.append((axis + "Avr", str(sum(values) // len(values))))
    width = max((len(r) for r in rows), default=1)
    for row in rows:
        row.extend([""] * (width - len(row)))
    today, paired = dict(entries), set()
    for row in rows:
        if row[0] in today and row[0] not in paired:
            row.append(today[row[0]])
            paired.add(row[0])
        else:
            row.append("")
    for label, value in entries:
        if label in paired:
            continue
        ours = [i for i, r in enumerate(rows) if sort_key(r[0]) is not None]
        after = [i for i in ours if sort_key(rows[i][0]) > sort_key(label)]
        at = after[0] if after else (ours[-1] + 1 if ours else 0)
        rows.insert(at, [label] + [""] * (width - 1) + [value])
        paired.add(label)


def check_bytes(path):
    data = path.read_bytes()
    if not data.endswith(b"\r\n"):
        fail(f"{path.name}: last line not ended by CR LF")
    for n, line in enumerate(data[:-2].split(b"\r\n"), 1):
        if b"\r" in line or b"\n" in line:
            fail(f"{path.name} line {n}: a line end other than CR LF")


def check_rows(name, rows, expected):
    widths = {len(r) for r in rows}
    if len(widths) != 1:
        fail(f"{name}: not rectangular, row widths {sorted(widths)}")
    if rows != expected:
        for n, (got, want) in enumerate(zip(rows, expected), 1):
            if got != want:
                fail(f"{name} row {n}: {got[:8]}... expected {want[:8]}...")
        fail(f"{name}: {len(rows)} rows, expected {len(expected)}")


def read_csv(path, delimiter):
    with open(path, newline="", encoding="latin-1") as f:
        return [row for row in csv.reader(f, delimiter=delimiter)]


def check_libreoffice(path, expected):
    soffice = shutil.which("soffice")
    if not soffice:
        print("LibreOffice not installed: skipped")
        return
    out = WORK / "lo"
    out.mkdir(exist_ok=True)
    subprocess.run([soffice, f"-env:UserInstallation=file://{WORK / 'lo-profile'}", "--headless",
                    "--infilter=Text - txt - csv (StarCalc):9,34,76,1,,0,false,false,false",
                    "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", str(out), str(path)],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    rows = read_csv(out / (path.stem + ".csv"), ",")
    check_rows(f"LibreOffice {path.name}", rows, expected)
    print(f"LibreOffice {path.name}: {len(rows)} x {len(rows[0])} cells as expected")


def run(name, old_text, days):
    path = WORK / f"{name}_1.txt"
    path.unlink(missing_ok=True)
    expected = []
    if old_text is not None:
        path.write_bytes(old_text)
        expected = [line.decode("latin-1").split("\t") for line in old_text.splitlines()]
    for date, xbytes, ybytes in days:
        subprocess.run([SAVE, str(path), date, ",".join(str(b * 40) for b in xbytes),
                        ",".join(str(b * 40) for b in ybytes)], check=True)
        expect_save(expected, date, xbytes, ybytes)
        check_bytes(path)
        check_rows(f"{path.name} after {date}", read_csv(path, "\t"), expected)
    print(f"csv {path.name}: {len(expected)} x {len(expected[0])} cells as expected")
    check_libreoffice(path, expected)


def main():
    WORK.mkdir(parents=True, exist_ok=True)
    rng = random.Random(20130507)

    def axis(n, zero=False):
        return [0] * n if zero else [rng.choice((0, rng.randrange(1, 256))) for _ in range(n)] + [255]

    # Rows come and go: the X axis sums to 0 on the first day and is empty on the
    # last, the Y axis sums to 0 on the second; the counts change.
    days = [("2013:05:07", axis(4, zero=True), axis(3)), ("2013:05:08", axis(5), axis(2, zero=True)),
            ("2013:05:09", axis(2), axis(4)), ("2013:05:10", axis(6), axis(1)),
            ("2013:05:11", [], axis(6)), ("2013:05:12", axis(40), axis(30))]
    run("FRAME-A", None, days)
    # A table of an earlier version: LF line ends, a short row, a note at the end without a line end.
    earlier = (b"Date\t2013:05:05\t2013:05:06\nX0\t400\t480\nX1\t440\nXAvr\t420\t480\n"
               b"Y0\t0\t40\nY1\t80\t0\nYAvr\t40\t20\nchecked by Kim")
    run("FRAME-B", earlier, days)


main()
