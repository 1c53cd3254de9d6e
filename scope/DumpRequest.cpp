#include "scope/DumpRequest.h"

namespace scope {

std::optional<int> DumpAxisMaskForRadio(unsigned nID) {
    if (nID < kDumpAxisFirstRadioId || nID > kDumpAxisLastRadioId) return std::nullopt;
    return static_cast<int>(nID - kDumpAxisFirstRadioId) * kDumpAxisStep;
}

DumpRequest ComposeDumpRequest(int nMode, int nAxisMask) {
    const auto withAxis = static_cast<std::uint8_t>((nAxisMask | nMode) & 0xFF);
    const bool axisTravels = nMode >= SCOPE_AMBIENT_IR && nMode <= SCOPE_MAXIMAL_IR;
    return DumpRequest{axisTravels ? withAxis : static_cast<std::uint8_t>(nMode & 0xFF), withAxis};
}

}  // namespace scope
