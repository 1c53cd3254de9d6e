// Every dump packet becomes points on both charts, averages and, while a
// consumer waits, report samples, shown at most once per display frame; plus
// the controls that change how packets are shown (Filter, Capture1/2, Bar,
// the range track bar) and timer 0.
#include "app/LumagridDlg.h"
#include "app/resource.h"
#include "scope/DumpRequest.h"
#include "scope/PacketEvaluation.h"
#include "scope/ScopeControls.h"

#include <cstdio>
#include <string>

using namespace scope;

LRESULT CLumagridDlg::OnReadDump(WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    const std::uint8_t* pPacket = reinterpret_cast<const std::uint8_t*>(wParam);
    if (!m_bLibraryLoaded || m_byDumpRequest == 0 || pPacket == nullptr || m_bDiscardPackets) return 0;
    // Another frame's counts would read the packet past its end.
    if (m_nFrameUsbIndex != m_nDumpUsbIndex) return 0;
    // A pass asking other frames pauses the recording: only the recorded
    // frame's packets, read with its counts, go in.
    if (m_pRecorder && m_nDumpUsbIndex == m_nRecordUsbIndex) RecordPacket(pPacket);
    if (m_bSweepRunning) SweepPacket(pPacket);
    if (m_bCheckRunning) CheckFramePacket(pPacket);

    PrepareXChart(m_xWindow.nStart, m_xWindow.nCount);
    PrepareYChart(m_yWindow.nStart, m_yWindow.nCount);

    const PacketView packet{pPacket, m_FrameSettings.m_nXTCount, m_FrameSettings.m_nYTCount};
    const DisplayScale scale{m_dFilterNum, m_dFilterDen};
    EnsureCaptureStorage(m_adCapture1, packet.nXT, packet.nYT);
    EnsureCaptureStorage(m_adCapture2, packet.nXT, packet.nYT);
    TakePendingCapture(m_nCapture1State, m_bCapture1Pending, m_adCapture1, packet, m_xWindow, m_yWindow, scale);
    TakePendingCapture(m_nCapture2State, m_bCapture2Pending, m_adCapture2, packet, m_xWindow, m_yWindow, scale);
    const CaptureView capture1 = CaptureView::Of(m_nCapture1State, m_adCapture1);
    const CaptureView capture2 = CaptureView::Of(m_nCapture2State, m_adCapture2);

    const bool bCollect = m_nLedCheckPending == 1 || m_FileSaveIndex > 0;
    SampleTarget xSamples;
    SampleTarget ySamples;
    if (bCollect) {
        xSamples = SampleTarget{&m_arrXSamples, static_cast<std::size_t>(m_xWindow.nCount)};
        ySamples = SampleTarget{&m_arrYSamples, static_cast<std::size_t>(m_yWindow.nCount)};
    }

    AxisEvaluation x = EvaluateAxis(XAxisSource(packet, m_xWindow), scale, capture1, capture2, xSamples,
                                    chart::PointFeed{m_chartX, m_nChartStyle});
    if (x.nNewSamples > 0) {
        std::string strLines;
        char szLine[64];
        for (std::size_t k = 0; k < x.nNewSamples; ++k) {
            std::snprintf(szLine, sizeof szLine, "X%d:%f\n", m_xWindow.nStart + static_cast<int>(k),
                          static_cast<double>(m_arrXSamples[x.nFirstNewSample + k]));
            strLines += szLine;
        }
        TraceText(strLines);
    }
    m_chartX.m_dAverageLevel = ReferenceLevel(m_nScopeMode, x.dAverage);
    m_strXAverage = x.text.sz;

    AxisEvaluation y = EvaluateAxis(YAxisSource(packet, m_yWindow), scale, capture1, capture2, ySamples,
                                    chart::PointFeed{m_chartY, m_nChartStyle});
    m_chartY.m_dAverageLevel = ReferenceLevel(m_nScopeMode, y.dAverage);
    m_strYAverage = y.text.sz;

    // The points are in; the picture follows at most once per display frame.
    if (m_repaintPacer.OnPacket(m_pfnNowMs())) {
        RefreshCharts();
        SweepTick();
    }

    const bool bXFull = m_arrXSamples.size() >= static_cast<std::size_t>(m_xWindow.nCount);
    const bool bYFull = m_arrYSamples.size() >= static_cast<std::size_t>(m_yWindow.nCount);
    if (m_nLedCheckPending == 1 && bXFull && bYFull) {
        DoLedCheck();
        m_nLedCheckPending = 0;
    }
    if (m_FileSaveIndex > 0) {
        Trace("ReadDump %d => %d %d\n", m_FileSaveIndex, m_xWindow.nCount, m_yWindow.nCount);
        if (bXFull && bYFull) {
            WriteAutoSaveFile();
            m_FileSaveIndex = 0;
        }
    }
    return 0;
}

void CLumagridDlg::RefreshCharts() {
    m_chartX.Refresh(FALSE);
    m_chartY.Refresh(FALSE);
}

// Re-initialises a chart only when its window moved or changed size.
static void PrepareChart(CRealTimeChart& chart, int nStart, int nCount, int nThresholdPercent, int nRangeMax) {
    chart.m_nThresholdPercent = nThresholdPercent;
    if (chart.GetPointCount() == nCount && chart.m_nXLabelOffset == nStart) return;
    chart.m_dAverageLevel = 0.0;
    chart.m_nXLabelOffset = nStart;
    chart.SetRange(0.0, nCount, 0.0, nRangeMax);
    chart.m_nSeriesCount = 3;
    chart.SetPointCount(nCount);
    chart.SetAxisStyle(0);
    chart.SetGrid(2 * nCount, 4);
    chart.ClearValues();
}

void CLumagridDlg::PrepareXChart(int nStart, int nCount) {
    PrepareChart(m_chartX, nStart, nCount, ThresholdPercent(m_nScopeMode, m_nMinAdcOPer, m_nMinAdcTPer), m_nRangeMax);
}

void CLumagridDlg::PrepareYChart(int nStart, int nCount) {
    PrepareChart(m_chartY, nStart, nCount, ThresholdPercent(m_nScopeMode, m_nMinAdcOPer, m_nMinAdcTPer), m_nRangeMax);
}

void CLumagridDlg::OnFilter() {
    DisplayScale scale = ToggleFilter(DisplayScale{m_dFilterNum, m_dFilterDen});
    m_dFilterNum = scale.num;
    m_dFilterDen = scale.den;
}

void CLumagridDlg::OnCapture1() { ToggleCapture(m_nCapture1State, m_bCapture1Pending); }

void CLumagridDlg::OnCapture2() { ToggleCapture(m_nCapture2State, m_bCapture2Pending); }

void CLumagridDlg::OnBar() {
    m_nChartStyle = NextChartStyle(m_nChartStyle);
    m_btnBar.SetCheck(BST_UNCHECKED);
    m_btnBar.SetWindowText(BarCaption(m_nChartStyle));
}

// Only page up/down and thumb position change the range; dragging and arrow
// keys move the thumb until one of them comes.
void CLumagridDlg::OnHScroll(UINT nSBCode, UINT nPos, HWND hScrollBar) {
    (void)nPos;
    if (hScrollBar == m_sliderRange.m_hWnd &&
        (nSBCode == TB_PAGEUP || nSBCode == TB_PAGEDOWN || nSBCode == TB_THUMBPOSITION)) {
        m_nRangeMax = m_sliderRange.GetPos();
        UpdateRangeLabel();
        m_chartX.SetRange(0.0, m_xWindow.nCount, 0.0, m_nRangeMax);
        m_chartY.SetRange(0.0, m_yWindow.nCount, 0.0, m_nRangeMax);
    }
    Default();
}

void CLumagridDlg::UpdateRangeLabel() { m_staticRange.SetWindowText(RangeLabelText(m_nRangeMax).c_str()); }

void CLumagridDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == kTimerAverages) {
        if (IsPercentMode(m_nScopeMode)) {
            m_strXAverage = "0.0";
            m_strYAverage = "0.0";
        }
        m_editXAverage.SetWindowText(m_strXAverage);
        m_editYAverage.SetWindowText(m_strYAverage);
        // The last packets of a stream that stopped within a frame.
        if (m_repaintPacer.OnTick(m_pfnNowMs())) RefreshCharts();
        SweepTick();  // the seconds left, and the time limit while no packet comes
    } else if (nIDEvent == kTimerDaily) {
        DailyTriggerTick();
    } else if (nIDEvent == kTimerAutoSave) {
        AutoSaveStep();
    } else if (nIDEvent == kTimerCheckFrame) {
        CheckFrameTick();
    }
}
