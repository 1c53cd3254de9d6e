// "LumagridCheck record": one frame's dump stream, each chosen mode on each
// beam set of its plan for an equal share of the time, into a recording.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "LumagridVersion.h"
#include "check/CheckReport.h"
#include "check/Diagnosis.h"
#include "console/CheckOptions.h"
#include "console/ConsoleIo.h"
#include "console/FrameLink.h"
#include "console/OutputFiles.h"
#include "console/RecordOptions.h"
#include "console/Runs.h"
#include "framework/String.h"
#include "link/QuorvaneTypes.h"
#include "recording/Recording.h"
#include "scope/DumpRecorder.h"
#include "scope/RecordingHeader.h"

namespace console {

namespace {

// QUORVANE_SIM, which names what the substitute library plays; UTF-8.
std::string SimulationVariable() {
    const DWORD n = ::GetEnvironmentVariableW(L"QUORVANE_SIM", nullptr, 0);
    if (n == 0) return {};
    std::wstring value(n, L'\0');
    const DWORD nGot = ::GetEnvironmentVariableW(L"QUORVANE_SIM", &value[0], n);
    if (nGot == 0 || nGot >= n) return {};
    value.resize(nGot);
    return Narrow(value.c_str(), CP_UTF8);
}

}  // namespace

int RunRecord(const std::vector<std::string>& args) {
    const check::ParsedRecordOptions parsed = check::ParseRecordOptions(args);
    if (!parsed.options) {
        WriteErr(std::string(kProgram) + " record: " + parsed.error + "\n\n" +
                 check::RecordUsage(LUMAGRID_VERSION_TEXT));
        return check::kExitUsage;
    }
    const check::RecordOptions& options = *parsed.options;
    if (options.bHelp) {
        WriteOut(check::RecordUsage(LUMAGRID_VERSION_TEXT));
        return check::kExitPass;
    }
    // Replaying a recording into itself would replace it by a fraction of it.
    const bool bReplay = !options.replayPath.empty();
    for (const std::string& played :
         check::RecordingsPlayed(bReplay ? options.replayPath : SimulationVariable(), &ReadFileUtf8Path)) {
        if (!SameFile(options.file, played)) continue;
        WriteErr(std::string(kProgram) + " record: " + options.file + " is the recording the library plays (" +
                 (bReplay ? "--replay" : "QUORVANE_SIM") + ")\n\n" + check::RecordUsage(LUMAGRID_VERSION_TEXT));
        return check::kExitUsage;
    }
    check::CFrameLink::InstallInterruptHandler();
    check::CFrameLink link;
    std::string error = link.Connect(options.replayPath, options.nWaitSeconds);
    if (!error.empty()) {
        Progress(error);
        return check::kExitIncomplete;
    }
    quorvane::DeviceRecord device;
    for (const quorvane::DeviceRecord& d : link.Devices()) {
        if (d.bListed && check::FrameMatches(options.frame, FromCodePage(d.name), d.nUsbIndexNo)) {
            device = d;
            break;
        }
    }
    if (device.nUsbIndexNo < 0) {
        Progress("no connected frame matches --frame " + options.frame);
        return check::kExitIncomplete;
    }

    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    quorvane::FrameSettings frame{};
    frame.m_nXTCount = static_cast<std::uint16_t>(device.nXCells);
    frame.m_nYTCount = static_cast<std::uint16_t>(device.nYCells);
    quorvane::FrameSettings answer{};
    const int nSysInfoResult = link.SysInfo(device.nUsbIndexNo, answer);
    if (nSysInfoResult != 0) frame = answer;
    const recording::Header header =
        scope::RecordingHeader(device, now, nSysInfoResult, answer, frame.m_nXTCount, frame.m_nYTCount);

    const check::BeamSetPlan plan = check::PlanBeamSets(check::GeometryOf(frame), options.nChosenSets);
    if (!plan.error.empty()) {
        Progress(plan.error);
        return check::kExitIncomplete;
    }
    const std::vector<std::uint8_t> requests = check::RecordRequests(options, plan);
    const DWORD nShareMs = std::max<DWORD>(1, options.nSeconds * 1000 / static_cast<DWORD>(requests.size()));

    scope::DumpRecorder recorder(header, recording::EncoderOptions{}, &scope::DumpRecorder::SteadyMs, &::WriteFile);
    if (const DWORD nError = recorder.Open(Widen(options.file.c_str(), CP_UTF8), nullptr, 0)) {
        Progress("cannot write " + options.file + ": " + ErrorText(nError));
        return check::kExitIncomplete;
    }
    Progress("recording " + FromCodePage(device.name) + " (usbindexNo " + std::to_string(device.nUsbIndexNo) +
             "): " + std::to_string(requests.size()) + " requests of " + std::to_string(nShareMs) + " ms each");
    // A share shorter than --timeout ends before silence is detected: a
    // request without a packet is counted here.
    std::vector<std::string> unanswered;
    const auto requestText = [](std::uint8_t byRequest) {
        char szRequest[8];
        std::snprintf(szRequest, sizeof szRequest, "0x%02X", byRequest);
        return std::string(szRequest);
    };
    for (std::uint8_t byRequest : requests) {
        recorder.AddRequest(byRequest);
        std::uint64_t nPackets = 0;
        const auto onPacket = [&](const std::uint8_t* pPacket) {
            ++nPackets;
            recorder.AddPacket(byRequest, pPacket);
        };
        if (!link.Stream(device.nUsbIndexNo, byRequest, nShareMs, options.nTimeoutSeconds * 1000, onPacket, error)) {
            error = "request " + requestText(byRequest) + ": " + error;
            break;
        }
        if (nPackets == 0) {
            unanswered.push_back(requestText(byRequest));
            Progress("request " + unanswered.back() + ": no packet in its " + std::to_string(nShareMs) + " ms");
        }
        if (recorder.Failed()) break;
    }
    link.Stop(device.nUsbIndexNo);
    recorder.Close();
    if (recorder.WriteError() != ERROR_SUCCESS) {
        Progress("cannot write " + options.file + ": " + ErrorText(recorder.WriteError()) +
                 " (what was written before stays readable)");
        return check::kExitIncomplete;
    }
    if (recorder.Dropped() > 0) Progress(std::to_string(recorder.Dropped()) + " records lost: the disk was too slow");
    const std::uint64_t nRaw = recorder.Packets() * header.PacketSize();
    Progress("recorded " + std::to_string(recorder.Packets()) + " packets in " + options.file + ": " +
             std::to_string(recorder.BytesWritten()) + " bytes" +
             (nRaw > 0 ? " (" + std::to_string(recorder.BytesWritten() * 100 / nRaw) + " % of the packets' own bytes)"
                       : ""));
    if (!error.empty()) {
        Progress(error + "; the recording ends there");
        return check::kExitIncomplete;
    }
    if (!unanswered.empty()) {
        Progress(std::to_string(unanswered.size()) + " of " + std::to_string(requests.size()) +
                 " requests got no packet; the file holds what came");
        return check::kExitIncomplete;
    }
    return check::kExitPass;
}

}  // namespace console
