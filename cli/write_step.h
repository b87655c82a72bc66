// The steps around one write that write, restore and undo share: the check
// read before it, and the journalled Write transaction with its result line
// or its one line of trouble. Main thread only.
#pragma once

#include <optional>

#include "backup/journal.h"
#include "cli/link.h"

namespace cli {

using backup::Cell;
using backup::Journal;
using backup::JournalRecord;

// How one journalled write ended.
enum class Written { kDone, kDiffers, kFailed, kJournalFailed };

// The exit status of a command that ends with written.
int StatusOf(Written written);

// The code the cell holds; nothing, after the line of trouble with "; it
// was not written", when the camera did not answer.
std::optional<int> ReadBeforeWriting(CameraLink& link, Cell cell);

// One Write transaction of record's new code to its cell, journalled before
// its frame goes out and again with its outcome (record: what writes, the
// cell, its old and new code); then its result line "0:F7 34 -> 5A" (and a
// message for a read-back that differs) or its line of trouble.
Written JournalledWrite(CameraLink& link, Journal& journal, JournalRecord record);

}  // namespace cli
