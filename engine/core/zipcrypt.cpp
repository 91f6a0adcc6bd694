#include "engine/core/zipcrypt.h"

#include "engine/core/crc.h"
#include "engine/core/os.h"

namespace bramble {

namespace {

uint32_t g_Key0 = 0x12345678;
uint32_t g_Key1 = 0x23456789;
uint32_t g_Key2 = 0x34567890;

}  // namespace

void ZipInitKeys(const std::string& Password) {
    g_Key0 = 0x12345678;
    g_Key1 = 0x23456789;
    g_Key2 = 0x34567890;
    for (char c : Password) ZipUpdateKeys(static_cast<uint8_t>(c));
}

void ZipUpdateKeys(uint8_t PlainByte) {
    g_Key0 = Crc32Step(g_Key0, PlainByte);
    g_Key1 = (g_Key1 + (g_Key0 & 0xFF)) * 134775813u + 1;
    g_Key2 = Crc32Step(g_Key2, static_cast<uint8_t>(g_Key1 >> 24));
}

uint8_t ZipDecryptByte() {
    // Only the low 16 bits of key2 take part; the product fits in 32 bits.
    const uint32_t t = (g_Key2 & 0xFFFF) | 2;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

uint8_t ZipDecrypt(uint8_t Cipher) {
    const uint8_t plain = Cipher ^ ZipDecryptByte();
    ZipUpdateKeys(plain);
    return plain;
}

uint8_t ZipEncryptByte(uint8_t Plain) {
    const uint8_t cipher = Plain ^ ZipDecryptByte();
    ZipUpdateKeys(Plain);
    return cipher;
}

void ZipDecryptBuffer(uint8_t* Buf, size_t Count) {
    for (size_t i = 0; i < Count; ++i) Buf[i] = ZipDecrypt(Buf[i]);
}

void ZipEncryptBuffer(uint8_t* Buf, size_t Count) {
    for (size_t i = 0; i < Count; ++i) Buf[i] = ZipEncryptByte(Buf[i]);
}

void ZipMakeCryptHeader(const std::string& Password, uint32_t CheckValue, uint8_t Header[12]) {
    ZipInitKeys(Password);
    // The header's random bytes are what keeps two entries encrypted with the
    // same password from sharing a key stream, so they come from the
    // system's cryptographic source rather than a clock-seeded generator.
    os::RandomBytes(Header, 10);
    Header[10] = static_cast<uint8_t>(CheckValue >> 16);
    Header[11] = static_cast<uint8_t>(CheckValue >> 24);
    ZipEncryptBuffer(Header, 12);
}

bool ZipCheckCryptHeader(const uint8_t Header[12], const std::string& Password, uint16_t Flags,
                         uint32_t CRC, uint32_t FileTime) {
    ZipInitKeys(Password);
    uint8_t last = 0;
    for (int i = 0; i < 12; ++i) last = ZipDecrypt(Header[i]);
    const uint8_t expected = (Flags & 0x0008) != 0 ? static_cast<uint8_t>(FileTime >> 8)
                                                   : static_cast<uint8_t>(CRC >> 24);
    return last == expected;
}

}  // namespace bramble
