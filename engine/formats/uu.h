// What UU- and XX-encoded text shares between the decoder and the encoder:
// the two alphabets and the names of the part files of a split set.
#pragma once

#include <cstdint>
#include <string>

namespace bramble {

// How the name of the next part file is made from the first one.
enum TNextVolumeName : uint8_t { nvChangeFilename, nvChangeExt };

// The name of part Number of the set whose first file is Name:
// nvChangeExt keeps the extension's first (3 - digits) characters and
// appends the number (data.uue, 2 -> data.uu2; 15 -> data.u15; without an
// extension the number is appended to the name); nvChangeFilename cuts the
// base name (by the number's digits, or to 8 - digits with LongNames) and
// puts the number before the extension.
std::string UuNextVolumeName(const std::string& Name, int Number, TNextVolumeName Mode, bool LongNames);

// The two alphabets: character i encodes the 6-bit value i.
extern const char kUuAlphabet[65];
extern const char kXxAlphabet[65];

}  // namespace bramble
