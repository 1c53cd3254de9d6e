#include "check/CheckReport.h"

#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "text/Escape.h"

namespace check {

namespace {

using Json = nlohmann::ordered_json;
using text::CsvField;
using text::ValidUtf8;
using text::XmlAttribute;
using text::XmlText;

long long AverageOf(const SetResult& set) { return std::llround(static_cast<double>(set.fAverage)); }

std::string Number(long long n) { return std::to_string(n); }

std::string GeometryText(const AxisGeometry& g) {
    return Number(g.nCells) + " cells, " + (g.nModuleCell ? "modules of " + Number(g.nModuleCell) : "no modules") +
           ", tilts " + Number(g.nTilt1) + " " + Number(g.nTilt2);
}

// The measured sets in request order, each once.
std::vector<BeamSet> MeasuredSets(const FrameVerdict& frame) {
    std::vector<BeamSet> sets;
    for (BeamSet set : kBeamSets)
        for (const SetResult& r : frame.sets)
            if (r.set == set) {
                sets.push_back(set);
                break;
            }
    return sets;
}

std::string Attribute(const char* name, std::string_view value) {
    return std::string(" ") + name + "=\"" + XmlAttribute(value) + "\"";
}

// Text as every other output of the run holds it: nlohmann's own repair of
// bytes that are no UTF-8 gives a cut-short sequence one U+FFFD, not one per byte.
Json JsonText(const std::string& text) { return Json(ValidUtf8(text)); }

Json Nullable(const std::optional<long long>& n) { return n ? Json(*n) : Json(nullptr); }

bool IsListed(const FrameVerdict& frame) { return frame.nUsbIndexNo >= 0; }

std::string UsbIndexText(int nUsbIndexNo) { return nUsbIndexNo >= 0 ? Number(nUsbIndexNo) : ""; }
std::string UsbIndexText(const FrameVerdict& frame) { return UsbIndexText(frame.nUsbIndexNo); }

// The suite of a frame: its name and its number, or "not listed" for a --frame that matched none.
std::string SuiteName(const std::string& name, int nUsbIndexNo) {
    return name + (nUsbIndexNo >= 0 ? " (usbindexNo " + Number(nUsbIndexNo) + ")" : " (not listed)");
}

// A <testsuite> of JUnit XML, its cases counted as they are added.
class JunitSuite {
public:
    explicit JunitSuite(std::string name) : name_(std::move(name)) {}
    // element: "failure", "error" or nullptr for a passed case; `reduced` a property of the case.
    void Case(const std::string& caseName, const char* element, const char* type, const std::string& message,
              const std::string& body, const std::string& reduced = {}) {
        ++tests_;
        cases_ += "    <testcase" + Attribute("classname", name_) + Attribute("name", caseName) + " time=\"0\"";
        if (element == nullptr && reduced.empty()) {
            cases_ += "/>\n";
            return;
        }
        cases_ += ">\n";
        if (!reduced.empty())
            cases_ += "      <properties>\n        <property name=\"reduced\"" + Attribute("value", reduced) +
                      "/>\n      </properties>\n";
        if (element != nullptr) {
            (std::string(element) == "failure" ? failures_ : errors_)++;
            cases_ += "      <" + std::string(element) + Attribute("message", message) + Attribute("type", type) + ">" +
                      XmlText(body) + "</" + element + ">\n";
        }
        cases_ += "    </testcase>\n";
    }

private:
    friend class JunitDocument;
    std::string name_;
    std::string cases_;
    std::size_t tests_ = 0, failures_ = 0, errors_ = 0;
};

// <testsuites>: the suites of the frames, and a suite of its own for a run
// that checked nothing, so that it never looks like an empty success.
class JunitDocument {
public:
    void Add(const JunitSuite& suite, const std::string& timestamp,
             const std::vector<std::pair<const char*, std::string>>& properties) {
        std::string props;
        for (const auto& [name, value] : properties)
            props += "      <property name=\"" + std::string(name) + "\"" + Attribute("value", value) + "/>\n";
        suites_ += "  <testsuite" + Attribute("name", suite.name_) + " id=\"" + Count(nSuites_++) + "\" tests=\"" +
                   Count(suite.tests_) + "\" failures=\"" + Count(suite.failures_) + "\" errors=\"" +
                   Count(suite.errors_) + "\" skipped=\"0\"" + Attribute("timestamp", timestamp) +
                   " time=\"0\">\n    <properties>\n" + props + "    </properties>\n" + suite.cases_ +
                   "  </testsuite>\n";
        tests_ += suite.tests_;
        failures_ += suite.failures_;
        errors_ += suite.errors_;
    }
    std::string Xml(const std::string& programVersion, const std::string& timestamp, const std::string& runError,
                    bool bNoFrame) {
        if (!runError.empty() || bNoFrame) {
            const std::string reason = runError.empty() ? std::string("no frame was checked") : runError;
            ++tests_;
            ++errors_;
            suites_ += "  <testsuite name=\"LumagridCheck\" id=\"" + Count(nSuites_++) +
                       "\" tests=\"1\" failures=\"0\" errors=\"1\" skipped=\"0\"" + Attribute("timestamp", timestamp) +
                       " time=\"0\">\n    <testcase classname=\"LumagridCheck\" name=\"frames\" time=\"0\">\n      "
                       "<error" +
                       Attribute("message", reason) + " type=\"no frame\">" + XmlText(reason) +
                       "</error>\n    </testcase>\n  </testsuite>\n";
        }
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"LumagridCheck " +
               XmlAttribute(programVersion) + "\" tests=\"" + Count(tests_) + "\" failures=\"" + Count(failures_) +
               "\" errors=\"" + Count(errors_) + "\">\n" + suites_ + "</testsuites>\n";
    }

private:
    static std::string Count(std::size_t n) { return Number(static_cast<long long>(n)); }
    std::string suites_;
    std::size_t nSuites_ = 0, tests_ = 0, failures_ = 0, errors_ = 0;
};

Json FrameJson(const FrameVerdict& frame) {
    Json j;
    j["name"] = JsonText(frame.name);
    j["usbindexNo"] = IsListed(frame) ? Json(frame.nUsbIndexNo) : Json(nullptr);
    j["verdict"] = VerdictName(frame.verdict());
    j["error"] = frame.error.empty() ? Json(nullptr) : JsonText(frame.error);
    j["reduced"] = frame.reduced.empty() ? Json(nullptr) : JsonText(frame.reduced);
    Json geometry;
    for (Axis axis : {Axis::X, Axis::Y}) {
        const AxisGeometry& g = frame.geometry[axis];
        geometry[axis == Axis::X ? "x" : "y"] = {
            {"cells", g.nCells}, {"moduleCells", g.nModuleCell}, {"tilt1", g.nTilt1}, {"tilt2", g.nTilt2}};
    }
    j["geometry"] = geometry;
    j["beamSets"] = Json::array();
    for (const SetResult& s : frame.sets) {
        j["beamSets"].push_back({{"axis", AxisName(s.axis)},
                                 {"set", BeamSetName(s.set)},
                                 {"average", s.bDark ? 0 : AverageOf(s)},
                                 {"cutline", s.bDark ? 0 : s.nCutline},
                                 {"dark", s.bDark},
                                 {"low", s.low.size()}});
    }
    j["faults"] = Json::array();
    for (const Fault& f : frame.faults) {
        j["faults"].push_back({{"axis", AxisName(f.axis)},
                               {"part", PartName(f.part)},
                               {"set", f.set ? Json(BeamSetName(*f.set)) : Json(nullptr)},
                               {"led", Nullable(f.led)},
                               {"receiver", Nullable(f.receiver)},
                               {"ledModule", Nullable(f.ledModule)},
                               {"ledPosition", Nullable(f.ledPosition)},
                               {"receiverModule", Nullable(f.receiverModule)},
                               {"receiverPosition", Nullable(f.receiverPosition)},
                               {"level", f.level},
                               {"spread", f.part == Part::Flicker ? Json(f.spread) : Json(nullptr)}});
    }
    return j;
}

}  // namespace

std::string PlaceText(const char* what, long long nModule, long long nPosition) {
    return std::string(what) + " module " + Number(nModule) + " position " + Number(nPosition);
}

namespace {

// Error when the run has an error, no frame or a frame in error; else fail
// when a frame fails; else pass.
template <typename Frames>
Verdict VerdictOfRun(const Frames& frames, const std::string& runError) {
    if (!runError.empty() || frames.empty()) return Verdict::Error;
    Verdict verdict = Verdict::Pass;
    for (const auto& frame : frames) {
        if (frame.verdict() == Verdict::Error) return Verdict::Error;
        if (frame.verdict() == Verdict::Fail) verdict = Verdict::Fail;
    }
    return verdict;
}

int ExitCodeOf(Verdict verdict, bool bFileError) {
    if (bFileError) return kExitIncomplete;
    switch (verdict) {
        case Verdict::Pass: return kExitPass;
        case Verdict::Fail: return kExitFail;
        default: return kExitIncomplete;
    }
}

}  // namespace

Verdict RunVerdict(const std::vector<FrameVerdict>& frames, const std::string& runError) {
    return VerdictOfRun(frames, runError);
}

int ExitCode(const std::vector<FrameVerdict>& frames, const std::string& runError, bool bFileError) {
    return ExitCodeOf(RunVerdict(frames, runError), bFileError);
}

std::string PartText(const Fault& f) {
    std::string text = std::string(AxisName(f.axis)) + " " + PartName(f.part);
    if (f.set) text += std::string(" ") + BeamSetName(*f.set);
    if (f.led) text += " S:" + Number(*f.led);
    if (f.receiver) text += " R:" + Number(*f.receiver);
    return text;
}

std::string SetLineText(const SetResult& s) {
    char line[160];
    if (s.bDark)
        std::snprintf(line, sizeof line, "%s %-3s  dark: every receiver reads 0", AxisName(s.axis), BeamSetName(s.set));
    else
        std::snprintf(line, sizeof line, "%s %-3s  average %lld  cutline %lld  low %zu", AxisName(s.axis),
                      BeamSetName(s.set), AverageOf(s), s.nCutline, s.low.size());
    return line;
}

std::string FaultLineText(const Fault& f) {
    std::string out = PartText(f);
    if (f.ledModule) out += "  " + PlaceText("S", *f.ledModule, f.ledPosition.value_or(0));
    if (f.receiverModule) out += "  " + PlaceText("R", *f.receiverModule, f.receiverPosition.value_or(0));
    if (f.part != Part::AxisDark) out += "  level " + Number(f.level);
    if (f.part == Part::Flicker) out += "  spread " + Number(f.spread);
    return out;
}

std::string ReducedGeometryText(const std::string& sectionUtf8) {
    return sectionUtf8.empty() ? "getSysInfo failed; no modules and tilts known, OT only"
                               : "getSysInfo failed; modules and tilts from [" + sectionUtf8 + "] of Lumagrid.ini";
}

std::vector<reports::StatusLine> CheckStatusLines(const FrameVerdict& frame) {
    const auto colour = [](Axis axis) { return axis == Axis::X ? reports::kStatusRed : reports::kStatusBlue; };
    std::vector<reports::StatusLine> lines;
    if (!frame.reduced.empty()) lines.push_back({"reduced: " + frame.reduced, reports::kStatusRed});
    for (const SetResult& s : frame.sets) lines.push_back({SetLineText(s), colour(s.axis)});
    for (const Fault& f : frame.faults) lines.push_back({FaultLineText(f), colour(f.axis)});
    const Verdict verdict = frame.verdict();
    lines.push_back({verdict == Verdict::Pass   ? std::string("PASS")
                     : verdict == Verdict::Fail ? std::string("FAIL")
                                                : "ERROR: " + frame.error,
                     reports::kStatusRed});
    return lines;
}

std::string FrameReportText(const FrameVerdict& frame) {
    std::string out = "Frame \"" + ValidUtf8(frame.name) + "\"  " +
                      (IsListed(frame) ? "usbindexNo " + Number(frame.nUsbIndexNo) : std::string("not listed")) + "\n";
    if (IsListed(frame)) {
        out += "  X: " + GeometryText(frame.geometry.x) + "\n";
        out += "  Y: " + GeometryText(frame.geometry.y) + "\n";
    }
    if (!frame.reduced.empty()) out += "  reduced: " + frame.reduced + "\n";
    if (!frame.sets.empty()) out += "  beam sets (signal units):\n";
    for (const SetResult& s : frame.sets) out += "    " + SetLineText(s) + "\n";
    if (!frame.faults.empty()) out += "  faulty parts:\n";
    for (const Fault& f : frame.faults) out += "    " + FaultLineText(f) + "\n";
    if (!frame.error.empty()) out += "  error: " + frame.error + "\n";
    const Verdict verdict = frame.verdict();
    out += std::string("  ") + (verdict == Verdict::Pass ? "PASS" : verdict == Verdict::Fail ? "FAIL" : "ERROR") + "\n";
    return out;
}

std::string JsonReport(const RunInfo& run, const std::vector<FrameVerdict>& frames) {
    const CheckOptions& o = run.options;
    Json axes = Json::array();
    for (BeamSet set : kBeamSets)
        if (o.nChosenSets & BeamSetBit(set)) axes.push_back(BeamSetName(set));
    Json frameArguments = Json::array();
    for (const std::string& frame : o.frames) frameArguments.push_back(JsonText(frame));
    Json j;
    j["version"] = kJsonSchemaVersion;
    j["test"] = kCheckTest;
    j["program"] = "LumagridCheck";
    j["programVersion"] = JsonText(run.programVersion);
    j["time"] = JsonText(run.time);
    j["verdict"] = VerdictName(RunVerdict(frames, run.error));
    j["error"] = run.error.empty() ? Json(nullptr) : JsonText(run.error);
    j["settings"] = {{"threshold", run.nThresholdPercent},
                     {"axes", axes},
                     {"packets", o.nPackets},
                     {"settleMs", o.nSettleMs},
                     {"timeoutSeconds", o.nTimeoutSeconds},
                     {"waitSeconds", o.nWaitSeconds},
                     {"flicker", o.flickerPercent ? Json(*o.flickerPercent) : Json(nullptr)},
                     {"minLevel", o.minLevel ? Json(*o.minLevel) : Json(nullptr)},
                     {"frames", frameArguments}};
    j["frames"] = Json::array();
    for (const FrameVerdict& frame : frames) j["frames"].push_back(FrameJson(frame));
    return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string JunitReport(const RunInfo& run, const std::vector<FrameVerdict>& frames) {
    JunitDocument document;
    for (std::size_t n = 0; n < frames.size(); ++n) {
        const FrameVerdict& frame = frames[n];
        JunitSuite suite(SuiteName(frame.name, frame.nUsbIndexNo));
        for (BeamSet set : MeasuredSets(frame)) {
            std::string message, body;
            for (const SetResult& s : frame.sets) {
                if (s.set != set) continue;
                const std::string axis = AxisName(s.axis);
                if (s.bDark) {
                    message += (message.empty() ? "" : "; ") + axis + " dark";
                    body += axis + ": every receiver reads 0\n";
                } else if (!s.low.empty()) {
                    message += (message.empty() ? "" : "; ") + axis + " " +
                               Number(static_cast<long long>(s.low.size())) + " below cutline " + Number(s.nCutline);
                    for (const reports::LedFinding& f : s.low)
                        body += axis + " S:" + Number(f.nLed) + " R:" + Number(f.nReceiver) + " level " +
                                Number(f.nValue) + "\n";
                }
            }
            suite.Case(BeamSetName(set), message.empty() ? nullptr : "failure", "low beams", message, body);
        }
        if (!frame.error.empty()) {
            suite.Case("diagnosis", "error", "measurement error", frame.error, frame.error, frame.reduced);
        } else {
            std::string message, body;
            for (const Fault& f : frame.faults) {
                message += (message.empty() ? "" : "; ") + PartText(f);
                body += PartText(f) + " level " + Number(f.level) + "\n";
            }
            suite.Case("diagnosis", message.empty() ? nullptr : "failure", "faulty parts", message, body,
                       frame.reduced);
        }
        document.Add(suite, run.time,
                     {{"usbindexNo", UsbIndexText(frame.nUsbIndexNo)},
                      {"geometry", "X " + GeometryText(frame.geometry.x) + "; Y " + GeometryText(frame.geometry.y)},
                      {"threshold", Number(run.nThresholdPercent)},
                      {"verdict", VerdictName(frame.verdict())}});
    }
    return document.Xml(run.programVersion, run.time, run.error, frames.empty());
}

std::string LogLine(const std::string& localTime, const FrameVerdict& frame) {
    std::string parts;
    for (const Fault& f : frame.faults) parts += (parts.empty() ? "" : "; ") + PartText(f);
    return CsvField(localTime) + "," + CsvField(frame.name) + "," + UsbIndexText(frame) + "," +
           VerdictName(frame.verdict()) + "," + CsvField(parts) + "," + CsvField(frame.error) + "," + kCheckTest +
           "\r\n";
}

std::string RunLogLine(const std::string& localTime, const std::string& runError, const char* pszTest) {
    return CsvField(localTime) + ",,," + VerdictName(Verdict::Error) + ",," + CsvField(runError) + "," + pszTest +
           "\r\n";
}

// The sweep test's outputs.

namespace {

std::string VerdictWord(Verdict verdict) {
    return verdict == Verdict::Pass ? "PASS" : verdict == Verdict::Fail ? "FAIL" : "ERROR";
}

std::string CountsText(const SweepSetOutcome& set) {
    std::string text;
    for (Axis axis : {Axis::X, Axis::Y}) {
        const SweepAxisProgress& a = set.progress.axes[static_cast<int>(axis)];
        if (!a.bMeasured) continue;
        text += std::string(text.empty() ? "" : "  ") + AxisName(axis) + " " + Number(static_cast<long long>(a.nSeen)) +
                "/" + Number(static_cast<long long>(a.nExpected)) + " seen";
    }
    return text;
}

// Every fault of the frame's sweeps, in the order swept.
std::vector<SweepFault> SweepFaults(const SweepFrameVerdict& frame) {
    std::vector<SweepFault> faults;
    for (const SweepSetOutcome& set : frame.sets)
        faults.insert(faults.end(), set.result.faults.begin(), set.result.faults.end());
    return faults;
}

bool HasReceiver(SweepPart part) { return part == SweepPart::Stuck || part == SweepPart::Low; }

}  // namespace

Verdict SweepFrameVerdict::verdict() const {
    if (!error.empty() || sets.empty()) return Verdict::Error;
    Verdict v = Verdict::Pass;
    for (const SweepSetOutcome& set : sets) {
        if (set.result.verdict == Verdict::Error) return Verdict::Error;
        if (set.result.verdict == Verdict::Fail) v = Verdict::Fail;
    }
    return v;
}

int SweepExitCode(const std::vector<SweepFrameVerdict>& frames, const std::string& runError, bool bFileError) {
    return ExitCodeOf(VerdictOfRun(frames, runError), bFileError);
}

std::string SweepReportText(const SweepFrameVerdict& frame) {
    const bool bListed = frame.nUsbIndexNo >= 0;
    std::string out = "Frame \"" + ValidUtf8(frame.name) + "\"  " +
                      (bListed ? "usbindexNo " + Number(frame.nUsbIndexNo) : std::string("not listed")) + "\n";
    if (bListed && frame.geometry.x.nCells + frame.geometry.y.nCells > 0) {
        out += "  X: " + GeometryText(frame.geometry.x) + "\n";
        out += "  Y: " + GeometryText(frame.geometry.y) + "\n";
    }
    for (const SweepSetOutcome& set : frame.sets) {
        out += std::string("  sweep ") + BeamSetName(set.progress.set) + ": " + CountsText(set) + "  " +
               VerdictWord(set.result.verdict) + "\n";
        for (const SweepFault& f : set.result.faults) out += "    " + SweepFaultText(f) + "\n";
        if (!set.result.error.empty()) out += "    error: " + set.result.error + "\n";
    }
    if (!frame.error.empty()) out += "  error: " + frame.error + "\n";
    out += "  " + VerdictWord(frame.verdict()) + "\n";
    return out;
}

std::string SweepJsonReport(const SweepRunInfo& run, const std::vector<SweepFrameVerdict>& frames) {
    Json axes = Json::array();
    for (BeamSet set : kBeamSets)
        if (run.nChosenSets & BeamSetBit(set)) axes.push_back(BeamSetName(set));
    Json frameArguments = Json::array();
    for (const std::string& frame : run.frames) frameArguments.push_back(JsonText(frame));
    Json j;
    j["version"] = kJsonSchemaVersion;
    j["test"] = kSweepTest;
    j["program"] = "LumagridCheck";
    j["programVersion"] = JsonText(run.programVersion);
    j["time"] = JsonText(run.time);
    j["verdict"] = VerdictName(VerdictOfRun(frames, run.error));
    j["error"] = run.error.empty() ? Json(nullptr) : JsonText(run.error);
    j["settings"] = {{"threshold", run.nThresholdPercent},
                     {"axes", axes},
                     {"packets", run.nPackets},
                     {"timeoutSeconds", run.nTimeoutSeconds},
                     {"timeLimitSeconds", run.settings.timeLimitSeconds},
                     {"drop", run.settings.dropPercent},
                     {"frames", frameArguments}};
    j["frames"] = Json::array();
    for (const SweepFrameVerdict& frame : frames) {
        Json f;
        f["name"] = JsonText(frame.name);
        f["usbindexNo"] = frame.nUsbIndexNo >= 0 ? Json(frame.nUsbIndexNo) : Json(nullptr);
        f["verdict"] = VerdictName(frame.verdict());
        f["error"] = frame.error.empty() ? Json(nullptr) : JsonText(frame.error);
        f["sweeps"] = Json::array();
        for (const SweepSetOutcome& set : frame.sets) {
            Json counts = Json::array();
            for (Axis axis : {Axis::X, Axis::Y}) {
                const SweepAxisProgress& a = set.progress.axes[static_cast<int>(axis)];
                if (a.bMeasured)
                    counts.push_back({{"axis", AxisName(axis)},
                                      {"receivers", set.nCells[static_cast<int>(axis)]},
                                      {"expected", a.nExpected},
                                      {"seen", a.nSeen}});
            }
            f["sweeps"].push_back({{"set", BeamSetName(set.progress.set)},
                                   {"verdict", VerdictName(set.result.verdict)},
                                   {"error", set.result.error.empty() ? Json(nullptr) : JsonText(set.result.error)},
                                   {"axes", counts}});
        }
        f["faults"] = Json::array();
        for (const SweepFault& fault : SweepFaults(frame)) {
            const bool bReceiver = HasReceiver(fault.part);
            const bool bStretch = fault.part == SweepPart::NotSwept;
            f["faults"].push_back({{"axis", AxisName(fault.axis)},
                                   {"part", SweepPartName(fault.part)},
                                   {"set", BeamSetName(fault.set)},
                                   {"receiver", bReceiver ? Json(fault.from) : Json(nullptr)},
                                   {"from", bStretch ? Json(fault.from) : Json(nullptr)},
                                   {"to", bStretch ? Json(fault.to) : Json(nullptr)},
                                   {"receiverModule", bReceiver ? Json(fault.module) : Json(nullptr)},
                                   {"receiverPosition", bReceiver ? Json(fault.position) : Json(nullptr)}});
        }
        j["frames"].push_back(f);
    }
    return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string SweepJunitReport(const SweepRunInfo& run, const std::vector<SweepFrameVerdict>& frames) {
    JunitDocument document;
    for (const SweepFrameVerdict& frame : frames) {
        JunitSuite suite(SuiteName(frame.name, frame.nUsbIndexNo));
        for (const SweepSetOutcome& set : frame.sets) {
            const SweepResult& r = set.result;
            std::string message, body;
            for (const SweepFault& f : r.faults) {
                message += (message.empty() ? "" : "; ") + SweepFaultText(f, false);
                body += SweepFaultText(f) + "\n";
            }
            if (r.verdict == Verdict::Error)
                suite.Case(BeamSetName(set.progress.set), "error", "measurement error", r.error, r.error);
            else
                suite.Case(BeamSetName(set.progress.set), r.verdict == Verdict::Fail ? "failure" : nullptr,
                           "not interrupted", message, body + CountsText(set) + "\n");
        }
        if (!frame.error.empty()) suite.Case("sweep", "error", "measurement error", frame.error, frame.error);
        document.Add(suite, run.time,
                     {{"usbindexNo", UsbIndexText(frame.nUsbIndexNo)},
                      {"threshold", Number(run.nThresholdPercent)},
                      {"verdict", VerdictName(frame.verdict())}});
    }
    return document.Xml(run.programVersion, run.time, run.error, frames.empty());
}

std::string SweepLogLine(const std::string& localTime, const SweepFrameVerdict& frame) {
    std::string parts;
    for (const SweepFault& f : SweepFaults(frame)) parts += (parts.empty() ? "" : "; ") + SweepFaultText(f, false);
    return CsvField(localTime) + "," + CsvField(frame.name) + "," + UsbIndexText(frame.nUsbIndexNo) + "," +
           VerdictName(frame.verdict()) + "," + CsvField(parts) + "," + CsvField(frame.error) + "," + kSweepTest +
           "\r\n";
}

}  // namespace check
