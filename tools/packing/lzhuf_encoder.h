// LZHUF encoder for the packaging side: output that the stub's decoder expands exactly.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A raw LZHUF image: the 4-byte little-endian size, then the bit stream (last byte padded with
// zero bits).
std::vector<uint8_t> LzhufEncode(const uint8_t* data, size_t size);
