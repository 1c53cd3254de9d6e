"""Reads what the text escaping writes with real readers: the CSV with Python's
csv module and LibreOffice headless, the XML with xmllint and xml.etree. Each
text must come back as written, but for what no such file can hold: a byte
that is no UTF-8 reads as U+FFFD, and in XML so does a control character.
The expected texts are written here, not taken from our writer.

usage: read_escaped.py ESCAPE_SAMPLE WORK_DIR
"""
import csv
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

SAMPLE, WORK = sys.argv[1], Path(sys.argv[2])
R = "\ufffd"
# (input bytes, as CSV reads it back, as XML reads it back)
CASES = [
    (b"IR96 SN-1001", "IR96 SN-1001", "IR96 SN-1001"),
    (b"", "", ""),
    (b"R&D <x> ]]>", "R&D <x> ]]>", "R&D <x> ]]>"),
    (b"say \"hi\" 'a'", "say \"hi\" 'a'", "say \"hi\" 'a'"),
    (b"a,b;c", "a,b;c", "a,b;c"),
    (b"\"", "\"", "\""),
    (b"a\r\nb", "a\r\nb", "a\r\nb"),
    (b"a\rb", "a\rb", "a\rb"),
    (b"a\nb\tc", "a\nb\tc", "a\nb\tc"),
    (b" lead and trail ", " lead and trail ", " lead and trail "),
    (b"a\x01b\x1f\x7f", "a\x01b\x1f\x7f", f"a{R}b{R}\x7f"),
    (b"\xb0\xa1", R + R, R + R),
    (b"ab\xe2\x82", f"ab{R}{R}", f"ab{R}{R}"),
    (b"\xc0\xaf \xed\xa0\x80", R * 2 + " " + R * 3, R * 2 + " " + R * 3),
    (b"\xef\xbf\xbf", "\uffff", R * 3),
    ("caf\u00e9 \uac00 \U0001F600 \U0010FFFF".encode(), "caf\u00e9 \uac00 \U0001F600 \U0010FFFF",
     "caf\u00e9 \uac00 \U0001F600 \U0010FFFF"),
    (b"\xf4\x90\x80\x80", R * 4, R * 4),
    (b"\"\xff,\r\n", f"\"{R},\r\n", f"\"{R},\r\n"),
]
problems = []


def expect(what, got, want):
    if got != want:
        problems.append(f"{what}: {got!r}, expected {want!r}")


def check_csv_rows(reader, rows, cell_line_breaks=False):
    expect(f"{reader} rows", len(rows), len(CASES))
    for i, (row, (_, want, _)) in enumerate(zip(rows, CASES)):
        if cell_line_breaks:
            want = want.replace("\r\n", "\n").replace("\r", "\n")
        expect(f"{reader} row {i}", row, [str(i), want, "end"])


def main():
    WORK.mkdir(parents=True, exist_ok=True)
    (WORK / "inputs.txt").write_text("".join(raw.hex() + "\n" for raw, _, _ in CASES))
    subprocess.run([SAMPLE, str(WORK / "inputs.txt"), str(WORK)], check=True)

    with open(WORK / "out.csv", newline="", encoding="utf-8-sig", errors="strict") as f:
        check_csv_rows("csv", list(csv.reader(f)))

    subprocess.run(["xmllint", "--noout", str(WORK / "out.xml")], check=True)
    texts = ET.parse(WORK / "out.xml").getroot().findall("text")
    expect("xml elements", len(texts), len(CASES))
    for i, (node, (_, _, want)) in enumerate(zip(texts, CASES)):
        expect(f"xml text {i}", node.text or "", want)
        expect(f"xml attribute {i}", node.get("value"), want)

    soffice = shutil.which("soffice")
    if soffice:
        out = WORK / "lo"
        out.mkdir(exist_ok=True)
        # Read as UTF-8 (76) with quoted fields; written back as UTF-8 CSV.
        subprocess.run([soffice, f"-env:UserInstallation=file://{WORK / 'lo-profile'}", "--headless",
                        "--infilter=Text - txt - csv (StarCalc):44,34,76,1,,0,false,false,false",
                        "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", str(out),
                        str(WORK / "out.csv")],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        with open(out / "out.csv", newline="", encoding="utf-8-sig", errors="strict") as f:
            # A cell's line break is LF in a spreadsheet: CR LF and a lone CR read as one.
            check_csv_rows("LibreOffice", list(csv.reader(f)), cell_line_breaks=True)
    else:
        print("LibreOffice not installed: skipped")

    if problems:
        print("\n".join(problems))
        return 1
    print(f"{len(CASES)} texts read back as written by csv, LibreOffice, xmllint and xml.etree")
    return 0


sys.exit(main())
