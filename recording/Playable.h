// Whether a replay can play a recording: the program asks before it hands the
// file to the substitute library, which would otherwise play its built-in
// frames instead and say so only on stderr.
#pragma once

#include <string>

#include "recording/Reader.h"

namespace recording {

// Empty when the recording can be played; otherwise why not, in the reader's
// words: no header (not a recording, another version, damaged or cut in it),
// a frame record that claims more receivers than its packets hold, a
// usbindexNo no request can address, or no packet before its end or fault.
// Reads up to the first block that holds a packet.
std::string ReplayRefusal(ByteSource& source);

// Empty when the header's getDeviceInfoST and getSysInfo records (those the
// frame answered) claim no more receivers than every packet holds; otherwise
// what they claim. A reader of the replayed frame takes its counts from them.
std::string CountsBeyondPackets(const Header& header);

}  // namespace recording
