// LZHUF encoder for the packaging side: output that the stub's decoder expands exactly. The
// parse is chosen by cost (the adaptive tree's current counts and the position code), not
// greedily, so the output is smaller than the classic encoder's.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A raw LZHUF image: the 4-byte little-endian size, then the bit stream (last byte padded with
// zero bits). Throws std::length_error for inputs near 2^31 bytes or more (the decoder's limit).
std::vector<uint8_t> LzhufEncode(const uint8_t* data, size_t size);

// The same, for a stream that the block reader will expand. The reader stops fetching blocks
// once fewer than 8 expanded bytes remain, so the encoding of the last bytes is chosen such
// that every block is fetched while 8 or more bytes are still to come, and the decoder's
// read-ahead past the last byte never asks for another block while that many remain (so the
// stream expands the same whatever follows it in the file, even nothing). False when no such
// encoding exists: always for 1 to 7 bytes; sometimes when the last bytes are all literals
// (incompressible data), which leave no other encoding; for inputs too large for LzhufEncode.
bool LzhufEncodeForStream(const uint8_t* data, size_t size, std::vector<uint8_t>* image);

