// When the daily timer's tick starts the automatic-save pass. A 1-s window
// timer drifts and waits behind packet traffic, so now and then no tick falls
// inside 23:00:00; the tick after that second still starts the day's pass,
// as long as the tick before it came before 23:00:00 of the same day.
#pragma once

namespace reports {

// The local date and time of one tick, to the second.
struct ClockTick {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// pPrevious: the daily timer's tick before this one (whether or not the box
// was ticked or a frame listed then), or null for the first tick after start.
// True for a tick inside 23:00:00 (each such tick starts the pass anew), and
// for the first tick after 23:00:00 of a day whose previous tick came before
// it on the same day. A program started after 23:00:00 waits for the next day.
bool DailyPassStarts(const ClockTick* pPrevious, const ClockTick& now);

}  // namespace reports
