// The steps of an automatic-save pass against a scripted window: the order of
// the frames, the wait for a slow sample, the pause while a report dialog is
// open, a restart, and rows that change under a running pass.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "reports/AutoSavePass.h"

namespace {

constexpr std::uint8_t kMaximalIr = 0x05;

// Does what the dialog does for the pass and logs it; rows hold usb indices.
class Window : public reports::AutoSavePass {
public:
    std::vector<int> rows;
    bool held = false;
    int dumpUsb = -1;
    std::uint8_t dumpRequest = 0;
    std::string log;

    // Script: t tick, s the prepared frame's whole sample arrives (the table is
    // written), b the box ticked (a new pass), h/r a report dialog opened and
    // closed, u a mode button, k the list shrinks to its first row, m the frame
    // of row 2 moves to row 1.
    void Run(const std::string& script) {
        for (char c : script) {
            switch (c) {
                case 't': AutoSaveStep(); break;
                case 's':
                    if (m_FileSaveIndex > 0) Log("write " + std::to_string(m_FileSaveIndex));
                    m_FileSaveIndex = 0;
                    break;
                case 'b': BeginAutoSavePass(static_cast<int>(rows.size())); break;
                case 'h': held = true; break;
                case 'r': held = false; break;
                case 'u': dumpRequest = 0x04; break;
                case 'k': rows.resize(1); break;
                case 'm': rows = {rows[0], rows[2], rows[1]}; break;
                case ' ': break;
                default: ADD_FAILURE() << "script: " << c;
            }
        }
    }

protected:
    bool AutoSaveHeld() override { return held; }
    int AutoSaveRowCount() override { return static_cast<int>(rows.size()); }
    int AutoSaveUsbIndexOfRow(int nRow) override { return rows.at(static_cast<std::size_t>(nRow)); }
    std::uint8_t SendAutoSaveRequest(int nUsbIndexNo) override {
        m_nSentTo = nUsbIndexNo;
        return kMaximalIr;
    }
    void ReadFrameOfRow(int nRow, int nUsbIndexNo, std::uint8_t byRequest) override {
        // The sample awaited so far is given up once the request is out.
        EXPECT_EQ(m_FileSaveIndex, 0);
        EXPECT_EQ(nUsbIndexNo, m_nSentTo);
        dumpUsb = nUsbIndexNo;
        dumpRequest = byRequest;
        Log("ask " + std::to_string(nUsbIndexNo) + "@" + std::to_string(nRow));
    }
    void PrepareAutoSave(int nRow) override {
        if (!IsAutoSaveRequest(dumpUsb, dumpRequest)) {
            Log("refuse " + std::to_string(nRow));
            return;
        }
        m_FileSaveIndex = nRow;
        Log("prepare " + std::to_string(nRow));
    }
    void AutoSaveSampleMissed() override { Log("missed " + std::to_string(m_FileSaveIndex)); }
    void EndAutoSavePass() override { Log("end"); }

private:
    void Log(const std::string& s) { log += (log.empty() ? "" : ", ") + s; }
    int m_nSentTo = -1;
};

struct Case {
    const char* name;
    std::vector<int> rows;
    const char* script;
    const char* log;
};

void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        Window w;
        w.rows = c.rows;
        w.Run(c.script);
        EXPECT_EQ(w.log, c.log) << c.name;
    }
}

}  // namespace

TEST(AutoSavePassTest, WalksTheRowsUpwardsTwoTicksPerFrameAndOneToEnd) {
    RunCases({
        {"three frames",
         {30, 20, 10},
         "b tts tts tts t",
         "ask 10@2, prepare 3, write 3, ask 20@1, prepare 2, write 2, ask 30@0, prepare 1, write 1, end"},
        {"one frame", {7}, "b tts t", "ask 7@0, prepare 1, write 1, end"},
        {"no frame", {}, "b t", "end"},
        {"a sample that arrives before the prepare step is not the frame's", {7}, "b ts t t", "ask 7@0, prepare 1"},
    });
}

// A sweep or a frame check asks whether it may take the frames: not while
// the last frame's sample is still awaited, though no row is left.
TEST(AutoSavePassTest, ReadsTheFramesUntilTheLastSampleIsWritten) {
    Window w;
    w.rows = {20, 10};
    EXPECT_FALSE(w.AutoSaveReadsFrames());
    w.Run("b");
    EXPECT_TRUE(w.AutoSaveReadsFrames());
    w.Run("tts tt");
    ASSERT_EQ(w.m_nAutoSaveRemain, 0);
    EXPECT_TRUE(w.AutoSaveReadsFrames());
    w.Run("s");
    EXPECT_FALSE(w.AutoSaveReadsFrames());
    w.Run("t");
    EXPECT_EQ(w.log, "ask 10@1, prepare 2, write 2, ask 20@0, prepare 1, write 1, end");
}

TEST(AutoSavePassTest, WaitsAtMostFiveTicksForThePreparedSample) {
    static_assert(reports::kAutoSaveSampleWaitTicks == 5, "the scripts count five ticks");
    RunCases({
        {"the sample on the wait's last tick", {20, 10}, "b tt tttt s t", "ask 10@1, prepare 2, write 2, ask 20@0"},
        {"none within the wait: the fifth tick asks the next frame",
         {20, 10},
         "b tt tttt t",
         "ask 10@1, prepare 2, missed 2, ask 20@0"},
        {"the last frame's sample is awaited before the end", {7}, "b tt tttt s t", "ask 7@0, prepare 1, write 1, end"},
        {"the last frame silent", {7}, "b tt tttt t", "ask 7@0, prepare 1, missed 1, end"},
        {"each frame waits afresh",
         {20, 10},
         "b tt ttttt t tttt t",
         "ask 10@1, prepare 2, missed 2, ask 20@0, prepare 1, missed 1, end"},
    });
}

TEST(AutoSavePassTest, ReportDialogPausesThePassWithoutSkippingOrCountingTheWait) {
    RunCases({
        {"open before the first request", {20, 10}, "b h ttt r t", "ask 10@1"},
        {"open between request and prepare", {20, 10}, "b t h ttt r t", "ask 10@1, prepare 2"},
        {"open during the wait: its ticks do not count",
         {20, 10},
         "b tt ttt h tttttt r tt",
         "ask 10@1, prepare 2, missed 2, ask 20@0"},
        {"open at the end", {7}, "b tts h tt r t", "ask 7@0, prepare 1, write 1, end"},
    });
}

TEST(AutoSavePassTest, NewStartBeginsAgainFromTheLastRow) {
    RunCases({
        {"after a frame's table", {30, 20, 10}, "b tts t b t", "ask 10@2, prepare 3, write 3, ask 20@1, ask 10@2"},
        {"while a sample is awaited: no wait, no column for it",
         {30, 20, 10},
         "b tt b t s t",
         "ask 10@2, prepare 3, ask 10@2, prepare 3"},
        {"after the end", {7}, "b tts t b t", "ask 7@0, prepare 1, write 1, end, ask 7@0"},
    });
    Window w;
    w.rows = {30, 20, 10};
    w.Run("b tts t b");
    EXPECT_EQ(w.m_nAutoSaveRemain, 3);
    EXPECT_EQ(w.m_bAutoSaveDumpSent, 0);
    EXPECT_EQ(w.m_FileSaveIndex, 0);
}

TEST(AutoSavePassTest, FrameThatDumpsSomethingElseOrMovedIsNotSavedOrAskedTwice) {
    RunCases({
        {"a mode button between request and prepare: no column, no wait",
         {20, 10},
         "b t u t t",
         "ask 10@1, refuse 2, ask 20@0"},
        {"rows gone with a reconnect are not asked",
         {30, 20, 10},
         "b tts k t",
         "ask 10@2, prepare 3, write 3, ask 30@0"},
        {"a frame moved to a row still ahead is not asked again",
         {30, 20, 10},
         "b tts m t tts t",
         "ask 10@2, prepare 3, write 3, ask 30@0, prepare 1, write 1, end"},
    });
}
