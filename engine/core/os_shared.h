// State both halves of the OS layer keep the same way (not for the rest of
// the engine: it talks to os.h only).
#pragma once

#include <optional>

#include "engine/core/os.h"

namespace bramble::os::detail {

// The drive answers a test installed, if any.
std::optional<DriveProvider>& Provider();
// The application's hooks, never with an empty member.
AppHooks& Hooks();

}  // namespace bramble::os::detail
