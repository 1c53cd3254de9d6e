#include "reports/DailyTrigger.h"

namespace reports {
namespace {
constexpr int kPassHour = 23;

bool SameDay(const ClockTick& a, const ClockTick& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}
bool InPassSecond(const ClockTick& t) { return t.hour == kPassHour && t.minute == 0 && t.second == 0; }
bool BeforePassSecond(const ClockTick& t) { return t.hour < kPassHour; }
}  // namespace

bool DailyPassStarts(const ClockTick* pPrevious, const ClockTick& now) {
    if (InPassSecond(now)) return true;
    // The second was skipped: once per day, by the first tick after it.
    return pPrevious != nullptr && SameDay(*pPrevious, now) && BeforePassSecond(*pPrevious) && !BeforePassSecond(now);
}

}  // namespace reports
