#include "check/FrameMeasurement.h"

#include <algorithm>
#include <utility>

#include "link/QuorvaneTypes.h"

namespace check {

PacketCollector::PacketCollector(std::size_t nPacketBytes, const CollectSettings& settings)
    : nPacketBytes_(nPacketBytes), settings_(settings) {}

void PacketCollector::Start(double nowMs) {
    state_ = State::Settling;
    requestedAt_ = nowMs;
    lastPacketAt_ = nowMs;
    nSeen_ = 0;
    packets_.clear();
    packets_.reserve(settings_.nPackets);
    error_.clear();
    Tick(nowMs);  // a settle time of 0 collects from the first packet
}

void PacketCollector::AddPacket(const std::uint8_t* pPacket, double nowMs) {
    if (state_ == State::Idle || Ended() || pPacket == nullptr) return;
    ++nSeen_;
    lastPacketAt_ = nowMs;
    if (state_ == State::Settling && nowMs - requestedAt_ >= settings_.nSettleMs) state_ = State::Collecting;
    if (state_ != State::Collecting) return;
    // The buffer is the library's until the caller returns: its bytes are copied.
    packets_.emplace_back(pPacket, pPacket + nPacketBytes_);
    if (packets_.size() >= settings_.nPackets) state_ = State::Complete;
}

void PacketCollector::Tick(double nowMs) {
    if (state_ == State::Settling && nowMs - requestedAt_ >= settings_.nSettleMs) {
        state_ = State::Collecting;
        if (packets_.size() >= settings_.nPackets) {
            state_ = State::Complete;
            return;
        }
    }
    if (state_ != State::Collecting || nowMs - lastPacketAt_ < settings_.nTimeoutMs) return;
    Fail(nSeen_ == 0 ? "no packet within " + std::to_string(settings_.nTimeoutMs / 1000) + " s"
                     : "the frame stopped sending after " + std::to_string(packets_.size()) + " of " +
                           std::to_string(settings_.nPackets) + " packets");
}

void PacketCollector::Fail(const std::string& reason) {
    if (Ended()) return;
    state_ = State::Failed;
    error_ = reason;
}

void PacketCollector::Left() { Fail("the frame left during its check"); }

double PacketCollector::DeadlineMs() const {
    return state_ == State::Settling ? requestedAt_ + settings_.nSettleMs : lastPacketAt_ + settings_.nTimeoutMs;
}

FrameMeasurement::FrameMeasurement(const FrameGeometry& geometry, const DiagnosisSettings& diagnosis,
                                   std::size_t nPacketBytes, const CollectSettings& settings)
    : geometry_(geometry),
      diagnosis_(diagnosis),
      plan_(PlanBeamSets(geometry, diagnosis.nChosenSets)),
      nPacketBytes_(nPacketBytes),
      settings_(settings),
      collector_(nPacketBytes, settings) {}

const std::vector<BeamSet>& FrameMeasurement::Sets() const {
    static const std::vector<BeamSet> kNone;
    // A plan that cannot be followed requests nothing; the diagnosis names why.
    return plan_.error.empty() ? plan_.requested : kNone;
}

std::uint8_t FrameMeasurement::Request() const {
    return static_cast<std::uint8_t>(DumpAxisCode(Set()) | SCOPE_MAXIMAL_IR);
}

void FrameMeasurement::Next() {
    if (Ended()) return;
    if (!collector_.Complete()) {
        error_ = std::string(BeamSetName(Set())) + ": " +
                 (collector_.error().empty() ? std::string("not measured") : collector_.error());
        collector_ = PacketCollector(nPacketBytes_, settings_);
        return;
    }
    SetMeasurement m;
    m.set = Set();
    for (const std::vector<std::uint8_t>& packet : collector_.Packets()) {
        const std::size_t nHeader = std::min(packet.size(), quorvane::kDumpHeaderBytes);
        m.packets.emplace_back(packet.begin() + static_cast<std::ptrdiff_t>(nHeader), packet.end());
    }
    measured_.push_back(std::move(m));
    collector_ = PacketCollector(nPacketBytes_, settings_);
    ++nextSet_;
}

FrameVerdict FrameMeasurement::Verdict(const std::string& name, int nUsbIndexNo) const {
    FrameVerdict verdict = Diagnose(name, nUsbIndexNo, geometry_, diagnosis_, measured_);
    if (!error_.empty()) verdict.error = error_;
    return verdict;
}

}  // namespace check
