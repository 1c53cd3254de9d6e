// Division of the two axes into modules and the receiver window charted for each axis.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "link/QuorvaneTypes.h"

namespace scope {

// Receivers of one axis that are charted, averaged and sampled: nStart .. nEnd - 1.
struct AxisWindow {
    int nStart = 0;
    int nEnd = 0;  // always nStart + nCount
    int nCount = 0;
    friend bool operator==(const AxisWindow& a, const AxisWindow& b) {
        return a.nStart == b.nStart && a.nEnd == b.nEnd && a.nCount == b.nCount;
    }
    friend bool operator!=(const AxisWindow& a, const AxisWindow& b) { return !(a == b); }
};

// Module sizes of one axis, module 1 first: all nModuleCells but a shorter last
// one; empty when nModuleCells is 0.
std::vector<unsigned> SplitAxis(unsigned nReceiverCount, unsigned nModuleCells);

struct AxisModules {
    std::vector<unsigned> x;
    std::vector<unsigned> y;
};

// Both axes from the frame's geometry. A module cell count of 0 on either axis
// leaves both axes undivided, so the two charts always offer the same kind of choice.
AxisModules SplitAxes(const quorvane::FrameSettings& frame);

// Number of buttons of one axis row to show, Total first, then modules 1, 2, ...
// Rows have room for ten modules; an axis with more shows no button, not even Total.
constexpr int kMaxModuleButtons = 10;
int VisibleModuleButtons(int nModules);

// Window of the whole axis (selection 0, "Total").
AxisWindow WholeAxisWindow(unsigned nReceiverCount);

// Window for selection nSel (0 = Total, k = module k). Nothing for a module the
// axis does not have, or one that would reach past the axis' receivers (the module
// sizes came from another geometry): the caller then keeps its selection and window.
std::optional<AxisWindow> SelectionWindow(int nSel, unsigned nReceiverCount, unsigned nModuleCells,
                                          const std::vector<unsigned>& moduleSizes);

}  // namespace scope
