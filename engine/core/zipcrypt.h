// The traditional ZIP stream cipher (ZIP, JAR and BH entries): three 32-bit
// keys advanced by each plain byte, and the 12-byte header in front of every
// encrypted entry's data.
//
// The keys are one engine-wide set: only one encrypting or decrypting run
// may be active at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bramble {

void ZipInitKeys(const std::string& Password);
void ZipUpdateKeys(uint8_t PlainByte);
// The next key-stream byte; does not advance the keys.
uint8_t ZipDecryptByte();
// Decrypts one byte and advances the keys with the plain byte.
uint8_t ZipDecrypt(uint8_t Cipher);
// Encrypts one byte and advances the keys with the plain byte.
uint8_t ZipEncryptByte(uint8_t Plain);
void ZipDecryptBuffer(uint8_t* Buf, size_t Count);
void ZipEncryptBuffer(uint8_t* Buf, size_t Count);

// Initialises the keys with Password and writes the encrypted header: ten
// random bytes, then bits 16-23 and 24-31 of CheckValue. Afterwards the keys
// are positioned to encrypt the entry's data. CheckValue is what the reader
// will check: the entry's CRC-32, or the DOS time in the upper 16 bits when
// the entry has a data descriptor (flag bit 3).
void ZipMakeCryptHeader(const std::string& Password, uint32_t CheckValue, uint8_t Header[12]);

// Initialises the keys with Password and decrypts the header. True when its
// last byte equals the high byte of the DOS time (FileTime holds the packed
// date-time, time in the low 16 bits) with flag bit 3 set, else the high byte
// of CRC. After True the keys are positioned to decrypt the entry's data.
// A wrong password passes about once in 256 tries.
bool ZipCheckCryptHeader(const uint8_t Header[12], const std::string& Password, uint16_t Flags,
                         uint32_t CRC, uint32_t FileTime);

}  // namespace bramble
