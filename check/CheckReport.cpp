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

std::string UsbIndexText(const FrameVerdict& frame) { return IsListed(frame) ? Number(frame.nUsbIndexNo) : ""; }

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

Verdict RunVerdict(const std::vector<FrameVerdict>& frames, const std::string& runError) {
    if (!runError.empty() || frames.empty()) return Verdict::Error;
    Verdict verdict = Verdict::Pass;
    for (const FrameVerdict& frame : frames) {
        if (frame.verdict() == Verdict::Error) return Verdict::Error;
        if (frame.verdict() == Verdict::Fail) verdict = Verdict::Fail;
    }
    return verdict;
}

int ExitCode(const std::vector<FrameVerdict>& frames, const std::string& runError, bool bFileError) {
    if (bFileError) return kExitIncomplete;
    switch (RunVerdict(frames, runError)) {
        case Verdict::Pass: return kExitPass;
        case Verdict::Fail: return kExitFail;
        default: return kExitIncomplete;
    }
}

std::string PartText(const Fault& f) {
    std::string text = std::string(AxisName(f.axis)) + " " + PartName(f.part);
    if (f.set) text += std::string(" ") + BeamSetName(*f.set);
    if (f.led) text += " S:" + Number(*f.led);
    if (f.receiver) text += " R:" + Number(*f.receiver);
    return text;
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
    for (const SetResult& s : frame.sets) {
        char line[160];
        if (s.bDark)
            std::snprintf(line, sizeof line, "    %s %-3s  dark: every receiver reads 0\n", AxisName(s.axis),
                          BeamSetName(s.set));
        else
            std::snprintf(line, sizeof line, "    %s %-3s  average %lld  cutline %lld  low %zu\n", AxisName(s.axis),
                          BeamSetName(s.set), AverageOf(s), s.nCutline, s.low.size());
        out += line;
    }
    if (!frame.faults.empty()) out += "  faulty parts:\n";
    for (const Fault& f : frame.faults) {
        out += "    " + PartText(f);
        if (f.ledModule) out += "  " + PlaceText("S", *f.ledModule, f.ledPosition.value_or(0));
        if (f.receiverModule) out += "  " + PlaceText("R", *f.receiverModule, f.receiverPosition.value_or(0));
        if (f.part != Part::AxisDark) out += "  level " + Number(f.level);
        if (f.part == Part::Flicker) out += "  spread " + Number(f.spread);
        out += "\n";
    }
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
    std::string suites;
    std::size_t tests = 0, failures = 0, errors = 0;
    for (std::size_t n = 0; n < frames.size(); ++n) {
        const FrameVerdict& frame = frames[n];
        const std::string suiteName =
            frame.name + (IsListed(frame) ? " (usbindexNo " + Number(frame.nUsbIndexNo) + ")" : " (not listed)");
        std::string cases;
        std::size_t suiteTests = 0, suiteFailures = 0, suiteErrors = 0;
        // element: "failure", "error" or nullptr for a passed case.
        const auto testcase = [&](const std::string& name, const char* element, const char* type,
                                  const std::string& message, const std::string& body,
                                  const std::string& reduced = {}) {
            ++suiteTests;
            cases += "    <testcase" + Attribute("classname", suiteName) + Attribute("name", name) + " time=\"0\"";
            if (element == nullptr && reduced.empty()) {
                cases += "/>\n";
                return;
            }
            cases += ">\n";
            if (!reduced.empty())
                cases += "      <properties>\n        <property name=\"reduced\"" + Attribute("value", reduced) +
                         "/>\n      </properties>\n";
            if (element != nullptr) {
                (std::string(element) == "failure" ? suiteFailures : suiteErrors)++;
                cases += "      <" + std::string(element) + Attribute("message", message) + Attribute("type", type) +
                         ">" + XmlText(body) + "</" + element + ">\n";
            }
            cases += "    </testcase>\n";
        };

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
            testcase(BeamSetName(set), message.empty() ? nullptr : "failure", "low beams", message, body);
        }
        if (!frame.error.empty()) {
            testcase("diagnosis", "error", "measurement error", frame.error, frame.error, frame.reduced);
        } else {
            std::string message, body;
            for (const Fault& f : frame.faults) {
                message += (message.empty() ? "" : "; ") + PartText(f);
                body += PartText(f) + " level " + Number(f.level) + "\n";
            }
            testcase("diagnosis", message.empty() ? nullptr : "failure", "faulty parts", message, body, frame.reduced);
        }
        tests += suiteTests;
        failures += suiteFailures;
        errors += suiteErrors;
        suites += "  <testsuite" + Attribute("name", suiteName) + " id=\"" + Number(static_cast<long long>(n)) +
                  "\" tests=\"" + Number(static_cast<long long>(suiteTests)) + "\" failures=\"" +
                  Number(static_cast<long long>(suiteFailures)) + "\" errors=\"" +
                  Number(static_cast<long long>(suiteErrors)) + "\" skipped=\"0\"" + Attribute("timestamp", run.time) +
                  " time=\"0\">\n    <properties>\n" + "      <property name=\"usbindexNo\"" +
                  Attribute("value", UsbIndexText(frame)) + "/>\n" + "      <property name=\"geometry\"" +
                  Attribute("value", "X " + GeometryText(frame.geometry.x) + "; Y " + GeometryText(frame.geometry.y)) +
                  "/>\n      <property name=\"threshold\"" + Attribute("value", Number(run.nThresholdPercent)) +
                  "/>\n      <property name=\"verdict\"" + Attribute("value", VerdictName(frame.verdict())) +
                  "/>\n    </properties>\n" + cases + "  </testsuite>\n";
    }
    if (!run.error.empty() || frames.empty()) {
        // A run that checked nothing must not look like an empty success.
        const std::string reason = run.error.empty() ? std::string("no frame was checked") : run.error;
        ++tests;
        ++errors;
        suites += "  <testsuite name=\"LumagridCheck\" id=\"" + Number(static_cast<long long>(frames.size())) +
                  "\" tests=\"1\" failures=\"0\" errors=\"1\" skipped=\"0\"" + Attribute("timestamp", run.time) +
                  " time=\"0\">\n    <testcase classname=\"LumagridCheck\" name=\"frames\" time=\"0\">\n      <error" +
                  Attribute("message", reason) + " type=\"no frame\">" + XmlText(reason) +
                  "</error>\n    </testcase>\n  </testsuite>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"LumagridCheck " +
           XmlAttribute(run.programVersion) + "\" tests=\"" + Number(static_cast<long long>(tests)) + "\" failures=\"" +
           Number(static_cast<long long>(failures)) + "\" errors=\"" + Number(static_cast<long long>(errors)) +
           "\">\n" + suites + "</testsuites>\n";
}

std::string LogLine(const std::string& localTime, const FrameVerdict& frame) {
    std::string parts;
    for (const Fault& f : frame.faults) parts += (parts.empty() ? "" : "; ") + PartText(f);
    return CsvField(localTime) + "," + CsvField(frame.name) + "," + UsbIndexText(frame) + "," +
           VerdictName(frame.verdict()) + "," + CsvField(parts) + "," + CsvField(frame.error) + "\r\n";
}

std::string RunLogLine(const std::string& localTime, const std::string& runError) {
    return CsvField(localTime) + ",,," + VerdictName(Verdict::Error) + ",," + CsvField(runError) + "\r\n";
}

}  // namespace check
