// State both halves of the OS layer keep the same way (not for the rest of
// the engine: it talks to os.h only).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/os.h"

namespace bramble::os::detail {

// The drive answers a test installed, if any.
std::optional<DriveProvider>& Provider();
// The application's hooks, never with an empty member.
AppHooks& Hooks();

// The code points of a UTF-8 text; every byte that is no part of a valid
// sequence (stray, cut short, overlong, a surrogate, beyond U+10FFFF)
// gives U+FFFD, which no ANSI code page can show.
std::vector<uint32_t> DecodeUtf8(const std::string& text);
constexpr uint32_t kNoCharacter = 0xFFFD;

}  // namespace bramble::os::detail
