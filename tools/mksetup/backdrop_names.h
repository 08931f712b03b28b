// The backdrop picture entries as the packaging tool handles them: the stub's own list.
#pragma once
#include <array>
#include <string>

#include "backdrop/backdrop_layout.h"

inline const std::array<std::string, BACKDROP_PIECE_COUNT> kBackdropNames = [] {
  std::array<std::string, BACKDROP_PIECE_COUNT> names;
  for (int32_t i = 0; i < BACKDROP_PIECE_COUNT; i++) names[static_cast<size_t>(i)] = BackdropPieceNames[i];
  return names;
}();
