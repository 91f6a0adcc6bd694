// The ZOO reader: the corpus archive, and archives a small builder here
// makes (stored, LZW from an encoder here, LZH from our -lh5- encoder),
// checked against unar; the chain's rules (deleted entries, the empty
// entry that ends it, links that lead back) and the LZW decoder's faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/codecs/lh5encode.h"
#include "engine/core/bytes.h"
#include "engine/core/crc.h"
#include "engine/formats/zoo.h"
#include "engine/lister/dovex.h"
#include "engine/readers/readers.h"
#include "engine/readers/unzoo.h"
#include "support/testenv.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace bramble {
namespace {

namespace fs = std::filesystem;
using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

struct Events {
    std::vector<int> errors;
    std::map<std::string, bool> ends;
    void Watch(TZipCommon& c) {
        c.OnError = [this](TObject*, const std::string&, const std::string&, const std::string&, int id) {
            errors.push_back(id);
        };
        c.OnEnd = [this](TObject*, const std::string& FN, bool pass) { ends[FN] = pass; };
        c.ProgressHook = nullptr;
    }
    int Count(int id) const { return static_cast<int>(std::count(errors.begin(), errors.end(), id)); }
};

int Read(const std::string& archive, Events& ev, const std::string& dir = "") {
    std::unique_ptr<TUnBase> reader = CreateReaderForKind(atZoo);
    ev.Watch(*reader);
    reader->SetArchiveFile(archive);
    reader->FileSpec() = {"*.*"};
    reader->SetConfirmOverwrites(false);
    if (!dir.empty()) reader->SetExtractDir(dir);
    try {
        return dir.empty() ? reader->Test() : reader->Extract();
    } catch (const E_RAISE& e) {
        ev.errors.push_back(e.Code());
        return -1;
    }
}

using Tree = std::map<std::string, std::string>;

// The names the lister shows, in order (and what it reported into Errors).
std::vector<std::string> Listed(const std::string& archive, std::vector<int>* errors = nullptr) {
    TDovex d;
    std::vector<std::string> names;
    d.OnError = [errors](TObject*, const std::string&, const std::string&, const std::string&, int id) {
        if (errors) errors->push_back(id);
    };
    d.SetArchiveFile(archive);
    d.SetFileSpec({"*.*"});
    d.OnRead = [&](TObject*, int, int) { names.push_back(d.EntryInfo.FileName); };
    d.ReadArchive();
    return names;
}
Tree ReadTree(const std::string& dir) {
    Tree t;
    if (!fs::exists(dir)) return t;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) t[fs::relative(e.path(), dir).generic_string()] = ReadAll(e.path().string());
    return t;
}

std::string Noise(size_t size, uint32_t seed) {
    std::string s(size, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return s;
}

std::string Sample(size_t lines) {
    std::string s;
    for (size_t i = 0; i < lines; ++i) s += "zoo line " + std::to_string(i % 41) + ", the lazy dog sleeps\n";
    return s;
}

// ---- the builder ----------------------------------------------------------------------------

uint16_t Crc16(const std::string& s) {
    uint16_t r = 0;
    Crc16Block(s.data(), s.size(), r);
    return r;
}

class BitWriter {
public:
    void Put(unsigned code, int width) {
        acc_ |= uint64_t{code} << n_;
        n_ += width;
        while (n_ >= 8) {
            out.push_back(static_cast<char>(acc_ & 0xFF));
            acc_ >>= 8;
            n_ -= 8;
        }
    }
    std::string Done() {
        if (n_ > 0) out.push_back(static_cast<char>(acc_ & 0xFF));
        acc_ = 0;
        n_ = 0;
        return out;
    }
    std::string out;

private:
    uint64_t acc_ = 0;
    int n_ = 0;
};

// ZOO's LZW: a reset first, then the codes, widths as the decoder, which
// makes each entry one code later than the encoder, steps them. Like the
// ZOO archiver, it resets the table when it is full unless told to go on
// with the full table.
std::string ZooLzw(const std::string& d, bool resetWhenFull = true) {
    BitWriter w;
    int width = 9;
    unsigned limit = 512, decoderNext = 258, next = 258;
    std::map<std::pair<unsigned, uint8_t>, unsigned> table;
    int emitted = 0;
    auto emit = [&](unsigned code) {
        w.Put(code, width);
        if (emitted++ > 0 && decoderNext < 8192) {
            ++decoderNext;
            if (decoderNext >= limit && width < 13) {
                ++width;
                limit <<= 1;
            }
        }
    };
    w.Put(256, 9);
    if (!d.empty()) {
        unsigned cur = static_cast<uint8_t>(d[0]);
        for (size_t i = 1; i < d.size(); ++i) {
            const uint8_t c = static_cast<uint8_t>(d[i]);
            auto it = table.find({cur, c});
            if (it != table.end()) {
                cur = it->second;
                continue;
            }
            emit(cur);
            if (next < 8192) table[{cur, c}] = next++;
            if (next == 8192 && resetWhenFull) {
                w.Put(256, width);
                table.clear();
                next = decoderNext = 258;
                width = 9;
                limit = 512;
                emitted = 0;
            }
            cur = c;
        }
        emit(cur);
    }
    w.Put(257, width);
    return w.Done();
}

// A component over bytes in memory for the -lh5- encoder.
std::string Lh5(const std::string& d) {
    TZipCommon c;
    TMemoryStream sink;
    c.InputSource = isMemory;
    c.MemoryBlock = reinterpret_cast<const uint8_t*>(d.data());
    c.MemoryLeft = static_cast<int64_t>(d.size());
    c.OutputTarget = otCallerStream;
    c.StreamB = &sink;
    c.ProgressHook = nullptr;
    bool incompressible = false;
    LzhEncode(c, nullptr, nullptr, static_cast<int64_t>(d.size()), incompressible);
    EXPECT_FALSE(incompressible);
    return std::string(reinterpret_cast<const char*>(sink.Data().data()), sink.Data().size());
}

// Names and sizes: what a failed comparison shows.
std::string Describe(const std::map<std::string, std::string>& t) {
    std::string s;
    for (const auto& [name, data] : t) s += name + ":" + std::to_string(data.size()) + " ";
    return s;
}

struct Member {
    Member(uint8_t Method, std::string Name, std::string Dir, std::string Data, std::string Packed = {},
           bool Deleted = false)
        : method(Method), name(std::move(Name)), dir(std::move(Dir)), data(std::move(Data)),
          packed(std::move(Packed)), deleted(Deleted) {}
    uint8_t method;
    std::string name, dir, data;
    std::string packed;  // made from data by the method when empty
    bool deleted;
    // The unpacked size the header gives, when not the data's; the CRC is
    // then that of as much of the data.
    int64_t claimed = -1;
};

constexpr uint32_t kStamp = 0x5A2F6000u | 0x4A21;

// Archive header, then each entry followed by its data, then the empty
// entry that ends the chain. LinkBack makes the entry at that index name
// the first entry as its next.
std::string Build(const std::vector<Member>& members, int linkBack = -1) {
    std::string out;
    const std::vector<uint8_t> head = zoo::MakeArchiveHeader(zoo::kArchiveHeaderSize);
    out.assign(head.begin(), head.end());
    for (size_t i = 0; i < members.size(); ++i) {
        const Member& m = members[i];
        std::string packed = m.packed;
        // ZOO's -lh5- streams end with a block of no symbols.
        if (packed.empty())
            packed = m.method == 0 ? m.data : m.method == 1 ? ZooLzw(m.data) : Lh5(m.data) + std::string(2, '\0');
        const int64_t size = m.claimed >= 0 ? m.claimed : static_cast<int64_t>(m.data.size());
        zoo::TEntry e;
        e.Method = m.method;
        e.ShortName = m.name.substr(0, 12);
        if (m.name.size() > 12) e.LongName = m.name;
        e.Directory = m.dir;
        e.Stamp = kStamp;
        e.Crc = Crc16(m.data.substr(0, static_cast<size_t>(size)));
        e.UnpackedSize = static_cast<uint32_t>(size);
        e.PackedSize = static_cast<uint32_t>(packed.size());
        e.Deleted = m.deleted;
        const size_t entrySize = zoo::MakeEntry(e).size();
        e.DataOffset = static_cast<uint32_t>(out.size() + entrySize);
        e.Next = static_cast<int>(i) == linkBack ? zoo::kArchiveHeaderSize
                                                  : static_cast<uint32_t>(e.DataOffset + packed.size());
        const std::vector<uint8_t> b = zoo::MakeEntry(e);
        out.append(b.begin(), b.end());
        out += packed;
    }
    zoo::TEntry last;
    last.Next = 0;
    const std::vector<uint8_t> b = zoo::MakeEntry(last);
    out.append(b.begin(), b.end());
    return out;
}

#ifndef _WIN32
using test::Peer;
#endif

// ---- the tests ------------------------------------------------------------------------------

TEST(UnZoo, CorpusArchiveExtracts) {
    BRAMBLE_NEED_CORPUS();
    const std::string dir = ScratchDir("zoo-corpus");
    Events ev;
    EXPECT_EQ(Read(Join(test::CorpusDir(), "misc/patool-t.zoo"), ev, dir), 2);
    EXPECT_TRUE(ev.errors.empty());
    EXPECT_EQ(ReadTree(dir).size(), 2u);
    for (const auto& [name, pass] : ev.ends) EXPECT_TRUE(pass) << name;
}

TEST(UnZoo, ExtractsEveryMethodAsUnarDoes) {
    std::string zeros(200000, '\0');  // strings longer than the old stack, and a full table
    const std::vector<Member> members = {
        {0, "STORED.TXT", "", Sample(50)},
        {1, "LZW.TXT", "", Sample(3000)},
        {1, "NOISE.BIN", "", Noise(60000, 4)},  // fills the table, which is reset
        {1, "ZEROS.BIN", "", zeros},
        {1, "EMPTY.TXT", "", ""},
        {2, "LZH.TXT", "docs/old", Sample(2000)},
        {0, "a rather long name.text", "docs", "long\n"},
        {1, "GONE.TXT", "", "deleted\n", "", true},
        {1, "FULL.BIN", "", Noise(60000, 5), ZooLzw(Noise(60000, 5), false)},  // goes on with it full
    };
    const Tree expected = {{"STORED.TXT", Sample(50)},
                           {"LZW.TXT", Sample(3000)},
                           {"NOISE.BIN", Noise(60000, 4)},
                           {"FULL.BIN", Noise(60000, 5)},
                           {"ZEROS.BIN", zeros},
                           {"EMPTY.TXT", ""},
                           {"docs/old/LZH.TXT", Sample(2000)},
                           {"docs/a rather long name.text", "long\n"}};
    const std::string dir = ScratchDir("zoo-built");
    const std::string path = Join(dir, "built.zoo");
    WriteAll(path, Build(members));
    Events ev;
    EXPECT_EQ(Read(path, ev, Join(dir, "ours")), static_cast<int>(expected.size()));
    EXPECT_TRUE(ev.errors.empty());
    EXPECT_TRUE(ReadTree(Join(dir, "ours")) == expected) << Describe(ReadTree(Join(dir, "ours")));
    for (const auto& [name, pass] : ev.ends) EXPECT_TRUE(pass) << name;
    // The lister shows what the reader extracts: the directory before the
    // name, no deleted entry, nothing for the empty entry at the end.
    EXPECT_EQ(Listed(path), (std::vector<std::string>{"STORED.TXT", "LZW.TXT", "NOISE.BIN", "ZEROS.BIN", "EMPTY.TXT",
                                                      "docs\\old\\LZH.TXT", "docs\\a rather long name.text",
                                                      "FULL.BIN"}));

#ifndef _WIN32
    if (Peer("command -v unar").first != 0) GTEST_SKIP() << "unar is not installed";
    // One archive per entry: unar fails an LZW entry that follows one whose
    // table grew to 13 bits, and stops at a table that stays full.
    Tree peer;
    for (const Member& m : members) {
        if (m.deleted || m.name == "FULL.BIN") continue;
        const std::string one = Join(dir, "one.zoo");
        WriteAll(one, Build({m}));
        const std::string peerDir = ScratchDir("zoo-built-unar-" + m.name.substr(0, 3));
        Peer("unar -q -f -D -o '" + peerDir + "' '" + one + "'");
        for (const auto& [name, data] : ReadTree(peerDir)) peer[name] = data;
    }
    Tree wanted = expected;
    wanted.erase("FULL.BIN");
    EXPECT_TRUE(peer == wanted) << Describe(peer);
#endif
}

TEST(UnZoo, TheChainEndsAtItsEmptyEntryOrWhereItLeadsBack) {
    const std::string dir = ScratchDir("zoo-chain");
    // The second entry links back to the first: the walk stops after it.
    WriteAll(Join(dir, "back.zoo"), Build({{0, "A.TXT", "", "a\n"}, {0, "B.TXT", "", "b\n"}, {0, "C.TXT", "", "c\n"}}, 1));
    Events ev;
    EXPECT_EQ(Read(Join(dir, "back.zoo"), ev, Join(dir, "o")), 2);
    EXPECT_EQ(ReadTree(Join(dir, "o")), (Tree{{"A.TXT", "a\n"}, {"B.TXT", "b\n"}}));
    EXPECT_EQ(Listed(Join(dir, "back.zoo")), (std::vector<std::string>{"A.TXT", "B.TXT"}));

    // A first-entry offset its negated copy does not match.
    std::string bad = Build({{0, "A.TXT", "", "a\n"}});
    bad[28] ^= 1;
    WriteAll(Join(dir, "bad.zoo"), bad);
    Events ev2;
    EXPECT_LE(Read(Join(dir, "bad.zoo"), ev2), 0);
    EXPECT_TRUE(ev2.ends.empty());
}

// A link to the entry itself or to one before it: the entries behind it
// cannot be found, and the run says so (25108) in a test, an extraction and
// the listing, with the entries before it still taken.
TEST(UnZoo, ALinkThatDoesNotLeadForwardFailsTheRun) {
    for (int target : {0, 1}) {
        SCOPED_TRACE(target == 0 ? "to the first entry" : "to itself");
        std::string bytes = Build({{0, "A.TXT", "", "a\n"}, {0, "B.TXT", "", "b\n"}, {0, "C.TXT", "", "c\n"}});
        const uint32_t first = zoo::kArchiveHeaderSize;
        const uint32_t second = Le32(reinterpret_cast<const uint8_t*>(bytes.data()) + first + 6);
        PutLe32(reinterpret_cast<uint8_t*>(bytes.data()) + second + 6, target == 0 ? first : second);
        const std::string dir = ScratchDir("zoo-relink");
        WriteAll(Join(dir, "r.zoo"), bytes);
        for (bool extract : {false, true}) {
            SCOPED_TRACE(extract ? "extract" : "test");
            Events ev;
            EXPECT_EQ(Read(Join(dir, "r.zoo"), ev, extract ? Join(dir, "o") : ""), 2);
            EXPECT_EQ(ev.errors, std::vector<int>{25108});
            EXPECT_EQ(ev.ends.size(), 2u);
        }
        std::vector<int> listed;
        EXPECT_EQ(Listed(Join(dir, "r.zoo"), &listed), (std::vector<std::string>{"A.TXT", "B.TXT"}));
        EXPECT_EQ(listed, std::vector<int>{25108});
    }
}

TEST(UnZoo, DamagedLzwEndsItsEntry) {
    auto codes = [](std::vector<std::pair<unsigned, int>> c) {
        BitWriter w;
        for (auto [code, width] : c) w.Put(code, width);
        return w.Done();
    };
    struct Case {
        const char* what;
        std::string packed;
        int message;
    };
    const Case cases[] = {
        {"a code above the next free one", codes({{256, 9}, {'a', 9}, {300, 9}, {257, 9}}), 25121},
        {"a reset followed by no byte", codes({{256, 9}, {258, 9}, {257, 9}}), 25121},
        {"a method the reader does not know", "xyz", 25326},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = ScratchDir("zoo-bad");
        const uint8_t method = c.message == 25326 ? 7 : 1;
        WriteAll(Join(dir, "b.zoo"), Build({{method, "BAD.TXT", "", "abc", c.packed}, {0, "GOOD.TXT", "", "good\n"}}));
        Events ev;
        EXPECT_EQ(Read(Join(dir, "b.zoo"), ev, Join(dir, "o")), 2);
        EXPECT_EQ(ev.Count(c.message), 1);
        EXPECT_EQ(ReadAll(Join(dir, "o/GOOD.TXT")), "good\n");
    }
}

// The data of each method decodes to another size than its header gives,
// with the CRC of what the header describes: the entry fails with 25109,
// in a test as in an extraction, and nothing past the header's size is
// written.
TEST(UnZoo, AnEntryOfAnotherSizeThanItsHeaderSaysFails) {
    const std::string data = Sample(300);
    const int64_t size = static_cast<int64_t>(data.size());
    const int64_t claims[] = {0xFFFFFFFF, size + 1, size - 1, size / 2, 0};
    for (uint8_t method : {0, 1, 2}) {
        for (int64_t claim : claims) {
            SCOPED_TRACE("method " + std::to_string(method) + ", " + std::to_string(claim) + " bytes");
            Member sized(method, "SIZED.TXT", "", data);
            sized.claimed = claim;
            const std::string dir = ScratchDir("zoo-sized");
            WriteAll(Join(dir, "s.zoo"), Build({sized, {0, "GOOD.TXT", "", "good\n"}}));
            for (bool extract : {false, true}) {
                SCOPED_TRACE(extract ? "extract" : "test");
                Events ev;
                EXPECT_EQ(Read(Join(dir, "s.zoo"), ev, extract ? Join(dir, "o") : ""), 2);
                EXPECT_EQ(ev.errors, std::vector<int>{25109});
                ASSERT_EQ(ev.ends.size(), 2u);
                // Named by the output path or the stored name.
                for (const auto& [name, pass] : ev.ends) EXPECT_EQ(pass, name.find("GOOD") != std::string::npos);
                if (!extract) continue;
                EXPECT_FALSE(os::FileExists(Join(dir, "o/SIZED.TXT")));
                EXPECT_EQ(ReadAll(Join(dir, "o/GOOD.TXT")), "good\n");
            }
        }
    }
}

}  // namespace
}  // namespace bramble
