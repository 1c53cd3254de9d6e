// The sweep test: every listed frame (or those --frame names) one after
// another, per chosen beam set a baseline, the operator's prompt and the
// sweep with its progress, then the results written.
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "LumagridVersion.h"
#include "check/CheckReport.h"
#include "check/Diagnosis.h"
#include "check/Sweep.h"
#include "console/CheckOptions.h"
#include "console/ConsoleIo.h"
#include "console/FrameLink.h"
#include "console/OutputFiles.h"
#include "console/Runs.h"
#include "console/StationSettings.h"
#include "framework/String.h"
#include "link/DumpCodes.h"
#include "link/QuorvaneTypes.h"
#include "console/SweepOptions.h"

namespace console {

namespace {

// Packets of the baseline request ignored while the frame switches to IR, as the check's default.
constexpr DWORD kSettleMs = 100;
// The sweep's own time limit ends it; the stream's is only a backstop.
constexpr DWORD kStreamSlackMs = 2000;

using Clock = std::chrono::steady_clock;

// The progress line on stderr: rewritten in place with CR on a console, four
// times a second; a plain line a second when stderr is a pipe or a file.
class CProgressLine {
public:
    void Show(const std::string& text) {
        const Clock::time_point now = Clock::now();
        if (m_bShown && now - m_last < (m_bConsole ? std::chrono::milliseconds(250) : std::chrono::seconds(1))) return;
        m_last = now;
        m_bShown = true;
        if (!m_bConsole) {
            Progress(text);
            return;
        }
        // Blanks over the rest of a longer line before it.
        const std::size_t nPad = m_nWidth > text.size() ? m_nWidth - text.size() : 0;
        m_nWidth = text.size();
        WriteErr("\r" + text + std::string(nPad, ' '));
    }
    // The last state, whatever the pace, and the line ended.
    void End(const std::string& text) {
        m_bShown = false;
        Show(text);
        if (m_bConsole) WriteErr("\n");
    }

private:
    bool m_bConsole = StderrIsConsole();
    bool m_bShown = false;
    Clock::time_point m_last{};
    std::size_t m_nWidth = 0;
};

check::SweepFrameVerdict SweepFrame(check::CFrameLink& link, const quorvane::DeviceRecord& device,
                                    const check::SweepOptions& options, const check::SweepSettings& settings) {
    check::SweepFrameVerdict verdict;
    verdict.name = FromCodePage(device.name);
    verdict.nUsbIndexNo = device.nUsbIndexNo;
    Progress("sweep test of " + verdict.name + " (usbindexNo " + std::to_string(device.nUsbIndexNo) + ")");
    quorvane::FrameSettings frame{};
    std::string reduced;
    if (!link.StillListed(device.nUsbIndexNo)) {
        verdict.error = "the frame left before its sweep";
        return verdict;
    }
    if (!FrameSettingsOf(link, device, frame, verdict.error, reduced)) return verdict;
    verdict.geometry = check::GeometryOf(frame);
    const check::BeamSetPlan plan = check::PlanBeamSets(verdict.geometry, options.nChosenSets);
    if (!plan.error.empty()) {
        verdict.error = plan.error;
        return verdict;
    }
    const std::size_t nReceiverBytes = std::size_t{frame.m_nXTCount} + frame.m_nYTCount;
    const std::size_t nPacketBytes = quorvane::kDumpHeaderBytes + nReceiverBytes;
    for (check::BeamSet set : plan.requested) {
        const std::string setName = check::BeamSetName(set);
        // The operator's words name the set only when it is not the straight one.
        const std::string of = verdict.name + (set == check::BeamSet::OT ? "" : " (" + setName + ")");
        check::Sweep sweep(verdict.geometry, set, settings);
        check::SweepSetOutcome outcome;
        outcome.progress.set = set;
        outcome.nCells[0] = frame.m_nXTCount;
        outcome.nCells[1] = frame.m_nYTCount;
        const auto byRequest = static_cast<std::uint8_t>(check::DumpAxisCode(set) | SCOPE_IR);
        std::string error;
        if (!sweep.error().empty()) {
            outcome.result = sweep.Result(0.0);
            verdict.sets.push_back(outcome);
            continue;
        }
        Progress("do not touch " + of + ": measuring its baseline");
        std::vector<std::vector<std::uint8_t>> packets;
        if (!link.Measure(device.nUsbIndexNo, byRequest, nPacketBytes, options.nPackets, kSettleMs,
                          options.nTimeoutSeconds * 1000, packets, error)) {
            verdict.error = setName + " baseline: " + error;
            break;
        }
        for (const auto& packet : packets)
            sweep.AddBaselinePacket(packet.data() + quorvane::kDumpHeaderBytes, nReceiverBytes);
        if (!sweep.StartSweep(0.0)) {
            outcome.result = sweep.Result(0.0);
            verdict.sets.push_back(outcome);
            continue;
        }
        Progress("Sweep a stylus along one X edge and one Y edge of " + of);
        const Clock::time_point started = Clock::now();
        const auto now = [&] { return std::chrono::duration<double>(Clock::now() - started).count(); };
        CProgressLine line;
        const auto onPacket = [&](const std::uint8_t* pPacket) {
            sweep.AddPacket(pPacket + quorvane::kDumpHeaderBytes, nReceiverBytes, now());
        };
        const auto bEnded = [&] {
            const double at = now();
            line.Show(check::SweepProgressText(sweep.Progress(at)));
            return sweep.Ended(at);
        };
        const auto nStreamMs = static_cast<DWORD>(settings.timeLimitSeconds * 1000.0) + kStreamSlackMs;
        const bool bStreamed = link.Stream(device.nUsbIndexNo, byRequest, nStreamMs, options.nTimeoutSeconds * 1000,
                                           onPacket, error, bEnded);
        const double end = now();
        outcome.progress = sweep.Progress(end);
        line.End(check::SweepProgressText(outcome.progress));
        if (!bStreamed || !sweep.Ended(end)) {
            if (error.empty()) error = "the sweep did not end";
            outcome.result.error = "cut short: " + error;
            verdict.sets.push_back(outcome);
            verdict.error = setName + " sweep: " + error;
            break;
        }
        outcome.result = sweep.Result(end);
        verdict.sets.push_back(outcome);
    }
    link.Stop(device.nUsbIndexNo);
    return verdict;
}

}  // namespace

int RunSweep(const std::vector<std::string>& args) {
    const check::ParsedSweepOptions parsed = check::ParseSweepOptions(args);
    if (!parsed.options) return RefuseCommandLine(parsed.error, check::SweepUsage(LUMAGRID_VERSION_TEXT));
    const check::SweepOptions& options = *parsed.options;
    if (options.bHelp) {
        WriteOut(check::SweepUsage(LUMAGRID_VERSION_TEXT));
        return check::kExitPass;
    }
    const std::string shared =
        SharedRunFileError(options.replayPath, options.jsonPath, options.junitPath, options.logPath);
    if (!shared.empty()) return RefuseCommandLine(shared, check::SweepUsage(LUMAGRID_VERSION_TEXT));

    check::SweepRunInfo run;
    run.programVersion = LUMAGRID_VERSION_TEXT;
    run.time = LocalTimeText();
    if (!ThresholdSetting(run.nThresholdPercent)) return check::kExitUsage;
    run.settings.dropPercent = options.dropPercent;
    run.settings.timeLimitSeconds = options.timeLimitSeconds;
    run.settings.nThresholdPercent = run.nThresholdPercent;
    run.nChosenSets = options.nChosenSets;
    run.nPackets = options.nPackets;
    run.nTimeoutSeconds = options.nTimeoutSeconds;
    run.frames = options.frames;

    std::vector<check::SweepFrameVerdict> frames;
    check::CFrameLink::InstallInterruptHandler();
    // Alive until every result is written (see CFrameLink).
    check::CFrameLink link;
    constexpr unsigned kWaitSeconds = 5;  // for the library's first connect message, as the check's default
    run.error = link.Connect(options.replayPath, kWaitSeconds);
    if (run.error.empty()) {
        const std::vector<quorvane::DeviceRecord> devices = link.Devices();
        const check::FrameChoice choice = check::ChooseFrames(options.frames, check::ListedFrames(devices));
        for (const std::size_t i : choice.chosen) {
            if (check::CFrameLink::Interrupted()) {
                run.error = check::CFrameLink::InterruptedText();
                break;
            }
            frames.push_back(SweepFrame(link, devices[i], options, run.settings));
            WriteOut(check::SweepReportText(frames.back()));
        }
        for (const std::string& selector : choice.unmatched) {
            check::SweepFrameVerdict missing;
            missing.name = selector;
            missing.error = "no listed frame matches --frame " + selector;
            frames.push_back(missing);
            WriteOut(check::SweepReportText(missing));
        }
        if (frames.empty() && run.error.empty()) run.error = "no frame connected";
    }
    if (!run.error.empty()) Progress(run.error);

    std::vector<std::string> lines;
    for (const check::SweepFrameVerdict& frame : frames) lines.push_back(check::SweepLogLine(run.time, frame));
    // A run that checked nothing or was cut short still shows in the log.
    if (!run.error.empty()) lines.push_back(check::RunLogLine(run.time, run.error, check::kSweepTest));
    const bool bWritten = WriteResults({{options.jsonPath, check::SweepJsonReport(run, frames)},
                                        {options.junitPath, check::SweepJunitReport(run, frames)}},
                                       options.logPath, lines);
    return check::SweepExitCode(frames, run.error, !bWritten);
}

}  // namespace console
