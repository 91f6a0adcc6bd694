// Archive kinds, their display names, the capability sets and the table of
// archive extensions.
#pragma once

#include <cstdint>
#include <string>

namespace bramble {

enum TArcType : uint8_t {
    atNA, atUnsupported, atFileOpenErr, atUnknown, atACE, atAceExe, atArc, atArcExe,
    atArj, atArjExe, atBh, atBhExe, atCab, atGZip, atHa, atJar, atJarExe, atLha,
    atLhaExe, atLzh, atLzhExe, atMsGZ, atPak, atPakExe, atRar, atRarExe, atTar,
    atUue, atZip, atZipExe, atZipMV, atZoo
};
constexpr int kArcTypeCount = 32;

// Padded display name of a kind (the padding is part of the text); empty for
// an ordinal outside the table.
const std::string& ArcTypeName(TArcType t);

bool IsValidArcType(TArcType t);
bool CanExtractArcType(TArcType t);
bool CanCompressArcType(TArcType t);
bool CanEncryptArcType(TArcType t);
bool CanTestArcType(TArcType t);

// Index of an extension (with its dot, any case) in the archive extension
// table, or -1.
int ArcExtIndex(const std::string& ext);
constexpr int kArcExtCount = 20;
const char* ArcExtension(int index);

}  // namespace bramble
