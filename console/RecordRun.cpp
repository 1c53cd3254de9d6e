// "LumagridCheck record": one frame's dump stream, each chosen mode on each
// beam set of its plan for an equal share of the time, into a recording.
#include <windows.h>

#include <algorithm>
#include <chrono>
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
#include "framework/Handle.h"
#include "framework/String.h"
#include "link/QuorvaneTypes.h"
#include "link/Recording.h"

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

// Writes what the encoder has ready to the open file, as the recording goes:
// a recording cut short keeps every block written.
class CRecordingFile {
public:
    explicit CRecordingFile(const std::string& path)
        : m_hFile(::CreateFileW(Widen(path.c_str(), CP_UTF8).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {
        if (!m_hFile) m_nError = ::GetLastError();
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
        if (!::WriteFile(m_hFile.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &nWritten, nullptr))
            m_nError = ::GetLastError();
        else if (nWritten != bytes.size())
            m_nError = ERROR_DISK_FULL;
        m_nBytes += nWritten;
    }

private:
    CHandle m_hFile;
    DWORD m_nError = ERROR_SUCCESS;
    std::uint64_t m_nBytes = 0;
};

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
    for (const std::string& played : check::RecordingsPlayed(SimulationVariable(), &ReadFileUtf8Path)) {
        if (!SameFile(options.file, played)) continue;
        WriteErr(std::string(kProgram) + " record: " + options.file +
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
        if (d.bListed && check::FrameMatches(options.frame, FromCodePage(d.name), d.nUsbIndexNo)) {
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
        Progress("cannot write " + options.file + ": " + ErrorText(file.Error()));
        return check::kExitIncomplete;
    }
    recording::Encoder encoder(header);
    const auto started = std::chrono::steady_clock::now();
    const auto elapsedUs = [&] {
        return static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started).count());
    };
    std::uint64_t nLastWriteUs = 0;
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
        Progress("cannot write " + options.file + ": " + ErrorText(file.Error()) +
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

}  // namespace console
