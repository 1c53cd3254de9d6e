"""Writes report worksheets with xls_report_sample and reads every cell back
with xlrd and with LibreOffice headless, against a table computed here.

usage: /usr/bin/python3 read_xls_reports.py PATH/TO/xls_report_sample WORKDIR
"""

import csv
import io
import os
import shutil
import subprocess
import sys
import tempfile


def frame_levels(cells, level, dead=(), weak=None, seed=1):
    """A Maximal IR sample: every receiver byte near level, times 40."""
    weak = weak or {}
    state = seed
    values = []
    for r in range(cells):
        state = (state * 1103515245 + 12345) % 2**31
        byte = int(level * weak.get(r, 1.0)) + state % 7 - 3
        values.append(0 if r in dead else max(0, min(255, byte)) * 40)
    return values


def report_table(xs, ys):
    cells = {(0, 1): "X-Side", (0, 2): "index", (0, 3): "Value",
             (0, 5): "Y-Side", (0, 6): "index", (0, 7): "Value"}
    rows = 0
    for samples, col, name in ((xs, 1, "X"), (ys, 5, "Y")):
        if not samples or sum(samples) == 0:
            continue
        for i, value in enumerate(samples):
            cells[(i + 1, col)] = name
            cells[(i + 1, col + 1)] = str(i)
            cells[(i + 1, col + 2)] = str(value)
        n = len(samples)
        cells[(n + 2, col)] = "Average :"
        cells[(n + 2, col + 2)] = str(sum(samples) // n)
        rows += n
    return cells, rows


def listed(values):
    return ",".join(map(str, values)) if values else "-"


def read_xlrd(path):
    import xlrd
    log = io.StringIO()
    book = xlrd.open_workbook(path, logfile=log)
    if book.biff_version != 20:
        raise AssertionError("xlrd sees BIFF %s, not 2" % book.biff_version)
    sheet = book.sheet_by_index(0)
    cells = {}
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            if cell.ctype == xlrd.XL_CELL_EMPTY:
                continue
            if cell.ctype != xlrd.XL_CELL_TEXT:
                raise AssertionError("cell %d,%d is of type %d, not text" % (r, c, cell.ctype))
            cells[(r, c)] = cell.value
    return cells


def read_csv(path):
    cells = {}
    with open(path, newline="", encoding="utf-8") as f:
        for r, row in enumerate(csv.reader(f)):
            for c, value in enumerate(row):
                if value != "":
                    cells[(r, c)] = value
    return cells


def differences(expected, got):
    lines = []
    for key in sorted(set(expected) | set(got)):
        if expected.get(key) != got.get(key):
            lines.append("  cell %s: expected %r, read %r" % (key, expected.get(key), got.get(key)))
    return lines


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    program, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    try:
        import xlrd  # noqa: F401
    except ImportError:
        print("FAIL: xlrd is missing (Debian package python3-xlrd, for /usr/bin/python3)")
        return 1
    soffice = shutil.which("soffice") or shutil.which("libreoffice")
    if soffice is None:
        print("FAIL: soffice is missing (Debian package libreoffice-calc-nogui)")
        return 1

    reports = {
        # a 96 x 64 frame with a dead and a weak X receiver and a weak Y one
        "frame_96x64": (frame_levels(96, 96, dead={41}, weak={17: 0.2}),
                        frame_levels(64, 95, weak={50: 0.25}, seed=7)),
        "largest_axes": (frame_levels(4096, 255), frame_levels(4096, 200, dead={0, 4095}, seed=3)),
        "three_x": ([40, 80, 0], []),
        "x_all_zero": ([0, 0, 0, 0], [5, 0, 12]),
        "empty": ([], []),
        "unsigned": ([4294967295, 4294967295, 1], [2147483648]),
    }
    texts = [(1, 0, "a" * 255), (2, 1, "b" * 256),
             (3, 2, "".join(chr(ord("a") + i % 26) for i in range(1000))),
             (4, 3, "after"), (65536 + 5, 4, "wrapped")]

    expected = {}
    files = []
    for name, (xs, ys) in reports.items():
        path = os.path.join(work, name + ".xls")
        out = subprocess.run([program, "report", path, listed(xs), listed(ys)],
                             check=True, capture_output=True, text=True).stdout
        expected[name], rows = report_table(xs, ys)
        if int(out) != rows:
            print("FAIL: %s: the writer reports %s data rows, expected %d" % (name, out.strip(), rows))
            return 1
        files.append(path)
    path = os.path.join(work, "long_texts.xls")
    args = [program, "labels", path]
    for row, col, text in texts:
        args += [str(row), str(col), text]
    subprocess.run(args, check=True)
    expected["long_texts"] = {(row % 65536, col): text[:255] for row, col, text in texts}
    files.append(path)

    # One LibreOffice start for all files, with a profile of its own.
    profile = tempfile.mkdtemp(prefix="lumagrid-xls-lo-")
    csv_dir = os.path.join(work, "csv")
    try:
        run = subprocess.run([soffice, "-env:UserInstallation=file://" + profile, "--headless", "--norestore",
                              "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1",
                              "--outdir", csv_dir] + files,
                             capture_output=True, text=True, timeout=150)
    finally:
        shutil.rmtree(profile, ignore_errors=True)

    failed = False
    for path in files:
        name = os.path.splitext(os.path.basename(path))[0]
        want = expected[name]
        for reader in ("xlrd", "libreoffice"):
            try:
                if reader == "xlrd":
                    got = read_xlrd(path)
                else:
                    csv_path = os.path.join(csv_dir, name + ".csv")
                    if not os.path.exists(csv_path):
                        raise AssertionError("no CSV written; soffice said: %s %s"
                                             % (run.stdout.strip(), run.stderr.strip()))
                    got = read_csv(csv_path)
                diff = differences(want, got)
            except Exception as error:  # a reader refusing the file is a failure like any other
                diff = ["  %s: %s" % (type(error).__name__, error)]
            status = "ok" if not diff else "FAIL"
            print("%-12s %-12s %5d cells %s" % (name, reader, len(want), status))
            if diff:
                failed = True
                print("\n".join(diff[:20]))

    sample = os.path.join(csv_dir, "three_x.csv")
    if os.path.exists(sample):
        print("\nthree_x as LibreOffice exported it:")
        with open(sample, encoding="utf-8") as f:
            sys.stdout.write(f.read())
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
