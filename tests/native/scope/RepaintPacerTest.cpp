// The pacing of chart repaints: at most one per frame while packets stream,
// and no packet left unseen once the stream stops.
#include <gtest/gtest.h>

#include "scope/RepaintPacer.h"

using scope::RepaintPacer;

TEST(RepaintPacer, FirstPacketAndPacketsAFrameApartRepaintAtOnce) {
    RepaintPacer pacer(25.0);
    EXPECT_TRUE(pacer.OnPacket(1000.0));
    EXPECT_TRUE(pacer.OnPacket(1025.0));
    EXPECT_TRUE(pacer.OnPacket(1100.0));
    EXPECT_FALSE(pacer.Pending());
}

TEST(RepaintPacer, PacketsWithinAFrameAreHeldUntilTheFrameHasPassed) {
    RepaintPacer pacer(25.0);
    ASSERT_TRUE(pacer.OnPacket(0.0));
    EXPECT_FALSE(pacer.OnPacket(5.0));
    EXPECT_FALSE(pacer.OnPacket(24.9));
    EXPECT_TRUE(pacer.Pending());
    // Measured from the last repaint, not from the last packet.
    EXPECT_TRUE(pacer.OnPacket(25.0));
    EXPECT_FALSE(pacer.Pending());
}

TEST(RepaintPacer, AStreamOf1000PerSecondRepaintsAtTheFrameRate) {
    RepaintPacer pacer(25.0);
    int nRepaints = 0;
    for (int i = 0; i < 1000; ++i) nRepaints += pacer.OnPacket(i * 1.0) ? 1 : 0;
    EXPECT_EQ(nRepaints, 40);
    // 200 packets/s: every fifth packet.
    RepaintPacer slower(25.0);
    nRepaints = 0;
    for (int i = 0; i < 200; ++i) nRepaints += slower.OnPacket(i * 5.0) ? 1 : 0;
    EXPECT_EQ(nRepaints, 40);
}

TEST(RepaintPacer, TickShowsAHeldPacketOnceItWaitedAFrame) {
    RepaintPacer pacer(25.0);
    EXPECT_FALSE(pacer.OnTick(0.0));  // nothing came yet
    ASSERT_TRUE(pacer.OnPacket(10.0));
    EXPECT_FALSE(pacer.OnTick(12.0));  // shown already
    ASSERT_FALSE(pacer.OnPacket(14.0));
    EXPECT_TRUE(pacer.Pending());
    EXPECT_FALSE(pacer.OnTick(30.0));  // within the frame of the last repaint
    EXPECT_TRUE(pacer.OnTick(60.0));   // the stream stopped: show the last one
    EXPECT_FALSE(pacer.Pending());
    EXPECT_FALSE(pacer.OnTick(160.0));
    // The tick's repaint starts a frame like any other.
    EXPECT_FALSE(pacer.OnPacket(70.0));
    EXPECT_TRUE(pacer.OnPacket(85.0));
}

TEST(RepaintPacer, TicksDuringAStreamAddNoRepaints) {
    RepaintPacer pacer(40.0);
    int nRepaints = 0;
    for (int ms = 0; ms < 1000; ++ms) {
        if (ms % 5 == 0) nRepaints += pacer.OnPacket(ms) ? 1 : 0;  // 200 packets/s
        if (ms % 100 == 7) nRepaints += pacer.OnTick(ms) ? 1 : 0;  // display tick
    }
    EXPECT_EQ(nRepaints, 25);
}

TEST(RepaintPacer, AClockThatWentBackRepaints) {
    RepaintPacer pacer(25.0);
    ASSERT_TRUE(pacer.OnPacket(5000.0));
    EXPECT_TRUE(pacer.OnPacket(10.0));
    EXPECT_FALSE(pacer.OnPacket(20.0));
}
