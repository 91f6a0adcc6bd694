// How the writers put their archives out: the buffered file stream gives
// the file and every answer an unbuffered one gives, and the kept entries of
// an updated ZIP, copied over in runs, land byte for byte whatever lies
// between them in the old archive.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/streams.h"
#include "engine/zip_writer_support.h"
#include "support/zipbuild.h"

namespace bramble {
namespace {

using namespace zipwtest;

// ---- the buffered file stream -----------------------------------------------------------

// One step of a script run on a buffered and an unbuffered stream alike.
struct Op {
    enum Kind { Write, Seek, Read, SetSize, Copy } kind;
    int64_t n;  // bytes written, read or copied, the position, the size
};

struct Script {
    const char* what;
    std::vector<Op> ops;
};

// Everything a caller can see of a stream after each step.
// Copies come from a file of 100 bytes, from its 4th byte on; what is
// copied past its end is not there.
std::vector<std::string> Play(TFileStream& s, const std::vector<Op>& ops, const std::string& source) {
    std::vector<std::string> seen;
    TFileStream from;
    EXPECT_TRUE(from.Open(source, os::OpenMode::Read));
    from.Seek(3);
    uint8_t next = 1;
    for (const Op& op : ops) {
        std::string r;
        switch (op.kind) {
            case Op::Write: {
                std::string data(static_cast<size_t>(op.n), '\0');
                for (char& c : data) c = static_cast<char>(next++);
                r = "w" + std::to_string(s.Write(data.data(), op.n));
                break;
            }
            case Op::Seek: r = s.Seek(op.n) ? "s" : "s!"; break;
            case Op::Read: {
                std::string data(static_cast<size_t>(op.n), '\0');
                const int64_t got = s.Read(data.data(), op.n);
                r = "r" + data.substr(0, static_cast<size_t>(std::max<int64_t>(got, 0)));
                break;
            }
            case Op::SetSize: r = s.SetSize(op.n) ? "t" : "t!"; break;
            case Op::Copy: r = "c" + std::to_string(s.CopyRange(from, op.n)); break;
        }
        seen.push_back(r + " @" + std::to_string(s.Position()) + " of " + std::to_string(s.Size()) + " from " +
                       std::to_string(from.Position()));
    }
    return seen;
}

TEST(WriterOutput, ABufferedStreamGivesTheFileAndAnswersOfAnUnbufferedOne) {
    const std::string dir = ScratchDir("writer-output-stream");
    // The buffer holds 16 bytes: every script crosses its edges.
    const Script scripts[] = {
        {"small writes filling the buffer and past it", {{Op::Write, 5}, {Op::Write, 11}, {Op::Write, 7}}},
        {"a write larger than the buffer behind buffered bytes", {{Op::Write, 3}, {Op::Write, 40}, {Op::Write, 2}}},
        {"a header rewritten in place inside the buffer",
         {{Op::Write, 4}, {Op::Write, 9}, {Op::Seek, 0}, {Op::Write, 4}, {Op::Seek, 13}, {Op::Write, 2}}},
        {"a header rewritten before what is buffered",
         {{Op::Write, 10}, {Op::Write, 30}, {Op::Write, 5}, {Op::Seek, 2}, {Op::Write, 3}, {Op::Seek, 45},
          {Op::Write, 1}}},
        {"a rewrite running past the buffered end", {{Op::Write, 8}, {Op::Seek, 6}, {Op::Write, 6}}},
        {"a rewrite that does not fit the buffer", {{Op::Write, 12}, {Op::Seek, 10}, {Op::Write, 9}}},
        {"a seek past the end leaves a gap of zeros", {{Op::Write, 3}, {Op::Seek, 20}, {Op::Write, 2}}},
        {"reads of what was just written, buffered or not",
         {{Op::Write, 20}, {Op::Write, 5}, {Op::Seek, 18}, {Op::Read, 6}, {Op::Seek, 1}, {Op::Read, 30},
          {Op::Read, 4}}},
        {"a write after reading ahead replaces what was read",
         {{Op::Write, 30}, {Op::Seek, 2}, {Op::Read, 3}, {Op::Write, 4}, {Op::Seek, 0}, {Op::Read, 12}}},
        {"cutting the file back while bytes are buffered",
         {{Op::Write, 14}, {Op::SetSize, 6}, {Op::Write, 3}, {Op::Seek, 0}, {Op::Read, 20}}},
        {"a negative position is refused", {{Op::Write, 2}, {Op::Seek, -1}, {Op::Write, 1}}},
        {"copies between buffered writes and over them",
         {{Op::Write, 5}, {Op::Copy, 7}, {Op::Write, 3}, {Op::Seek, 2}, {Op::Copy, 20}, {Op::Write, 1}}},
        {"a copy behind a rewrite and one past the source's end",
         {{Op::Write, 10}, {Op::Seek, 1}, {Op::Write, 2}, {Op::Seek, 10}, {Op::Copy, 90}, {Op::Copy, 15},
          {Op::Seek, 0}, {Op::Read, 40}}},
    };
    const std::string source = Join(dir, "source");
    WriteAll(source, Noise(100, 5));
    for (const Script& script : scripts) {
        SCOPED_TRACE(script.what);
        const std::string plainName = Join(dir, "plain"), bufferedName = Join(dir, "buffered");
        std::vector<std::string> plainSeen, bufferedSeen;
        {
            TFileStream plain, buffered;
            ASSERT_TRUE(plain.Open(plainName, os::OpenMode::Create));
            ASSERT_TRUE(buffered.Open(bufferedName, os::OpenMode::Create));
            buffered.SetBuffer(16);
            plainSeen = Play(plain, script.ops, source);
            bufferedSeen = Play(buffered, script.ops, source);
            EXPECT_TRUE(buffered.Close());
        }
        EXPECT_EQ(bufferedSeen, plainSeen);
        EXPECT_EQ(ReadAll(bufferedName), ReadAll(plainName));
    }
}

// ---- kept entries of an update -----------------------------------------------------------------

struct Layout {
    const char* what;
    std::vector<int> fileOrder;  // of the items, in the old archive
    size_t gapAfterFirst;        // junk behind the first entry in the file
    bool descriptor;             // the third item is streamed, with a descriptor
};

// An archive of Items laid out as L says; the central directory lists them
// in item order. Out: each item's extent (local header to the end of its
// descriptor).
std::string LayOut(const std::vector<test::ZItem>& items, const Layout& L, std::vector<std::string>& extents) {
    const Parsed whole = Parse(test::BuildZip(items));
    std::vector<uint32_t> offset(items.size());
    std::string out;
    extents.clear();
    for (const test::ZItem& it : items) extents.push_back(test::BuildZip({it}, false));
    for (size_t k = 0; k < L.fileOrder.size(); ++k) {
        const auto i = static_cast<size_t>(L.fileOrder[k]);
        offset[i] = static_cast<uint32_t>(out.size());
        out += extents[i];
        if (k == 0) out += std::string(L.gapAfterFirst, 'J');
    }
    const auto centralAt = static_cast<uint32_t>(out.size());
    for (size_t i = 0; i < items.size(); ++i) {
        TZipCentralRecord c = whole.entries[i].rec;
        c.LocalOffset = offset[i];
        const auto b = c.Bytes();
        out.append(reinterpret_cast<const char*>(b.data()), b.size());
        out += items[i].name;
    }
    TZipEndRecord end;
    end.EntriesOnDisk = end.TotalEntries = static_cast<uint16_t>(items.size());
    end.CentralOffset = centralAt;
    end.CentralSize = static_cast<uint32_t>(out.size() - centralAt);
    const auto e = end.Bytes();
    out.append(reinterpret_cast<const char*>(e.data()), e.size());
    return out;
}

TEST(WriterOutput, KeptEntriesLandByteForByteWhateverLiesBetweenThemInTheOldArchive) {
    const Layout layouts[] = {
        {"entries in directory order, one after the other", {0, 1, 2, 3}, 0, false},
        {"junk between the first and the second entry", {0, 1, 2, 3}, 37, false},
        {"the file holds them in another order than the directory", {3, 1, 0, 2}, 0, false},
        {"a streamed entry with its descriptor among them", {0, 1, 2, 3}, 0, true},
        {"junk, another order and a descriptor", {2, 0, 3, 1}, 5, true},
    };
    const std::string src = ScratchDir("writer-output-src");
    Plant(src, {{"new.txt", Text(700)}});
    const std::string dir = ScratchDir("writer-output-zip");
    for (const Layout& L : layouts) {
        for (const bool deleting : {false, true}) {
            SCOPED_TRACE(std::string(L.what) + (deleting ? ", deleting b" : ", adding new.txt"));
            std::vector<test::ZItem> items(4);
            const char* names[] = {"a", "b", "c", "d"};
            for (size_t i = 0; i < items.size(); ++i) {
                items[i].name = names[i];
                items[i].data = Noise(300 + 111 * i, static_cast<uint32_t>(i + 1));
            }
            if (L.descriptor) items[2].flags = 0x08;
            std::vector<std::string> extents;
            const std::string archive = Join(dir, "a.zip");
            WriteAll(archive, LayOut(items, L, extents));

            const WriteRun run = deleting ? Write(archive, src, {"b"}, swDelete) : Write(archive, src, {"new.txt"});
            ASSERT_EQ(run.count, 1);
            const std::string now = ReadAll(archive);
            const Parsed p = Parse(now);
            ASSERT_TRUE(p.ok);
            std::vector<std::string> want = {"a", "c", "d"};
            if (!deleting) want = {"a", "b", "c", "d", "new.txt"};
            ASSERT_EQ(Names(p), want);
            // Each kept entry is where its record says, as it was; nothing
            // else of the old archive (the junk) came along.
            size_t kept = 0;
            const CEntry* added = nullptr;
            for (const CEntry& e : p.entries) {
                if (e.name == "new.txt") {
                    added = &e;
                    continue;
                }
                const std::string& extent = extents[static_cast<size_t>(e.name[0] - 'a')];
                EXPECT_EQ(now.substr(e.rec.LocalOffset, extent.size()), extent) << e.name;
                kept += extent.size();
            }
            // The new entry follows the kept ones; the directory follows
            // the entries.
            const size_t entries = added ? static_cast<size_t>(p.end.CentralOffset) : kept;
            if (added) {
                EXPECT_EQ(added->rec.LocalOffset, kept);
            }
            EXPECT_EQ(p.end.CentralOffset, entries);
            const std::string out = ScratchDir("writer-output-back");
            const Back back = Extract(archive, out);
            EXPECT_EQ(back.count, static_cast<int>(want.size()));
            EXPECT_TRUE(back.AllPassed());
        }
    }
}

}  // namespace
}  // namespace bramble
