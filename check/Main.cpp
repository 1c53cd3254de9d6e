// LumagridCheck.exe: the unattended frame check for test stations, the
// recording of a frame's dump stream ("LumagridCheck record ...") and the
// trend of the daily tables ("LumagridCheck trend ..."). The verdict, the
// outputs and the trend are portable code; this file connects them to the
// library, the console and the files.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "LumagridVersion.h"
#include "check/CheckOptions.h"
#include "check/CheckReport.h"
#include "check/ConsoleIo.h"
#include "check/Diagnosis.h"
#include "check/FrameLink.h"
#include "check/OutputFiles.h"
#include "check/RecordOptions.h"
#include "check/StopGate.h"
#include "check/Trend.h"
#include "check/TrendCommand.h"
#include "framework/DllSearch.h"
#include "framework/String.h"
#include "link/Recording.h"
#include "link/QuorvaneTypes.h"
#include "reports/DailyTable.h"
#include "reports/SettingsFile.h"
#include "reports/SettingsRules.h"

namespace {

constexpr char kProgram[] = "LumagridCheck";

std::wstring SettingsPath() { return settings::SettingsFilePath(dllsearch::ExecutableFolder()); }

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

void Progress(const std::string& text) { console::WriteErr(std::string(kProgram) + ": " + text + "\n"); }

// MIN_ADC_O_PER of Lumagrid.ini, its default when absent. False, with a line
// naming the file, the key and the value, for a value the check refuses: the
// station is misconfigured, not the frame.
bool ThresholdSetting(int& nPercent) {
    const std::wstring path = SettingsPath();
    const std::optional<std::wstring> text = settings::ReadMinAdcOPerText(path);
    if (!text) {
        nPercent = settings::kMinAdcOPerDefault;
        return true;
    }
    const std::string value = Narrow(text->c_str(), CP_UTF8);
    if (const std::optional<int> percent = check::ParseThresholdPercent(value)) {
        nPercent = *percent;
        return true;
    }
    Progress(Narrow(path.c_str(), CP_UTF8) + ": [" + settings::kSettingSection + "] " + settings::kMinAdcOPerKey +
             "=" + value + " is not a whole number from " + std::to_string(check::kThresholdLow) + " to " +
             std::to_string(check::kThresholdHigh) + "; correct it or remove the line (default " +
             std::to_string(settings::kMinAdcOPerDefault) + ")");
    return false;
}

int RunTrend(const std::vector<std::string>& args) {
    check::TrendEnvironment env;
    env.readFile = &console::ReadFileUtf8Path;
    env.writeFile = &console::WriteFileUtf8Path;
    env.listFolder = &console::ListFolder;
    env.sameFile = &console::SameFile;
    SYSTEMTIME today{};
    ::GetLocalTime(&today);
    check::ParseTableDate(reports::DailyDateText(today.wYear, today.wMonth, today.wDay), env.today);
    // The settings file gives only the default of --threshold.
    const auto given = [&](const char* pszOption) {
        const std::string option = pszOption;
        return std::any_of(args.begin(), args.end(), [&](const std::string& arg) {
            return arg == option || arg.rfind(option + "=", 0) == 0;
        });
    };
    if (given("--help"))
        env.defaultThreshold = settings::ReadThresholds(SettingsPath()).nMinAdcOPer;
    else if (!given("--threshold") && !ThresholdSetting(env.defaultThreshold))
        return check::kTrendExitUsage;
    std::ostringstream out;
    std::ostringstream err;
    const int nExit = check::RunTrendCommand(args, env, out, err);
    console::WriteOut(out.str());
    console::WriteErr(err.str());
    return nExit;
}

// The frame's geometry as a click on it in the scope would give it: the
// counts of the device record, then the library's settings answer; without
// that answer the modules and tilts an earlier run of the scope stored.
// `reduced` says why the geometry is not the frame's own answer.
bool FrameSettingsOf(check::CFrameLink& link, const quorvane::DeviceRecord& device,
                     quorvane::FrameSettings& frame, std::string& error, std::string& reduced) {
    frame = quorvane::FrameSettings{};
    frame.m_nXTCount = static_cast<std::uint16_t>(device.nXCells);
    frame.m_nYTCount = static_cast<std::uint16_t>(device.nYCells);
    if (link.SysInfo(device.nUsbIndexNo, frame)) return true;
    if (!device.bInfoST) {
        error = "the frame answered neither getDeviceInfoST nor getSysInfo";
        return false;
    }
    const std::string section = settings::GetDeviceSectionName(device.name, &IsCodePageLeadByte);
    if (settings::ReadFrameSection(SettingsPath(), section, frame))
        reduced = "getSysInfo failed; modules and tilts from [" + console::FromCodePage(section) + "] of Lumagrid.ini";
    else
        reduced = "getSysInfo failed; no modules and tilts known, OT only";
    Progress(reduced);
    return true;
}

check::FrameVerdict CheckFrame(check::CFrameLink& link, const quorvane::DeviceRecord& device,
                               const check::CheckOptions& options, const check::DiagnosisSettings& diagnosis) {
    const std::string name = console::FromCodePage(device.name);
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
        const check::BeamSetPlan plan = check::PlanBeamSets(geometry, diagnosis.nChosenSets);
        const std::size_t nPacketBytes = quorvane::kDumpHeaderBytes + frame.m_nXTCount + frame.m_nYTCount;
        std::vector<std::vector<std::uint8_t>> packets;
        for (check::BeamSet set : plan.error.empty() ? plan.requested : std::vector<check::BeamSet>{}) {
            const auto byRequest = static_cast<std::uint8_t>(check::DumpAxisCode(set) | SCOPE_MAXIMAL_IR);
            if (!link.Measure(device.nUsbIndexNo, byRequest, nPacketBytes, options.nPackets, options.nSettleMs,
                              options.nTimeoutSeconds * 1000, packets, error)) {
                error = std::string(check::BeamSetName(set)) + ": " + error;
                break;
            }
            check::SetMeasurement m;
            m.set = set;
            for (const auto& packet : packets)
                m.packets.emplace_back(packet.begin() + quorvane::kDumpHeaderBytes, packet.end());
            measured.push_back(std::move(m));
            Progress("  " + std::string(check::BeamSetName(set)) + ": " + std::to_string(packets.size()) +
                     " packets");
        }
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

// Writes what the encoder has ready to the open file, as the recording goes:
// a recording cut short keeps every block written.
class CRecordingFile {
public:
    explicit CRecordingFile(const std::string& path)
        : m_hFile(::CreateFileW(Widen(path.c_str(), CP_UTF8).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {
        if (m_hFile == INVALID_HANDLE_VALUE) m_nError = ::GetLastError();
    }
    ~CRecordingFile() {
        if (m_hFile != INVALID_HANDLE_VALUE) ::CloseHandle(m_hFile);
    }
    CRecordingFile(const CRecordingFile&) = delete;
    CRecordingFile& operator=(const CRecordingFile&) = delete;

    DWORD Error() const { return m_nError; }
    std::uint64_t Bytes() const { return m_nBytes; }
    void WriteReady(recording::Encoder& encoder) {
        std::vector<std::uint8_t> bytes;
        encoder.TakeOutput(bytes);
        if (m_nError != ERROR_SUCCESS || bytes.empty()) return;
        DWORD nWritten = 0;
        if (!::WriteFile(m_hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &nWritten, nullptr))
            m_nError = ::GetLastError();
        else if (nWritten != bytes.size())
            m_nError = ERROR_DISK_FULL;
        m_nBytes += nWritten;
    }

private:
    HANDLE m_hFile;
    DWORD m_nError = ERROR_SUCCESS;
    std::uint64_t m_nBytes = 0;
};

int RunRecord(const std::vector<std::string>& args) {
    const check::ParsedRecordOptions parsed = check::ParseRecordOptions(args);
    if (!parsed.options) {
        console::WriteErr(std::string(kProgram) + " record: " + parsed.error + "\n\n" +
                          check::RecordUsage(LUMAGRID_VERSION_TEXT));
        return check::kExitUsage;
    }
    const check::RecordOptions& options = *parsed.options;
    if (options.bHelp) {
        console::WriteOut(check::RecordUsage(LUMAGRID_VERSION_TEXT));
        return check::kExitPass;
    }
    // Replaying a recording into itself would replace it by a fraction of it.
    for (const std::string& played : check::RecordingsPlayed(SimulationVariable(), &console::ReadFileUtf8Path)) {
        if (!console::SameFile(options.file, played)) continue;
        console::WriteErr(std::string(kProgram) + " record: " + options.file +
                          " is the recording the library plays (QUORVANE_SIM)\n\n" +
                          check::RecordUsage(LUMAGRID_VERSION_TEXT));
        return check::kExitUsage;
    }
    check::CFrameLink::InstallInterruptHandler();
    check::CFrameLink link;
    std::string error;
    if (!link.Open(error)) {
        Progress(error);
        return check::kExitIncomplete;
    }
    if (!link.WaitForConnect(options.nWaitSeconds * 1000)) {
        Progress("no connect message from QuorvaneLib.dll within " + std::to_string(options.nWaitSeconds) + " s");
        return check::kExitIncomplete;
    }
    quorvane::DeviceRecord device;
    for (const quorvane::DeviceRecord& d : link.Devices()) {
        if (d.bListed && check::FrameMatches(options.frame, console::FromCodePage(d.name), d.nUsbIndexNo)) {
            device = d;
            break;
        }
    }
    if (device.nUsbIndexNo < 0) {
        Progress("no connected frame matches --frame " + options.frame);
        return check::kExitIncomplete;
    }

    recording::Header header;
    header.programVersion = LUMAGRID_VERSION_TEXT;
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    header.started = recording::LocalTime{now.wYear, static_cast<std::uint8_t>(now.wMonth),
                                          static_cast<std::uint8_t>(now.wDay), static_cast<std::uint8_t>(now.wHour),
                                          static_cast<std::uint8_t>(now.wMinute),
                                          static_cast<std::uint8_t>(now.wSecond), now.wMilliseconds};
    header.frameName = device.name;
    header.frameVersion = device.version;
    header.deviceType = device.nDeviceType;
    header.usbIndexNo = device.nUsbIndexNo;
    header.deviceInfoStResult = device.nInfoSTResult;
    std::memcpy(header.deviceInfoSt.data(), &device.infoST, sizeof device.infoST);
    quorvane::FrameSettings frame{};
    frame.m_nXTCount = static_cast<std::uint16_t>(device.nXCells);
    frame.m_nYTCount = static_cast<std::uint16_t>(device.nYCells);
    quorvane::FrameSettings answer{};
    header.sysInfoResult = link.SysInfo(device.nUsbIndexNo, answer) ? 1 : 0;
    if (header.sysInfoResult != 0) frame = answer;
    std::memcpy(header.frameSettings.data(), &answer, sizeof answer);
    header.xCount = frame.m_nXTCount;
    header.yCount = frame.m_nYTCount;

    const check::BeamSetPlan plan = check::PlanBeamSets(check::GeometryOf(frame), options.nChosenSets);
    if (!plan.error.empty()) {
        Progress(plan.error);
        return check::kExitIncomplete;
    }
    const std::vector<std::uint8_t> requests = check::RecordRequests(options, plan);
    const DWORD nShareMs = std::max<DWORD>(1, options.nSeconds * 1000 / static_cast<DWORD>(requests.size()));

    CRecordingFile file(options.file);
    if (file.Error() != ERROR_SUCCESS) {
        Progress("cannot write " + options.file + ": " + console::ErrorText(file.Error()));
        return check::kExitIncomplete;
    }
    recording::Encoder encoder(header);
    const auto started = std::chrono::steady_clock::now();
    const auto elapsedUs = [&] {
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started).count());
    };
    std::uint64_t nLastWriteUs = 0;
    Progress("recording " + console::FromCodePage(device.name) + " (usbindexNo " + std::to_string(device.nUsbIndexNo) +
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
        encoder.AddRequest(elapsedUs(), byRequest);
        std::uint64_t nPackets = 0;
        const auto onPacket = [&](const std::uint8_t* pPacket) {
            ++nPackets;
            const std::uint64_t t = elapsedUs();
            encoder.AddPacket(t, byRequest, pPacket, header.PacketSize());
            if (t - nLastWriteUs >= 1'000'000) {  // at least once a second on the disk
                encoder.SealIfDue(t);
                file.WriteReady(encoder);
                nLastWriteUs = t;
            }
        };
        if (!link.Stream(device.nUsbIndexNo, byRequest, nShareMs,
                         options.nTimeoutSeconds * 1000, onPacket, error)) {
            error = "request " + requestText(byRequest) + ": " + error;
            break;
        }
        if (nPackets == 0) {
            unanswered.push_back(requestText(byRequest));
            Progress("request " + unanswered.back() + ": no packet in its " + std::to_string(nShareMs) + " ms");
        }
        if (file.Error() != ERROR_SUCCESS) break;
    }
    link.Stop(device.nUsbIndexNo);
    encoder.Finish();
    file.WriteReady(encoder);
    if (file.Error() != ERROR_SUCCESS) {
        Progress("cannot write " + options.file + ": " + console::ErrorText(file.Error()) +
                 " (what was written before stays readable)");
        return check::kExitIncomplete;
    }
    const std::uint64_t nRaw = encoder.PacketCount() * header.PacketSize();
    Progress("recorded " + std::to_string(encoder.PacketCount()) + " packets in " + options.file + ": " +
             std::to_string(file.Bytes()) + " bytes" +
             (nRaw > 0 ? " (" + std::to_string(file.Bytes() * 100 / nRaw) + " % of the packets' own bytes)" : ""));
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

int RunCheck(const std::vector<std::string>& args) {
    const check::ParsedOptions parsed = check::ParseCheckOptions(args);
    if (!parsed.options) {
        console::WriteErr(std::string(kProgram) + ": " + parsed.error + "\n\n" +
                          check::CheckUsage(LUMAGRID_VERSION_TEXT));
        return check::kExitUsage;
    }
    const check::CheckOptions& options = *parsed.options;
    if (options.bHelp) {
        console::WriteOut(check::CheckUsage(LUMAGRID_VERSION_TEXT));
        return check::kExitPass;
    }
    if (options.bVersion) {
        console::WriteOut(std::string(kProgram) + " " + LUMAGRID_VERSION_TEXT + "\n");
        return check::kExitPass;
    }
    const std::string shared = check::SharedFileError(
        {{"--json", options.jsonPath}, {"--junit", options.junitPath}, {"--log", options.logPath}}, &console::SameFile);
    if (!shared.empty()) {
        console::WriteErr(std::string(kProgram) + ": " + shared + "\n\n" + check::CheckUsage(LUMAGRID_VERSION_TEXT));
        return check::kExitUsage;
    }

    check::RunInfo run;
    run.programVersion = LUMAGRID_VERSION_TEXT;
    run.time = console::LocalTimeText();
    if (!ThresholdSetting(run.nThresholdPercent)) return check::kExitUsage;
    run.options = options;
    const check::DiagnosisSettings diagnosis = check::SettingsOf(options, run.nThresholdPercent);

    std::vector<check::FrameVerdict> frames;
    check::CFrameLink::InstallInterruptHandler();
    // Alive until every result is written: the maker's library is never
    // unloaded before them (see CFrameLink).
    check::CFrameLink link;
    std::string error;
    if (!link.Open(error)) {
        run.error = error;
    } else if (!link.WaitForConnect(options.nWaitSeconds * 1000)) {
        run.error = check::CFrameLink::Interrupted()
                        ? check::CFrameLink::InterruptedText()
                        : "no connect message from QuorvaneLib.dll within " + std::to_string(options.nWaitSeconds) +
                              " s";
    } else {
        const std::vector<quorvane::DeviceRecord> devices = link.Devices();
        // A --frame that matches nothing is a frame missing from the fixture.
        std::vector<check::FrameVerdict> unmatched;
        for (const std::string& selector : options.frames) {
            bool bFound = false;
            for (const quorvane::DeviceRecord& device : devices)
                bFound = bFound || (device.bListed && check::FrameMatches(selector, console::FromCodePage(device.name),
                                                                           device.nUsbIndexNo));
            if (bFound) continue;
            check::FrameVerdict missing;
            missing.name = selector;
            missing.error = "no listed frame matches --frame " + selector;
            unmatched.push_back(missing);
        }
        for (const quorvane::DeviceRecord& device : devices) {
            if (!device.bListed) continue;
            bool bChosen = options.frames.empty();
            for (const std::string& selector : options.frames)
                bChosen = bChosen ||
                          check::FrameMatches(selector, console::FromCodePage(device.name), device.nUsbIndexNo);
            if (!bChosen) continue;
            if (check::CFrameLink::Interrupted()) {
                run.error = check::CFrameLink::InterruptedText();
                break;
            }
            frames.push_back(CheckFrame(link, device, options, diagnosis));
            console::WriteOut(check::FrameReportText(frames.back()));
        }
        for (const check::FrameVerdict& missing : unmatched) {
            frames.push_back(missing);
            console::WriteOut(check::FrameReportText(missing));
        }
        if (frames.empty() && run.error.empty()) run.error = "no frame connected";
    }
    if (!run.error.empty()) Progress(run.error);

    bool bFileError = false;
    auto writeOut = [&](const std::string& path, const std::string& bytes) {
        std::string error;
        if (path.empty() || console::WriteFileUtf8Path(path, bytes, error)) return;
        Progress("cannot write " + path + ": " + error);
        bFileError = true;
    };
    writeOut(options.jsonPath, check::JsonReport(run, frames));
    writeOut(options.junitPath, check::JunitReport(run, frames));
    if (!options.logPath.empty()) {
        std::vector<std::string> lines;
        for (const check::FrameVerdict& frame : frames) lines.push_back(check::LogLine(run.time, frame));
        // A run that checked nothing or was cut short still shows in the log.
        if (!run.error.empty()) lines.push_back(check::RunLogLine(run.time, run.error));
        for (const std::string& line : lines) {
            std::string error;
            if (console::AppendLine(options.logPath, line, error)) continue;
            Progress("cannot append to " + options.logPath + ": " + error);
            bFileError = true;
            break;
        }
    }
    return check::ExitCode(frames, run.error, bFileError);
}

int Run(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "trend") return RunTrend(std::vector<std::string>(args.begin() + 1, args.end()));
    if (!args.empty() && args[0] == "record") return RunRecord(std::vector<std::string>(args.begin() + 1, args.end()));
    return RunCheck(args);
}

}  // namespace

int main() {
    // Before anything loads a DLL on demand.
    dllsearch::RemoveCurrentFolder();
    const int nExit = Run(console::Arguments());
    // Every result is written: a closed console or an ending session may end the process now.
    check::ProcessStopGate().Finished(nExit);
    return nExit;
}
