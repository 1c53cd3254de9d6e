// Scope modes, dump axes and the dump-request byte sent with setDump.
#pragma once

#include <cstdint>
#include <optional>

namespace scope {

// What the frame is asked to dump; the value is also the mode code of the request byte.
enum ScopeMode : int {
    SCOPE_STOP = 0,
    SCOPE_AMBIENT_IR = 1,
    SCOPE_AMBIENT = 2,
    SCOPE_IR = 3,
    SCOPE_PERCENT = 4,
    SCOPE_MAXIMAL_IR = 5,
    SCOPE_LEFT_TILT_PERCENT = 6,
    SCOPE_LEFT_TILT_MAXIMAL = 7,
    SCOPE_RIGHT_TILT_PERCENT = 8,
    SCOPE_RIGHT_TILT_MAXIMAL = 9,
};
constexpr int kScopeModeCount = 10;

// Beam set dumped by modes 1 to 5: codes in the upper nibble, not independent bits.
enum DumpAxisMask : int {
    DUMP_AXIS_OT = 0x00,
    DUMP_AXIS_TL1 = 0x10,
    DUMP_AXIS_TR1 = 0x20,
    DUMP_AXIS_TL2 = 0x30,
    DUMP_AXIS_TR2 = 0x40,
};

// The "Dump Axis" radios, OT first; the order of their ids is the order of the codes.
constexpr unsigned kDumpAxisFirstRadioId = 1058;
constexpr unsigned kDumpAxisLastRadioId = 1062;

// The mask of radio nID, or nothing for an id outside the Dump Axis row.
std::optional<int> DumpAxisMaskForRadio(unsigned nID);

constexpr bool IsMaximalMode(int nMode) {
    return nMode == SCOPE_MAXIMAL_IR || nMode == SCOPE_LEFT_TILT_MAXIMAL ||
           nMode == SCOPE_RIGHT_TILT_MAXIMAL;
}
constexpr bool IsPercentMode(int nMode) {
    return nMode == SCOPE_PERCENT || nMode == SCOPE_LEFT_TILT_PERCENT ||
           nMode == SCOPE_RIGHT_TILT_PERCENT;
}
constexpr bool IsTiltMode(int nMode) { return nMode > SCOPE_MAXIMAL_IR; }

// The frame needs a moment before a Maximal request (200 ms).
constexpr bool WaitsBeforeRequest(int nMode) { return IsMaximalMode(nMode); }
constexpr unsigned kMaximalRequestWaitMs = 200;

// Only the Right Tilt modes clear both charts after their request.
constexpr bool ClearsChartsAfterRequest(int nMode) {
    return nMode == SCOPE_RIGHT_TILT_PERCENT || nMode == SCOPE_RIGHT_TILT_MAXIMAL;
}

// A dump-axis change re-sends the straight modes (Stop included) but not a tilt mode.
constexpr bool ReissuesOnAxisChange(int nMode) {
    return nMode >= SCOPE_STOP && nMode <= SCOPE_MAXIMAL_IR;
}

struct DumpRequest {
    std::uint8_t bySent;    // second argument of setDump
    std::uint8_t byStored;  // new value of m_byDumpRequest, the gate of the dump processing
};

// The axis travels only with modes 1 to 5, yet the stored byte always carries it:
// Stop with an axis other than OT therefore leaves the dump gate open.
DumpRequest ComposeDumpRequest(int nMode, int nAxisMask);

}  // namespace scope
