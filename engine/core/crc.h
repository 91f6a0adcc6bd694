// The two check values of the archive formats: CRC-32 (ZIP, gzip, ARJ, ACE)
// and CRC-16 (ARC, LHA, ZOO). These only advance a running register; each
// format sets its own start value and final inversion.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/streams.h"

namespace bramble {

extern const uint32_t Crc32Table[256];  // reflected polynomial 0xEDB88320
extern const uint16_t Crc16Table[256];  // reflected polynomial 0xA001

inline uint32_t Crc32Step(uint32_t Register, uint8_t Byte) {
    return Crc32Table[(Register ^ Byte) & 0xFF] ^ (Register >> 8);
}

// Picks the fastest path the processor has; every path gives the same
// register.
void Crc32Block(const void* Buffer, size_t Count, uint32_t& Register);

// The table path on its own (slicing-by-16), whatever the processor has.
void Crc32BlockTable(const void* Buffer, size_t Count, uint32_t& Register);

// The paths, slowest first: the table, carry-less multiply on 128-bit
// registers, and on 256-bit registers.
enum class TCrc32Path { Table, Clmul, WideClmul };

// The fastest path this processor has. Crc32LimitPath keeps Crc32Block to
// paths up to Limit (for tests that cover every path on one machine, and for
// benchmarks); not meant to change while other threads run a CRC.
TCrc32Path Crc32FastestPath();
void Crc32LimitPath(TCrc32Path Limit);
void Crc16Block(const void* Buffer, size_t Count, uint16_t& Register);

// CRC-32 register over the whole stream, started at 0xFFFFFFFF and not
// inverted at the end. Reads from position 0 and leaves the stream there.
uint32_t StreamCrc32(TStream& Stream);

}  // namespace bramble
