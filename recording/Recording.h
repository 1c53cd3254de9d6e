// The recording format (.lgrec): what a frame sent, and what it was asked,
// saved so that the substitute library can play it back. The byte layout is
// in docs/recording-format.md. Portable: the program, the console tool and the
// substitute library share it, and the native tier tests and fuzzes it.
//
// Writing: a RecordWriter (RecordWriter.h) takes records from any thread into
// its queue and has its own thread encode, compress and write them (Encoder).
// Reading: a Reader gives the header and then one block of records at a time.
#pragma once

#include "recording/Encoder.h"
#include "recording/Layout.h"
#include "recording/Reader.h"
#include "recording/RecordQueue.h"
