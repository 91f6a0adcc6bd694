// The current entry: what the lister reports for each archive entry (and
// the writers for each entry they wrote). Handlers of OnRead read it from
// the component.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/types.h"

namespace bramble {

struct TEntryInfo {
    bool Encrypted = false;
    int64_t PackedSize = 0;
    int64_t UnpackedSize = 0;
    uint8_t Ratio = 0;
    uint32_t CRC = 0;  // CRC-16 formats in the low 16 bits
    std::string MethodName;
    uint16_t MethodCode = 0;
    TDateTime DateTime = 0;
    uint16_t VersionMadeBy = 0;
    uint16_t VersionNeeded = 0;
    uint16_t Attr = 0;          // ZIP internal attributes, else the DOS attributes
    uint32_t ExternalAttr = 0;  // ZIP external attributes (low 16 bits), else the DOS attributes
    std::string FileName;       // stored path, ANSI, '\' separators

    void Clear() { *this = TEntryInfo(); }
};

}  // namespace bramble
