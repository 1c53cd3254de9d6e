// The frame check: every listed frame (or those --frame names) measured on
// each beam set of its plan, diagnosed, and the results written.
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "LumagridVersion.h"
#include "check/CheckReport.h"
#include "check/Diagnosis.h"
#include "check/FrameMeasurement.h"
#include "console/CheckOptions.h"
#include "console/ConsoleIo.h"
#include "console/FrameLink.h"
#include "console/OutputFiles.h"
#include "console/Runs.h"
#include "console/StationSettings.h"
#include "framework/String.h"
#include "link/DumpCodes.h"
#include "link/QuorvaneTypes.h"
#include "reports/SettingsFile.h"
#include "reports/SettingsRules.h"

namespace console {

namespace {

check::FrameVerdict CheckFrame(check::CFrameLink& link, const quorvane::DeviceRecord& device,
                               const check::CheckOptions& options, const check::DiagnosisSettings& diagnosis) {
    const std::string name = FromCodePage(device.name);
    Progress("checking " + name + " (usbindexNo " + std::to_string(device.nUsbIndexNo) + ")");
    const auto started = std::chrono::steady_clock::now();
    quorvane::FrameSettings frame{};
    std::string error;
    std::string reduced;
    check::FrameGeometry geometry{};
    std::vector<check::SetMeasurement> measured;
    if (!link.StillListed(device.nUsbIndexNo)) {
        error = "the frame left before its check";
    } else if (FrameSettingsOf(link, device, frame, error, reduced)) {
        geometry = check::GeometryOf(frame);
        const std::size_t nPacketBytes = quorvane::kDumpHeaderBytes + frame.m_nXTCount + frame.m_nYTCount;
        check::FrameMeasurement measurement(
            geometry, diagnosis, nPacketBytes,
            check::CollectSettings{options.nPackets, options.nSettleMs, options.nTimeoutSeconds * 1000});
        while (!measurement.Ended()) {
            const check::BeamSet set = measurement.Set();
            link.Collect(device.nUsbIndexNo, measurement.Request(), measurement.Collector());
            measurement.Next();
            if (!measurement.error().empty()) break;
            Progress("  " + std::string(check::BeamSetName(set)) + ": " +
                     std::to_string(measurement.Measured().back().packets.size()) + " packets");
        }
        error = measurement.error();
        measured = measurement.Measured();
        link.Stop(device.nUsbIndexNo);
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    Progress("  checked in " + std::to_string(took.count()) + " ms");
    check::FrameVerdict verdict = check::Diagnose(name, device.nUsbIndexNo, geometry, diagnosis, measured);
    if (!error.empty()) verdict.error = error;
    verdict.reduced = reduced;
    if (options.bStrict && !reduced.empty() && verdict.error.empty())
        verdict.error = "a reduced check with --strict: " + reduced;
    return verdict;
}

}  // namespace

int RunCheck(const std::vector<std::string>& args) {
    const check::ParsedOptions parsed = check::ParseCheckOptions(args);
    if (!parsed.options) return RefuseCommandLine(parsed.error, check::CheckUsage(LUMAGRID_VERSION_TEXT));
    const check::CheckOptions& options = *parsed.options;
    if (options.bHelp) {
        WriteOut(check::CheckUsage(LUMAGRID_VERSION_TEXT));
        return check::kExitPass;
    }
    if (options.bVersion) {
        WriteOut(std::string(kProgram) + " " + LUMAGRID_VERSION_TEXT + "\n");
        return check::kExitPass;
    }
    const std::string shared =
        SharedRunFileError(options.replayPath, options.jsonPath, options.junitPath, options.logPath);
    if (!shared.empty()) return RefuseCommandLine(shared, check::CheckUsage(LUMAGRID_VERSION_TEXT));

    check::RunInfo run;
    run.programVersion = LUMAGRID_VERSION_TEXT;
    run.time = LocalTimeText();
    if (!ThresholdSetting(run.nThresholdPercent)) return check::kExitUsage;
    run.options = options;
    const check::DiagnosisSettings diagnosis = check::SettingsOf(options, run.nThresholdPercent);

    std::vector<check::FrameVerdict> frames;
    check::CFrameLink::InstallInterruptHandler();
    // Alive until every result is written: the maker's library is never
    // unloaded before them (see CFrameLink).
    check::CFrameLink link;
    run.error = link.Connect(options.replayPath, options.nWaitSeconds);
    if (run.error.empty()) {
        const std::vector<quorvane::DeviceRecord> devices = link.Devices();
        const check::FrameChoice choice = check::ChooseFrames(options.frames, check::ListedFrames(devices));
        for (const std::size_t i : choice.chosen) {
            if (check::CFrameLink::Interrupted()) {
                run.error = check::CFrameLink::InterruptedText();
                break;
            }
            frames.push_back(CheckFrame(link, devices[i], options, diagnosis));
            WriteOut(check::FrameReportText(frames.back()));
        }
        // A --frame that matches nothing is a frame missing from the fixture.
        for (const std::string& selector : choice.unmatched) {
            check::FrameVerdict missing;
            missing.name = selector;
            missing.error = "no listed frame matches --frame " + selector;
            frames.push_back(missing);
            WriteOut(check::FrameReportText(missing));
        }
        if (frames.empty() && run.error.empty()) run.error = "no frame connected";
    }
    if (!run.error.empty()) Progress(run.error);

    std::vector<std::string> lines;
    for (const check::FrameVerdict& frame : frames) lines.push_back(check::LogLine(run.time, frame));
    // A run that checked nothing or was cut short still shows in the log.
    if (!run.error.empty()) lines.push_back(check::RunLogLine(run.time, run.error));
    const bool bWritten = WriteResults(
        {{options.jsonPath, check::JsonReport(run, frames)}, {options.junitPath, check::JunitReport(run, frames)}},
        options.logPath, lines);
    return check::ExitCode(frames, run.error, !bWritten);
}

}  // namespace console
