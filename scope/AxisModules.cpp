#include "scope/AxisModules.h"

namespace scope {

std::vector<unsigned> SplitAxis(unsigned nReceiverCount, unsigned nModuleCells) {
    std::vector<unsigned> sizes;
    if (nModuleCells == 0) return sizes;
    const unsigned whole = nReceiverCount / nModuleCells;
    const unsigned rest = nReceiverCount % nModuleCells;
    sizes.assign(whole, nModuleCells);
    if (rest > 0) sizes.push_back(rest);
    return sizes;
}

AxisModules SplitAxes(const quorvane::FrameSettings& frame) {
    AxisModules modules;
    if (frame.X_MODULE_CELL == 0 || frame.Y_MODULE_CELL == 0) return modules;
    modules.x = SplitAxis(frame.m_nXTCount, frame.X_MODULE_CELL);
    modules.y = SplitAxis(frame.m_nYTCount, frame.Y_MODULE_CELL);
    return modules;
}

int VisibleModuleButtons(int nModules) {
    if (nModules < 0 || nModules > kMaxModuleButtons) return 0;
    return nModules + 1;
}

AxisWindow WholeAxisWindow(unsigned nReceiverCount) {
    const int count = static_cast<int>(nReceiverCount);
    return AxisWindow{0, count, count};
}

std::optional<AxisWindow> SelectionWindow(int nSel, unsigned nReceiverCount, unsigned nModuleCells,
                                          const std::vector<unsigned>& moduleSizes) {
    if (nSel == 0) return WholeAxisWindow(nReceiverCount);
    if (nSel < 0 || static_cast<std::size_t>(nSel) > moduleSizes.size()) return std::nullopt;
    // 64-bit arithmetic: a module cell count is 16-bit and a selection is small,
    // but the product must not wrap before it is compared with the axis.
    const unsigned long long start = static_cast<unsigned long long>(nModuleCells) * (nSel - 1);
    const unsigned long long count = moduleSizes[nSel - 1];
    if (start + count > nReceiverCount) return std::nullopt;
    const int s = static_cast<int>(start);
    const int c = static_cast<int>(count);
    return AxisWindow{s, s + c, c};
}

}  // namespace scope
