// Paces the charts' repaints to a display frame. Every packet's points go into
// the charts at once; the picture follows at most once per frame: a packet
// that comes sooner than a frame after the last repaint leaves its repaint
// pending, and the next packet after the frame, or the next display tick,
// shows it. A repaint costs the window system far more than the drawing (some
// hundred microseconds a chart under Wine), and a screen shows no more than
// its frame rate, so repainting each of 1000 packets a second buys nothing.
#pragma once

namespace scope {

class RepaintPacer {
public:
    // 25 pictures a second, the rate of film: smooth to the eye, an eighth
    // of the repaints of a 200 packets/s stream.
    static constexpr double kDefaultFrameMs = 40.0;

    explicit RepaintPacer(double dFrameMs = kDefaultFrameMs) : m_dFrameMs(dFrameMs) {}

    // A packet's points are in the charts: true when they are to be shown now.
    // A clock that went back (a replaced clock, a resumed machine) repaints.
    bool OnPacket(double dNowMs) {
        if (WithinFrame(dNowMs)) {
            m_bPending = true;
            return false;
        }
        Shown(dNowMs);
        return true;
    }

    // A display tick (a few a second): true when a held-back packet waited a
    // whole frame, so that the last packet of a stream never stays unseen.
    // While packets stream they bring the repaints themselves.
    bool OnTick(double dNowMs) {
        if (!m_bPending || WithinFrame(dNowMs)) return false;
        Shown(dNowMs);
        return true;
    }

    bool Pending() const { return m_bPending; }

private:
    bool WithinFrame(double dNowMs) const { return m_bShown && dNowMs >= m_dLastMs && dNowMs - m_dLastMs < m_dFrameMs; }
    void Shown(double dNowMs) {
        m_bShown = true;
        m_bPending = false;
        m_dLastMs = dNowMs;
    }

    double m_dFrameMs;
    double m_dLastMs = 0.0;
    bool m_bShown = false;
    bool m_bPending = false;
};

}  // namespace scope
