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

// Picks the carry-less multiply path when the processor has it, otherwise
// the table path; both give the same register.
void Crc32Block(const void* Buffer, size_t Count, uint32_t& Register);

// The table path on its own (slicing-by-8), whatever the processor has.
void Crc32BlockTable(const void* Buffer, size_t Count, uint32_t& Register);

// Whether this processor has the instructions of the fast path; with Force
// set, Crc32Block takes the table path even where it does (for tests that
// cover both paths on one machine). Not meant to change while other threads
// run a CRC.
bool Crc32HasCarrylessMultiply();
void Crc32ForceTable(bool Force);
void Crc16Block(const void* Buffer, size_t Count, uint16_t& Register);

// CRC-32 register over the whole stream, started at 0xFFFFFFFF and not
// inverted at the end. Reads from position 0 and leaves the stream there.
uint32_t StreamCrc32(TStream& Stream);

}  // namespace bramble
