#include "startup/setup_state.h"

// Zero at start, except the archive handle, which starts invalid.
SetupState setupState = {
    nullptr, nullptr, {}, {}, 0, 0, 0, FILE_HANDLE_INVALID, nullptr, 0, 0, 0, nullptr, 0, 0, 0, 0, 0, 0};
