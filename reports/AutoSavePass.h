// The steps of a daily automatic-save pass, apart from the window that runs
// them: the window's step timer calls AutoSaveStep, and the pass calls back
// for what only the window can do (its device list, the requests, the files).
#pragma once

#include <cstdint>
#include <vector>

namespace reports {

constexpr unsigned kAutoSaveStepMs = 1000;
// How long a pass waits for a prepared frame's sample before it asks the next
// frame: a slow frame still gets its column, a silent one does not hold the pass.
constexpr unsigned kAutoSaveSampleWaitMs = 5000;
constexpr int kAutoSaveSampleWaitTicks = static_cast<int>(kAutoSaveSampleWaitMs / kAutoSaveStepMs);

class AutoSavePass {
public:
    AutoSavePass() = default;
    virtual ~AutoSavePass() = default;
    AutoSavePass(const AutoSavePass&) = delete;
    AutoSavePass& operator=(const AutoSavePass&) = delete;

    // A pass over nRows rows, from the last one up; a running pass starts over
    // and asks every frame again.
    void BeginAutoSavePass(int nRows);
    // One tick of the step timer: two per frame (the request, then the
    // prepare step), then one that ends the pass.
    void AutoSaveStep();
    // Whether the frame dumps what the pass asked it last. A click or a mode
    // button since then has it dump something else.
    bool IsAutoSaveRequest(int nUsbIndexNo, std::uint8_t byRequest) const;
    // Whether the pass still reads a frame: rows left, or the last prepared
    // frame's sample still awaited after the last row. A request of anyone
    // else's now would lose that frame's column for the day.
    bool AutoSaveReadsFrames() const { return m_nAutoSaveRemain > 0 || m_FileSaveIndex > 0; }

    int m_nAutoSaveRemain = 0;    // rows still to be handled; the next is row m_nAutoSaveRemain - 1
    int m_bAutoSaveDumpSent = 0;  // 0: the next step sends the request, 1: it prepares the save
    // Above 0 while the sample of row m_FileSaveIndex - 1 is collected; also
    // the number in its table's name. The window sets it when it prepares a
    // frame and clears it once the table is written.
    int m_FileSaveIndex = 0;

protected:
    // While a report dialog is open the pass takes no step: the dialog reads
    // the sample buffers when it closes, which a pass would refill.
    virtual bool AutoSaveHeld() = 0;
    virtual int AutoSaveRowCount() = 0;
    virtual int AutoSaveUsbIndexOfRow(int nRow) = 0;
    // Asks the frame for its dump and drops the packets still waiting from
    // the frame before; returns the request byte sent.
    virtual std::uint8_t SendAutoSaveRequest(int nUsbIndexNo) = 0;
    // From now on the packets are read as the frame's of row nRow (0-based).
    virtual void ReadFrameOfRow(int nRow, int nUsbIndexNo, std::uint8_t byRequest) = 0;
    // Readies the collection of the sample of row nRow (counted from 1).
    virtual void PrepareAutoSave(int nRow) = 0;
    // The prepared frame sent no whole sample within the wait.
    virtual void AutoSaveSampleMissed() = 0;
    virtual void EndAutoSavePass() = 0;

private:
    bool WasAsked(int nUsbIndexNo) const;

    int m_nAutoSaveWaitTicks = 0;  // ticks since the prepare step while its sample is awaited
    // The frames the pass has asked, the last one last, and its request: a
    // user's request in between, or a reconnect that moves a frame to a row
    // still ahead, must not give a column of the wrong mode or a second table.
    std::vector<int> m_arrAutoSaveAsked;
    std::uint8_t m_byAutoSaveRequest = 0;
};

}  // namespace reports
