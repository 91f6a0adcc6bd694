#include "engine/core/crc.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/core/streams.h"

namespace bramble {
namespace {

uint32_t BitwiseCrc32(const uint8_t* p, size_t n, uint32_t crc) {
    while (n--) {
        crc ^= *p++;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return crc;
}

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

TEST(Crc, TablesFollowTheReflectedPolynomials) {
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c32 = n;
        uint16_t c16 = static_cast<uint16_t>(n);
        for (int k = 0; k < 8; ++k) {
            c32 = (c32 & 1) ? (c32 >> 1) ^ 0xEDB88320u : c32 >> 1;
            c16 = static_cast<uint16_t>((c16 & 1) ? (c16 >> 1) ^ 0xA001 : c16 >> 1);
        }
        ASSERT_EQ(Crc32Table[n], c32) << n;
        ASSERT_EQ(Crc16Table[n], c16) << n;
    }
}

TEST(Crc, MatchesKnownCheckValues) {
    const char* text = "123456789";
    uint32_t crc32 = 0xFFFFFFFFu;
    Crc32Block(text, 9, crc32);
    EXPECT_EQ(~crc32, 0xCBF43926u);  // CRC-32 (ZIP, gzip)

    uint16_t crc16 = 0;
    Crc16Block(text, 9, crc16);
    EXPECT_EQ(crc16, 0xBB3D);  // CRC-16/ARC (ARC, LHA, ZOO)

    uint32_t stepped = 0xFFFFFFFFu;
    for (int i = 0; i < 9; ++i) stepped = Crc32Step(stepped, static_cast<uint8_t>(text[i]));
    EXPECT_EQ(~stepped, 0xCBF43926u);

    // Nothing to fold leaves the register alone.
    uint32_t untouched32 = 0x12345678u;
    uint16_t untouched16 = 0x1234;
    Crc32Block(text, 0, untouched32);
    Crc16Block(text, 0, untouched16);
    EXPECT_EQ(untouched32, 0x12345678u);
    EXPECT_EQ(untouched16, 0x1234);
}

// Every path up to the fastest this processor has, chosen by the dispatcher.
std::vector<TCrc32Path> PathsHere() {
    std::vector<TCrc32Path> paths;
    for (TCrc32Path p : {TCrc32Path::Table, TCrc32Path::Clmul, TCrc32Path::WideClmul})
        if (p <= Crc32FastestPath()) paths.push_back(p);
    return paths;
}

TEST(Crc, BlockAgreesWithBitwiseOverAnySizeAlignmentAndSplit) {
    const std::vector<uint8_t> data = RandomBytes(4096, 7);
    for (TCrc32Path path : PathsHere()) {
        Crc32LimitPath(path);
        std::mt19937 rng(11);
        for (int round = 0; round < 2000; ++round) {
            const size_t offset = rng() % 16;
            const size_t size = rng() % (round < 1000 ? 40 : 4000);
            const uint32_t start = rng();
            uint32_t fast = start;
            Crc32Block(data.data() + offset, size, fast);
            ASSERT_EQ(fast, BitwiseCrc32(data.data() + offset, size, start))
                << "offset " << offset << " size " << size << " path " << int(path);

            // Folding in two pieces gives the same register as one block.
            const size_t cut = size ? rng() % size : 0;
            uint32_t split = start;
            Crc32Block(data.data() + offset, cut, split);
            Crc32Block(data.data() + offset + cut, size - cut, split);
            ASSERT_EQ(split, fast);
        }
    }
    Crc32LimitPath(TCrc32Path::WideClmul);
}

// Each folding path gives the table's register for every length up to a
// kilobyte and a half (past each path's minimum and several of its strides),
// from every start within a 32-byte window.
TEST(Crc, FoldingPathsEqualTablePathOverEveryLengthAndStart) {
    const std::vector<uint8_t> data = RandomBytes(1536 + 32, 3);
    for (TCrc32Path path : PathsHere()) {
        Crc32LimitPath(path);
        std::mt19937 rng(5);
        for (size_t offset = 0; offset < 32; ++offset) {
            for (size_t size = 0; size <= 1536; ++size) {
                const uint32_t start = rng();
                uint32_t table = start;
                Crc32BlockTable(data.data() + offset, size, table);
                uint32_t chosen = start;
                Crc32Block(data.data() + offset, size, chosen);
                ASSERT_EQ(chosen, table) << "offset " << offset << " size " << size << " path " << int(path);
            }
        }
    }
    Crc32LimitPath(TCrc32Path::WideClmul);
    uint32_t table = 0xFFFFFFFFu;
    Crc32BlockTable(data.data() + 1, 1000, table);
    EXPECT_EQ(table, BitwiseCrc32(data.data() + 1, 1000, 0xFFFFFFFFu));
    if (Crc32FastestPath() != TCrc32Path::WideClmul)
        GTEST_SKIP() << "this processor lacks the wider carry-less multiply: only " << PathsHere().size()
                     << " of the three paths ran";
}

TEST(Crc, StreamCrcCoversWholeStreamFromStartAndRewinds) {
    for (size_t size : {size_t(0), size_t(1), size_t(99999), size_t(100000), size_t(250001)}) {
        const std::vector<uint8_t> data = RandomBytes(size, static_cast<unsigned>(size));
        TMemoryStream stream;
        stream.Write(data.data(), static_cast<int64_t>(data.size()));
        stream.Seek(static_cast<int64_t>(size / 2));  // wherever the caller left it

        uint32_t expected = 0xFFFFFFFFu;
        Crc32Block(data.data(), data.size(), expected);
        EXPECT_EQ(StreamCrc32(stream), expected) << size;  // no final inversion
        EXPECT_EQ(stream.Position(), 0) << size;
    }
}

}  // namespace
}  // namespace bramble
