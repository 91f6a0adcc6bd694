#include "engine/core/zipcrypt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/core/crc.h"

namespace bramble {
namespace {

// The local entry of an archive made with `zip -0 -P secret -X k.zip
// hello.txt` (Info-ZIP 3.0), hello.txt holding "Bramble known answer\n"
// stamped 2021-06-15 13:45:30. Info-ZIP sets flag bit 3 (data descriptor) on
// encrypted entries, so the header's check byte is the high byte of the DOS
// time, not of the CRC.
constexpr uint16_t kPeerFlags = 0x0009;
constexpr uint32_t kPeerCrc = 0x0F166D2E;
constexpr uint32_t kPeerDosDateTime = 0x52CF6DAF;  // date << 16 | time
const uint8_t kPeerEntry[33] = {
    0x3A, 0x19, 0x1E, 0x11, 0xDD, 0xFA, 0x4D, 0xE2, 0xA0, 0x63, 0xB0,  //
    0x8A, 0x0F, 0x30, 0xC0, 0x77, 0xCF, 0x0E, 0x73, 0x44, 0xBD, 0x90,  //
    0x4C, 0x63, 0x97, 0xE6, 0xE3, 0xAE, 0xF9, 0x05, 0xCB, 0x77, 0x94,
};
const char kPeerPlain[] = "Bramble known answer\n";

TEST(ZipCrypt, AcceptsPeerHeaderAndDecryptsItsData) {
    EXPECT_FALSE(ZipCheckCryptHeader(kPeerEntry, "wrong", kPeerFlags, kPeerCrc, kPeerDosDateTime));
    EXPECT_FALSE(ZipCheckCryptHeader(kPeerEntry, "Secret", kPeerFlags, kPeerCrc, kPeerDosDateTime));
    ASSERT_TRUE(ZipCheckCryptHeader(kPeerEntry, "secret", kPeerFlags, kPeerCrc, kPeerDosDateTime));

    // The keys now stand at the first data byte.
    std::vector<uint8_t> data(kPeerEntry + 12, kPeerEntry + sizeof kPeerEntry);
    ZipDecryptBuffer(data.data(), data.size());
    EXPECT_EQ(std::string(data.begin(), data.end()), kPeerPlain);

    uint32_t crc = 0xFFFFFFFFu;
    Crc32Block(data.data(), data.size(), crc);
    EXPECT_EQ(~crc, kPeerCrc);

    // Without bit 3 the same header is checked against the CRC's high byte
    // (0x0F), which it does not hold.
    EXPECT_FALSE(ZipCheckCryptHeader(kPeerEntry, "secret", 0x0001, kPeerCrc, kPeerDosDateTime));
    EXPECT_TRUE(ZipCheckCryptHeader(kPeerEntry, "secret", 0x0001, 0x6D000000, 0));
}

TEST(ZipCrypt, EmptyPasswordStartsFromTheConstantKeys) {
    // Key stream of the three initial constants, computed independently
    // with zlib's CRC-32.
    const uint8_t expected[] = {0xE9, 0x0D, 0xC3, 0x4D, 0xA5, 0x6E, 0xB2};
    uint8_t buf[] = {'B', 'r', 'a', 'm', 'b', 'l', 'e'};
    ZipInitKeys("");
    ZipEncryptBuffer(buf, sizeof buf);
    EXPECT_EQ(0, std::memcmp(buf, expected, sizeof buf));

    // Initialising again forgets everything that came before.
    ZipInitKeys("something else");
    ZipInitKeys("");
    EXPECT_EQ(ZipEncryptByte('B'), 0xE9);
}

TEST(ZipCrypt, EncryptThenDecryptRoundTrips) {
    std::mt19937 rng(3);
    for (const std::string password : {"", "p", "a longer pass phrase \xE9\xFC"}) {
        std::vector<uint8_t> plain(1000);
        for (auto& b : plain) b = static_cast<uint8_t>(rng());

        std::vector<uint8_t> cipher = plain;
        ZipInitKeys(password);
        ZipEncryptBuffer(cipher.data(), 400);
        for (size_t i = 400; i < cipher.size(); ++i) cipher[i] = ZipEncryptByte(cipher[i]);
        EXPECT_NE(cipher, plain);

        std::vector<uint8_t> back = cipher;
        ZipInitKeys(password);
        for (size_t i = 0; i < 10; ++i) back[i] = ZipDecrypt(back[i]);
        ZipDecryptBuffer(back.data() + 10, back.size() - 10);
        EXPECT_EQ(back, plain) << password;

        // ZipDecryptByte only peeks at the key stream.
        ZipInitKeys(password);
        const uint8_t peek = ZipDecryptByte();
        EXPECT_EQ(ZipDecryptByte(), peek);
        EXPECT_EQ(ZipDecrypt(cipher[0]), plain[0]);
    }
}

TEST(ZipCrypt, HeaderCarriesCheckValueAndPositionsKeysForData) {
    const uint32_t crc = 0xA1B2C3D4u;
    const std::string data = "entry data after the header";
    uint8_t header[12];
    ZipMakeCryptHeader("pw", crc, header);
    std::vector<uint8_t> cipher(data.begin(), data.end());
    ZipEncryptBuffer(cipher.data(), cipher.size());

    // Decrypted by hand: the last two bytes are bits 16-23 and 24-31.
    ZipInitKeys("pw");
    uint8_t plain[12];
    for (int i = 0; i < 12; ++i) plain[i] = ZipDecrypt(header[i]);
    EXPECT_EQ(plain[10], 0xB2);
    EXPECT_EQ(plain[11], 0xA1);

    ASSERT_TRUE(ZipCheckCryptHeader(header, "pw", 0, crc, 0));
    ZipDecryptBuffer(cipher.data(), cipher.size());
    EXPECT_EQ(std::string(cipher.begin(), cipher.end()), data);

    // Another entry with the same password and CRC gets other random bytes.
    uint8_t again[12];
    ZipMakeCryptHeader("pw", crc, again);
    EXPECT_NE(0, std::memcmp(header, again, 10));
}

TEST(ZipCrypt, FlagBit3ChecksTheFileTimeInsteadOfTheCrc) {
    const uint32_t dosDateTime = 0x52CF6DAF;
    const uint32_t crc = 0x11223344u;  // high byte differs from the time's
    uint8_t header[12];
    // The writer of a data-descriptor entry hands in the DOS time in the
    // upper half.
    ZipMakeCryptHeader("pw", (dosDateTime & 0xFFFF) << 16, header);
    EXPECT_TRUE(ZipCheckCryptHeader(header, "pw", 0x0008, crc, dosDateTime));
    EXPECT_FALSE(ZipCheckCryptHeader(header, "pw", 0x0000, crc, dosDateTime));
    // Only the time's high byte counts: another date or time low byte passes.
    EXPECT_TRUE(ZipCheckCryptHeader(header, "pw", 0x0008, 0, 0x00006D00));
}

TEST(ZipCrypt, WrongPasswordsAreAlmostAlwaysRejected) {
    std::mt19937 rng(5);
    int falsePasses = 0;
    const int tries = 2000;
    for (int i = 0; i < tries; ++i) {
        const uint32_t crc = rng();
        uint8_t header[12];
        ZipMakeCryptHeader("right", crc, header);
        ASSERT_TRUE(ZipCheckCryptHeader(header, "right", 0, crc, 0));
        if (ZipCheckCryptHeader(header, "wrong" + std::to_string(i), 0, crc, 0)) ++falsePasses;
    }
    // One pass in 256 is expected (about 8 here).
    EXPECT_LT(falsePasses, 30);
}

}  // namespace
}  // namespace bramble
