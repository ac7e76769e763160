// The one place printer bytes leave the filter: OutputState::Sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "dotmatrix/dotmatrix.h"

namespace zova {

void PutByte(OutputState& out, uint8_t byte);
void PutBytes(OutputState& out, std::initializer_list<uint8_t> bytes);
void PutBlock(OutputState& out, const uint8_t* data, size_t len);
void FlushSink(OutputState& out);

}  // namespace zova
