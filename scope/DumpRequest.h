// The scope's modes and dump axes as the dialog uses them, and the dump-request
// byte it sends with setDump (the codes themselves: link/DumpCodes.h).
#pragma once

#include <cstdint>
#include <optional>

#include "link/DumpCodes.h"

namespace scope {

// The "Dump Axis" radios, OT first; the order of their ids is the order of the codes.
constexpr unsigned kDumpAxisFirstRadioId = 1058;
constexpr unsigned kDumpAxisLastRadioId = 1062;

// The mask of radio nID, or nothing for an id outside the Dump Axis row.
std::optional<int> DumpAxisMaskForRadio(unsigned nID);

constexpr bool IsMaximalMode(int nMode) {
    return nMode == SCOPE_MAXIMAL_IR || nMode == SCOPE_LEFT_TILT_MAXIMAL || nMode == SCOPE_RIGHT_TILT_MAXIMAL;
}
constexpr bool IsPercentMode(int nMode) {
    return nMode == SCOPE_PERCENT || nMode == SCOPE_LEFT_TILT_PERCENT || nMode == SCOPE_RIGHT_TILT_PERCENT;
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
constexpr bool ReissuesOnAxisChange(int nMode) { return nMode >= SCOPE_STOP && nMode <= SCOPE_MAXIMAL_IR; }

struct DumpRequest {
    std::uint8_t bySent;    // second argument of setDump
    std::uint8_t byStored;  // new value of m_byDumpRequest, the gate of the dump processing
};

// The axis travels only with modes 1 to 5, yet the stored byte always carries it:
// Stop with an axis other than OT therefore leaves the dump gate open.
DumpRequest ComposeDumpRequest(int nMode, int nAxisMask);

}  // namespace scope
