// Low-level writes to the printer sink, shared by the output routines.
#include "dotmatrix/output_sink.h"

namespace zova {

void PutByte(OutputState& out, uint8_t byte) { putc_unlocked(byte, out.Sink); }

void PutBytes(OutputState& out, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) putc_unlocked(b, out.Sink);
}

void PutBlock(OutputState& out, const uint8_t* data, size_t len) {
  if (len > 0) fwrite(data, 1, len, out.Sink);
}

void FlushSink(OutputState& out) { fflush(out.Sink); }

}  // namespace zova
