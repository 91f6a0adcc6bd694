// The format modules' searches and walks on bytes in memory, where the
// copies they replaced disagreed: the end record behind a comment that
// holds its signature, the TAR checksum summed signed, the GNU long link
// name between a long name and its header, and the one Unix-to-DOS clamp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/helpers.h"
#include "engine/formats/gzip.h"
#include "engine/formats/tar.h"
#include "engine/formats/zip.h"

using namespace bramble;

namespace {

std::vector<uint8_t> EndRecord(uint16_t entries, uint32_t offset, const std::string& comment) {
    TZipEndRecord e;
    e.EntriesOnDisk = e.TotalEntries = entries;
    e.CentralOffset = offset;
    e.CommentLength = static_cast<uint16_t>(comment.size());
    const auto b = e.Bytes();
    // Sized once: GCC 12 took an insert behind the record for a copy past
    // its end (-Warray-bounds).
    std::vector<uint8_t> out(b.size() + comment.size());
    std::copy(b.begin(), b.end(), out.begin());
    std::copy(comment.begin(), comment.end(), out.begin() + static_cast<std::ptrdiff_t>(b.size()));
    return out;
}

tar::ReadAtFn Reader(const std::vector<uint8_t>& bytes) {
    return [&bytes](int64_t pos, uint8_t* out, int64_t count) -> int64_t {
        if (pos < 0 || pos >= static_cast<int64_t>(bytes.size())) return 0;
        const int64_t n = std::min<int64_t>(count, static_cast<int64_t>(bytes.size()) - pos);
        std::memcpy(out, bytes.data() + pos, static_cast<size_t>(n));
        return n;
    };
}

std::string Block(const std::string& name, char type, const std::string& data) {
    std::string h = tar::MakeHeader(name, static_cast<int64_t>(data.size()), 0);
    h[156] = type;
    // The checksum again, for the type changed.
    const std::string fixed = IntToOctal(tar::ComputeChecksum(reinterpret_cast<const uint8_t*>(h.data())), 8, true);
    h.replace(148, fixed.size(), fixed);
    std::string padded = data;
    padded.resize(static_cast<size_t>(tar::Padded(static_cast<int64_t>(data.size()))), '\0');
    return h + padded;
}

}  // namespace

TEST(ZipRecords, EndRecordSearchTakesTheRearmostWhoseCommentFitsTheFile) {
    struct Case {
        const char* what;
        std::vector<uint8_t> tail;
        long expected;  // offset in the tail, -1 for none
    };
    const auto real = EndRecord(1, 7, "");
    auto fakeInComment = EndRecord(2, 9, std::string(22 + 40, 'x'));
    // A record written inside the comment whose own comment would run past
    // the end of the file.
    const auto fake = EndRecord(5, 5, std::string(100, 'y'));
    std::memcpy(fakeInComment.data() + 22 + 4, fake.data(), 22);
    auto cutComment = EndRecord(1, 7, "abc");
    cutComment.pop_back();
    const Case cases[] = {
        {"no comment", real, 0},
        {"signature inside the comment", fakeInComment, 0},
        {"comment cut short", cutComment, -1},
        {"fewer than 22 bytes", std::vector<uint8_t>(real.begin(), real.begin() + 21), -1},
    };
    for (const Case& c : cases) {
        const auto hit = zip::FindEndRecord(c.tail.data(), c.tail.size());
        EXPECT_EQ(hit ? static_cast<long>(*hit) : -1L, c.expected) << c.what;
    }
}

TEST(ZipRecords, DescriptorCountsOnlyWhereItsSizeIsTheDistanceToIt) {
    std::vector<uint8_t> bytes(40, 0xAA);
    // A false marker at 4 (its size says 99), the real one at 20.
    auto put = [&](size_t at, uint32_t size) {
        PutLe32(&bytes[at], zip::kSpanMarker);
        PutLe32(&bytes[at + 4], 0x12345678);
        PutLe32(&bytes[at + 8], size);
        PutLe32(&bytes[at + 12], 77);
    };
    put(4, 99);
    put(20, 20);
    int64_t next = 0;
    const auto d = zip::FindDescriptor(0, static_cast<int64_t>(bytes.size()), Reader(bytes), next);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->PackedSize, 20u);
    EXPECT_EQ(d->UnpackedSize, 77u);
    EXPECT_EQ(next, 36);
    EXPECT_EQ(zip::DescriptorLength(&bytes[20], 16, 0x12345678), 16u);
    EXPECT_EQ(zip::DescriptorLength(&bytes[24], 12, 0x12345678), 12u);
    EXPECT_EQ(zip::DescriptorLength(&bytes[24], 11, 0x12345678), 0u);
}

TEST(TarRecords, WalkKeepsTheLongNameAcrossALinkNameAndTakesSignedChecksums) {
    const std::string longName(150, 'n');
    std::string archive = Block("././@LongLink", 'L', longName + '\0') + Block("././@LongLink", 'K', "target") +
                          Block("short", '0', "data");
    // A header whose checksum was summed over signed bytes (a name byte
    // above 0x7F), as some old archivers did.
    std::string odd = Block("x", '0', "");
    odd[1] = static_cast<char>(0xE9);
    int64_t signedSum = 0;
    for (int i = 0; i < tar::kBlock; ++i) signedSum += (i >= 148 && i < 156) ? ' ' : static_cast<int8_t>(odd[i]);
    odd.replace(148, 8, IntToOctal(signedSum, 8, true));
    archive += odd + std::string(2 * tar::kBlock, '\0');
    const std::vector<uint8_t> bytes(archive.begin(), archive.end());

    tar::TWalker walk(0, static_cast<int64_t>(bytes.size()), Reader(bytes));
    tar::TWalkEntry e;
    ASSERT_EQ(walk.Next(e), tar::TWalker::Step::Entry);
    EXPECT_EQ(e.Name, longName);
    EXPECT_EQ(e.Start, 0);
    EXPECT_EQ(e.Size, 4);
    ASSERT_EQ(walk.Next(e), tar::TWalker::Step::Entry);
    EXPECT_EQ(e.Name, "x\xE9");
    EXPECT_EQ(walk.Next(e), tar::TWalker::Step::End);
}

TEST(GzipRecords, HeaderFieldsAreFollowedOnlyAsFarAsTheBytesGo) {
    auto header = gzip::MakeHeader(gzip::kFName | gzip::kFComment, 1234);
    std::vector<uint8_t> bytes(header.begin(), header.end());
    for (char c : std::string("dir/name.txt")) bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(0);
    for (char c : std::string("comment")) bytes.push_back(static_cast<uint8_t>(c));
    gzip::THeader h;
    EXPECT_FALSE(gzip::ReadHeader(0, static_cast<int64_t>(bytes.size()), Reader(bytes), h)) << "comment unterminated";
    EXPECT_EQ(h.Name, "dir/name.txt");
    bytes.push_back(0);
    ASSERT_TRUE(gzip::ReadHeader(0, static_cast<int64_t>(bytes.size()), Reader(bytes), h));
    EXPECT_EQ(h.MTime, 1234u);
    EXPECT_EQ(h.DataStart, static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(gzip::BaseName(h.Name), "name.txt");
}

TEST(DosTime, UnixSecondsClampToTheDosRangeWithoutOverflow) {
    constexpr uint32_t kFirst = 0x00210000, kLast = 0xFF9FBF7D;
    struct Case {
        int64_t seconds;
        uint32_t expected;
    } const cases[] = {
        {INT64_MIN, kFirst}, {-1, kFirst}, {0, kFirst}, {86400 * 365, kFirst},
        {int64_t{1} << 40, kLast}, {INT64_MAX, kLast},
    };
    for (const Case& c : cases) EXPECT_EQ(UnixSecondsToDosDate(c.seconds), c.expected) << c.seconds;
}
