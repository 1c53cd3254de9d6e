"""Reads the frame check's and the sweep test's outputs that check_outputs_sample writes with real
readers: the JSON file with Python's json module, the JUnit file with xmllint
and xml.etree, the log lines with Python's csv module. The expected values are
worked out here from the sample's frames, not from our writer.

usage: read_check_outputs.py CHECK_OUTPUTS_SAMPLE WORK_DIR
"""
import csv
import json
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

SAMPLE, WORK = sys.argv[1], Path(sys.argv[2])
problems = []


def expect(what, got, want):
    if got != want:
        problems.append(f"{what}: {got!r}, expected {want!r}")


BENCH = "Bench <&\"'> \x01 caf\u00e9 \ufffd]]>"  # the byte 0xFF replaced
SETS = ["OT", "TL1", "TR1", "TL2", "TR2"]
NULL_LED = {"led": None, "ledModule": None, "ledPosition": None}
NULL_RECEIVER = {"receiver": None, "receiverModule": None, "receiverPosition": None}
REDUCED = "getSysInfo failed; no modules and tilts known, OT only"
FAULTS = [dict(axis="X", part="receiver", set=None, receiver=42, receiverModule=3, receiverPosition=10, level=0,
               spread=None, **NULL_LED),
          dict(axis="X", part="led", set=None, led=17, ledModule=2, ledPosition=1, level=0, spread=None,
               **NULL_RECEIVER)]


def check_json():
    run = json.loads((WORK / "check.json").read_text(encoding="utf-8"))
    for key, want in [("version", 1), ("test", "check"), ("program", "LumagridCheck"), ("programVersion", "1.0.0"),
                      ("time", "2024-06-11T14:03:05+09:00"), ("verdict", "error"), ("error", None)]:
        expect(f"json {key}", run.get(key), want)
    settings = run["settings"]
    expect("json settings", settings, {"threshold": 33, "axes": SETS, "packets": 8, "settleMs": 100,
                                       "timeoutSeconds": 5, "waitSeconds": 5, "flicker": 25.0, "minLevel": None,
                                       "frames": ["0", "Bench", "7"]})
    frames = run["frames"]
    expect("json frame count", len(frames), 4)
    ir96, bench, left, missing = frames
    expect("json names", [f["name"] for f in frames], ["Quorvane IR96/SN-1001", BENCH, "Left bench", "7"])
    expect("json usbindexNo", [f["usbindexNo"] for f in frames], [0, 7, 2, None])
    expect("json verdicts", [f["verdict"] for f in frames], ["fail", "pass", "error", "error"])
    expect("json errors", [f["error"] for f in frames],
           [None, None, "the frame left during its check", "no listed frame matches --frame 7"])
    expect("json reduced", [f["reduced"] for f in frames], [None, REDUCED, None, None])
    expect("json unmatched frame", (missing["beamSets"], missing["faults"], missing["geometry"]["x"]["cells"]),
           ([], [], 0))
    expect("json geometry", ir96["geometry"], {"x": {"cells": 96, "moduleCells": 16, "tilt1": 3, "tilt2": 5},
                                               "y": {"cells": 64, "moduleCells": 16, "tilt1": 2, "tilt2": 4}})
    # Level 90 = 3600; 33 % of it is 1188. X lists its dead receiver and the dead LED's beam on each set.
    expect("json beam sets", [(b["axis"], b["set"]) for b in ir96["beamSets"]],
           [(a, s) for a in "XY" for s in SETS])
    for b in ir96["beamSets"]:
        expect(f"json {b['axis']} {b['set']}", (b["average"], b["cutline"], b["dark"], b["low"]),
               (3600, 1188, False, 2 if b["axis"] == "X" else 0))
    expect("json faults", ir96["faults"], FAULTS)
    expect("json bench sets", [(b["axis"], b["set"]) for b in bench["beamSets"]], [("X", "OT"), ("Y", "OT")])
    expect("json bench faults", bench["faults"], [])
    expect("json left sets", [(b["axis"], b["set"]) for b in left["beamSets"]],
           [("X", "OT"), ("X", "TL1"), ("Y", "OT"), ("Y", "TL1")])
    expect("json left faults", left["faults"], [])

    empty = json.loads((WORK / "empty.json").read_text(encoding="utf-8"))
    expect("empty json", (empty["verdict"], empty["error"], empty["frames"]),
           ("error", "no frame connected within 5 s", []))


def check_junit():
    for name in ("check.xml", "empty.xml", "cut.xml"):
        lint = subprocess.run(["xmllint", "--noout", str(WORK / name)], capture_output=True, text=True)
        expect(f"xmllint {name}", (lint.returncode, lint.stderr), (0, ""))

    root = ET.parse(WORK / "check.xml").getroot()
    expect("junit root", root.tag, "testsuites")
    suites = root.findall("testsuite")
    expect("junit suite names", [s.get("name") for s in suites],
           ["Quorvane IR96/SN-1001 (usbindexNo 0)", BENCH.replace("\x01", "\ufffd") + " (usbindexNo 7)",
            "Left bench (usbindexNo 2)", "7 (not listed)"])
    cases = [s.findall("testcase") for s in suites]
    expect("junit testcases", [[c.get("name") for c in cs] for cs in cases],
           [SETS + ["diagnosis"], ["OT", "diagnosis"], ["OT", "TL1", "diagnosis"], ["diagnosis"]])
    for s, cs in zip(suites, cases):
        expect(f"junit counts of {s.get('name')}", (s.get("tests"), s.get("failures"), s.get("errors")),
               (str(len(cs)), str(sum(c.find("failure") is not None for c in cs)),
                str(sum(c.find("error") is not None for c in cs))))
    expect("junit totals", (root.get("tests"), root.get("failures"), root.get("errors")), ("12", "6", "2"))

    ot = cases[0][0].find("failure")
    expect("junit OT failure", ot.get("message") if ot is not None else None, "X 2 below cutline 1188")
    expect("junit OT lines", ot.text.splitlines() if ot is not None else None,
           ["X S:17 R:17 level 0", "X S:42 R:42 level 0"])
    diagnosis = cases[0][-1].find("failure")
    expect("junit diagnosis", diagnosis.get("message") if diagnosis is not None else None,
           "X receiver R:42; X led S:17")
    expect("junit passing frame", [c.find("failure") for c in cases[1]], [None, None])
    error = cases[2][-1].find("error")
    expect("junit error", error.get("message") if error is not None else None, "the frame left during its check")
    error = cases[3][-1].find("error")
    expect("junit unmatched", error.get("message") if error is not None else None, "no listed frame matches --frame 7")
    expect("junit unmatched usbindexNo", suites[3].find("properties/property[@name='usbindexNo']").get("value"), "")
    reduced = [c.find("properties/property[@name='reduced']") for c in cases[1]]
    expect("junit reduced", [p.get("value") if p is not None else None for p in reduced], [None, REDUCED])
    props = {p.get("name"): p.get("value") for p in suites[0].find("properties")}
    expect("junit properties", (props.get("usbindexNo"), props.get("threshold"), props.get("verdict")),
           ("0", "33", "fail"))

    empty = ET.parse(WORK / "empty.xml").getroot()
    expect("empty junit", (empty.get("tests"), empty.get("errors"), empty.find("testsuite/testcase/error").get("message")),
           ("1", "1", "no frame connected within 5 s"))

    cut = ET.parse(WORK / "cut.xml").getroot()
    expect("cut junit", (cut.get("tests"), cut.get("failures"), cut.get("errors"),
                         [e.get("message") for e in cut.iter("error")]), ("3", "0", "1", ["interrupted (Ctrl+C)"]))


def check_log():
    raw = (WORK / "check.csv").read_bytes()
    expect("log line ends", raw.count(b"\r\n"), 4)
    with open(WORK / "check.csv", newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    expect("log rows", rows, [
        ["2024-06-11 14:03:05", "Quorvane IR96/SN-1001", "0", "fail", "X receiver R:42; X led S:17", "", "check"],
        ["2024-06-11 14:03:05", BENCH, "7", "pass", "", "", "check"],
        ["2024-06-11 14:03:05", "Left bench", "2", "error", "", "the frame left during its check", "check"],
        ["2024-06-11 14:03:05", "7", "", "error", "", "no listed frame matches --frame 7", "check"]])
    with open(WORK / "cut.csv", newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    expect("cut log rows", rows, [["2024-06-11 14:03:05", BENCH, "7", "pass", "", "", "check"],
                                  ["2024-06-11 14:03:05", "", "", "error", "", "interrupted (Ctrl+C)", "check"]])


# The sweep: X R:34 (index 33, module 3 position 2) never dropped between
# receivers that did; Y R:1 to R:6 at the start of the axis were never swept.
def check_sweep():
    run = json.loads((WORK / "sweep.json").read_text(encoding="utf-8"))
    expect("sweep json head", [run.get(k) for k in ("version", "test", "verdict")], [1, "sweep", "error"])
    expect("sweep json settings", (run["settings"]["timeLimitSeconds"], run["settings"]["drop"],
                                   run["settings"]["axes"]), (12, 50, ["OT"]))
    bench, mute = run["frames"]
    expect("sweep json bench", (bench["verdict"], bench["error"]), ("fail", None))
    expect("sweep json counts", bench["sweeps"][0]["axes"],
           [{"axis": "X", "receivers": 96, "expected": 96, "seen": 95},
            {"axis": "Y", "receivers": 64, "expected": 64, "seen": 58}])
    expect("sweep json faults", bench["faults"], [
        dict(axis="X", part="stuck", set="OT", receiver=34, **{"from": None, "to": None},
             receiverModule=3, receiverPosition=2),
        dict(axis="Y", part="not-swept", set="OT", receiver=None, **{"from": 1, "to": 6},
             receiverModule=None, receiverPosition=None)])
    expect("sweep json silent", (mute["verdict"], mute["error"], mute["sweeps"]),
           ("error", "OT sweep: no packet within 5 s", []))

    lint = subprocess.run(["xmllint", "--noout", str(WORK / "sweep.xml")], capture_output=True, text=True)
    expect("xmllint sweep.xml", (lint.returncode, lint.stderr), (0, ""))
    root = ET.parse(WORK / "sweep.xml").getroot()
    suites = root.findall("testsuite")
    expect("sweep junit suites", [s.get("name") for s in suites], ["Sweep bench (usbindexNo 3)", "Mute (usbindexNo 5)"])
    expect("sweep junit totals", (root.get("tests"), root.get("failures"), root.get("errors")), ("2", "1", "1"))
    failure = suites[0].find("testcase[@name='OT']/failure")
    expect("sweep junit failure", failure.get("message") if failure is not None else None,
           "X stuck R:34; Y not-swept R:1-R:6")

    with open(WORK / "sweep.csv", newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    expect("sweep log rows", rows, [
        ["2024-06-11 14:03:05", "Sweep bench", "3", "fail", "X stuck R:34; Y not-swept R:1-R:6", "", "sweep"],
        ["2024-06-11 14:03:05", "Mute", "5", "error", "", "OT sweep: no packet within 5 s", "sweep"]])


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    WORK.mkdir(parents=True)
    subprocess.run([SAMPLE, str(WORK)], check=True)
    check_json()
    check_junit()
    check_log()
    check_sweep()
    for p in problems:
        print("FAIL:", p)
    if problems:
        sys.exit(1)
    print("json, junit (xmllint, xml.etree) and csv readers agree")


main()
