// The frame check's measurement, step by step: each beam set of the plan
// requested in turn (IR with its dump-axis code), the settle wait, then N
// packets, all under one time limit and in one set of error words. Portable
// and clock-free: the console tool and the window program send the requests,
// hand over the packets of the frame asked and tick it with their own clocks,
// so both measure alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check/Diagnosis.h"

namespace check {

struct CollectSettings {
    unsigned nPackets = 8;       // --packets
    unsigned nSettleMs = 100;    // --settle: packets after the request that are not kept
    unsigned nTimeoutMs = 5000;  // --timeout: no packet for this long ends the collection
};

// The packets of one request. Times are milliseconds of the caller's steady
// clock. The time limit runs from the request and from every packet after it
// (settling ones included); a packet that comes at or after the settle time
// is kept.
class PacketCollector {
public:
    // nPacketBytes: the header and the receivers of the counts in force.
    PacketCollector(std::size_t nPacketBytes, const CollectSettings& settings);

    // The request went out at nowMs: the settle wait begins.
    void Start(double nowMs);
    // A packet of the frame asked (nPacketBytes readable), delivered at
    // nowMs. Ignored before Start and once ended.
    void AddPacket(const std::uint8_t* pPacket, double nowMs);
    // The clock moved on: the settle wait ends, the time limit strikes.
    void Tick(double nowMs);
    // Ends the collection with the reason, unless it has ended.
    void Fail(const std::string& reason);
    // The frame left: "the frame left during its check".
    void Left();

    bool Started() const { return state_ != State::Idle; }
    bool Settling() const { return state_ == State::Settling; }
    bool Complete() const { return state_ == State::Complete; }
    bool Ended() const { return state_ == State::Complete || state_ == State::Failed; }
    // Why it failed: "no packet within 5 s", "the frame stopped sending
    // after 3 of 8 packets", or the reason given.
    const std::string& error() const { return error_; }
    // When Tick must come at the latest for the next step: the end of the
    // settle wait, or the time limit.
    double DeadlineMs() const;
    // The kept packets, header included.
    const std::vector<std::vector<std::uint8_t>>& Packets() const { return packets_; }
    std::vector<std::vector<std::uint8_t>> TakePackets() { return std::move(packets_); }

private:
    enum class State { Idle, Settling, Collecting, Complete, Failed };
    std::size_t nPacketBytes_;
    CollectSettings settings_;
    State state_ = State::Idle;
    double requestedAt_ = 0.0;
    double lastPacketAt_ = 0.0;
    std::uint64_t nSeen_ = 0;  // every packet since the request, kept or not
    std::vector<std::vector<std::uint8_t>> packets_;
    std::string error_;
};

// A frame's check: the plan's sets in request order, one collector each.
// Callers loop: send Request(), Collector().Start(now), feed the collector
// until it has ended, Next(); until Ended().
class FrameMeasurement {
public:
    // nPacketBytes: the header and the receivers of the counts in force,
    // which the geometry's cell counts are.
    FrameMeasurement(const FrameGeometry& geometry, const DiagnosisSettings& diagnosis, std::size_t nPacketBytes,
                     const CollectSettings& settings);

    const BeamSetPlan& Plan() const { return plan_; }
    // Every set measured, one failed, or a plan that cannot be followed.
    bool Ended() const { return !error_.empty() || nextSet_ >= Sets().size(); }
    // The set in turn (before Ended) and its place: 1 of Plan().requested.size().
    BeamSet Set() const { return Sets()[nextSet_]; }
    std::size_t SetNumber() const { return nextSet_ + 1; }
    std::size_t SetCount() const { return Sets().size(); }
    // The set in turn's request byte: IR (Maximal) with its dump-axis code.
    std::uint8_t Request() const;
    PacketCollector& Collector() { return collector_; }
    // After the collector ended: its packets become the set's measurement
    // (receiver bytes only), or its error the check's, prefixed with the
    // set's name ("TL1: no packet within 5 s"); the next set is in turn.
    void Next();

    const std::vector<SetMeasurement>& Measured() const { return measured_; }
    // The measurement error; empty while every set so far was measured.
    const std::string& error() const { return error_; }
    // The diagnosis of what was measured, with the measurement's error.
    FrameVerdict Verdict(const std::string& name, int nUsbIndexNo) const;

private:
    const std::vector<BeamSet>& Sets() const;

    FrameGeometry geometry_;
    DiagnosisSettings diagnosis_;
    BeamSetPlan plan_;
    std::size_t nPacketBytes_;
    CollectSettings settings_;
    std::size_t nextSet_ = 0;
    PacketCollector collector_;
    std::vector<SetMeasurement> measured_;
    std::string error_;
};

}  // namespace check
