// The dump-request byte of setDump: a mode code in the low nibble, a beam-set
// (dump axis) code in the high one. The one declaration of the codes for every
// room that asks a frame for a dump. The simulator keeps its own copy on
// purpose: it checks the product and must not share its mistakes.
#pragma once

// What the frame is asked to dump; the value is also the mode code of the request byte.
enum ScopeMode : int {
    SCOPE_STOP = 0,
    SCOPE_AMBIENT_IR = 1,
    SCOPE_AMBIENT = 2,
    SCOPE_IR = 3,
    SCOPE_PERCENT = 4,
    SCOPE_MAXIMAL_IR = 5,
    SCOPE_LEFT_TILT_PERCENT = 6,
    SCOPE_LEFT_TILT_MAXIMAL = 7,
    SCOPE_RIGHT_TILT_PERCENT = 8,
    SCOPE_RIGHT_TILT_MAXIMAL = 9,
};
constexpr int kScopeModeCount = 10;

// Beam set dumped by modes 1 to 5: codes in the upper nibble, not independent bits.
enum DumpAxisMask : int {
    DUMP_AXIS_OT = 0x00,
    DUMP_AXIS_TL1 = 0x10,
    DUMP_AXIS_TR1 = 0x20,
    DUMP_AXIS_TL2 = 0x30,
    DUMP_AXIS_TR2 = 0x40,
};
// The codes step by this much, OT first: the n-th beam set's code is n times it.
constexpr int kDumpAxisStep = DUMP_AXIS_TL1;
