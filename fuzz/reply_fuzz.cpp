// Fuzz target: the reply recognisers fed arbitrary byte streams.
//
// Input: byte 0 selects the command-table row, the rest is what arrives on
// the line. The bytes are stored as the monitor thread stores them (into a
// buffer of the reply capacity, kept on the heap at exactly that size so an
// overread is a sanitizer report; the count goes on past the capacity), and
// the recogniser is asked after every byte, as the transaction may ask. Its
// answer must be the one the reply rules give: text rows complete when the
// bytes up to the first zero (or the end of the buffer) equal the reply
// image, count rows exactly when their length has arrived.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "camera/CommandTable.h"

namespace {

constexpr std::size_t kCapacity = 44;  // the port's reply buffer

void Require(bool ok) {
  if (!ok) std::abort();
}

bool Expected(const camera::CommandRow& row, const BYTE* stored, std::size_t count) {
  if (row.check == camera::ReplyCheck::kCount) return count == row.replyLength;
  const std::size_t held = std::min(count, kCapacity);
  std::size_t text = 0;
  while (text < held && stored[text] != 0) ++text;
  if (text != row.replyImageBytes) return false;
  for (std::size_t i = 0; i < text; ++i) {
    if (stored[i] != row.replyImage[i]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const camera::CommandRow& row = camera::kCommandTable[data[0] % camera::kRowCount];
  std::unique_ptr<BYTE[]> buffer(new BYTE[kCapacity]);
  std::memset(buffer.get(), 0, kCapacity);
  std::size_t count = 0;
  Require(!camera::ReplyComplete(row, buffer.get(), kCapacity, count));
  for (std::size_t i = 1; i < size; ++i) {
    if (count < kCapacity) buffer[count] = data[i];
    ++count;
    const bool complete = camera::ReplyComplete(row, buffer.get(), kCapacity, count);
    Require(complete == Expected(row, buffer.get(), count));
    // An overshooting count reply never completes.
    if (row.check == camera::ReplyCheck::kCount && count > row.replyLength) Require(!complete);
  }
  return 0;
}
