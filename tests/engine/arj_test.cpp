// The ARJ reader: archives the arj program made (every method, garbled,
// volume sets, behind a program's stub) extracted byte for byte, the shared
// corpus's ARJ samples, passwords, and damaged headers built here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/crc.h"
#include "engine/core/os.h"
#include "engine/formats/arj.h"
#include "engine/readers/readers.h"
#include "engine/readers/unarj.h"
#include "support/faults.h"
#include "support/testenv.h"

namespace bramble {
namespace {

namespace fs = std::filesystem;
using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

std::string Fixture(const std::string& name) { return Join(test::FixturesDir(), name); }

// What a run reported, and how it is answered.
struct ArjRun {
    std::vector<int> errors;
    std::vector<std::pair<std::string, bool>> ends;
    int raised = 0;
    int asked = 0;                  // OnGetPassword calls
    std::vector<std::string> answers;  // one per call; "" with TryAgain
    bool giveVolumes = true;
    std::string passwordAfter;
    std::function<void(TUnBase&)> setup;  // adjusts the reader before the run

    int Count(int id) const { return static_cast<int>(std::count(errors.begin(), errors.end(), id)); }
    bool AllPassed() const {
        return std::all_of(ends.begin(), ends.end(), [](const auto& e) { return e.second; });
    }

    // A test (Dir empty) or an extraction into Dir; the entries handled.
    int Go(const std::string& archive, const std::string& dir = "", bool withPasswordEvent = true) {
        std::unique_ptr<TUnBase> r = CreateReaderForKind(atArj);
        r->OnError = [this](TObject*, const std::string&, const std::string&, const std::string&, int id) {
            errors.push_back(id);
        };
        r->OnEnd = [this](TObject*, const std::string& FN, bool pass) { ends.emplace_back(FN, pass); };
        r->ProgressHook = nullptr;
        r->OnNextVolume = [this](TObject*, std::string& name, const std::string&, bool exists, bool& cancel) {
            // A volume that is there is taken whatever the answer: refusing
            // names one that is not.
            if (!giveVolumes) name += ".refused";
            cancel = !(exists && giveVolumes);
        };
        if (withPasswordEvent)
            r->OnGetPassword = [this](TObject*, const std::string&, std::string& pw, bool& tryAgain) {
                const size_t i = static_cast<size_t>(asked++);
                pw = i < answers.size() ? answers[i] : "";
                tryAgain = pw.empty() && i + 1 < answers.size();
            };
        r->SetArchiveFile(archive);
        r->FileSpec() = {"*.*"};
        r->SetConfirmOverwrites(false);
        if (!dir.empty()) r->SetExtractDir(dir);
        if (setup) setup(*r);
        int n = -1;
        try {
            n = dir.empty() ? r->Test() : r->Extract();
        } catch (const E_RAISE& e) {
            if (errors.empty() || errors.back() != e.Code()) errors.push_back(e.Code());
            ++raised;
        }
        passwordAfter = r->Password();
        return n;
    }
};

using Tree = std::map<std::string, std::string>;

Tree ReadTree(const std::string& dir) {
    Tree t;
    if (!fs::exists(dir)) return t;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) t[fs::relative(e.path(), dir).generic_string()] = ReadAll(e.path().string());
    return t;
}

Tree Only(const Tree& t, const std::vector<std::string>& names) {
    Tree out;
    for (const auto& n : names) out[n] = t.at(n);
    return out;
}

// ---- archives built here ----------------------------------------------------------------

std::string Le16s(uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string Le32s(uint32_t v) { return Le16s(static_cast<uint16_t>(v)) + Le16s(static_cast<uint16_t>(v >> 16)); }

uint32_t Crc32Of(const std::string& s) {
    uint32_t r = 0xFFFFFFFF;
    Crc32Block(s.data(), s.size(), r);
    return r ^ 0xFFFFFFFF;
}

struct Entry {
    std::string name = "file.txt";
    std::string data = "some data\n";
    std::string packed;          // the data as stored, when not the data itself
    uint8_t version = 11, minVersion = 1, host = 0, flags = 0, method = 0, type = 0, modifier = 0;
    uint16_t attr = 0x20;
    int firstSize = 30;
    bool terminated = true;      // the name and comment end with NULs
    bool badCrc = false;
    int64_t claimed = -1;        // the unpacked size the header gives, when not the data's
};

std::string Block(const std::string& basic, bool badCrc = false) {
    return "\x60\xEA" + Le16s(static_cast<uint16_t>(basic.size())) + basic +
           Le32s(Crc32Of(basic) ^ (badCrc ? 1u : 0u)) + Le16s(0);
}

std::string Basic(const Entry& e) {
    const std::string& packed = e.packed.empty() && e.method == 0 ? e.data : e.packed;
    std::string b;
    b += static_cast<char>(e.firstSize);
    b += static_cast<char>(e.version);
    b += static_cast<char>(e.minVersion);
    b += static_cast<char>(e.host);
    b += static_cast<char>(e.flags);
    b += static_cast<char>(e.method);
    b += static_cast<char>(e.type);
    b += static_cast<char>(e.modifier);
    b += Le32s(0x2A4320A3);  // 2001-02-03 04:05:06
    b += Le32s(static_cast<uint32_t>(packed.size()));
    b += Le32s(static_cast<uint32_t>(e.claimed >= 0 ? e.claimed : static_cast<int64_t>(e.data.size())));
    b += Le32s(Crc32Of(e.data));
    b += Le16s(0);
    b += Le16s(e.attr);
    b += Le16s(0);
    b.resize(static_cast<size_t>(std::min<int>(e.firstSize, 30)), '\0');
    b += e.name;
    if (e.terminated) b += std::string("\0\0", 2);
    return b;
}

std::string Archive(const std::vector<Entry>& entries) {
    Entry main;
    main.name = "built.arj";
    main.type = 2;
    main.data.clear();
    std::string a = Block(Basic(main));
    for (const Entry& e : entries) {
        a += Block(Basic(e), e.badCrc);
        a += e.packed.empty() && e.method == 0 ? e.data : e.packed;
    }
    return a + "\x60\xEA" + Le16s(0);
}

// Stored data garbled as the arj program garbles it.
std::string Garble(const std::string& data, const std::string& password, uint8_t modifier) {
    std::string out = data;
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(out[i] ^ static_cast<char>(password[i % password.size()] + modifier));
    return out;
}

std::string Put(const std::string& name, const std::string& bytes) {
    const std::string path = Join(ScratchDir("arj-" + name), name + ".arj");
    WriteAll(path, bytes);
    return path;
}

// ---- what the arj program made ---------------------------------------------------------------

TEST(UnArj, ExtractsWhatArjMadeByteForByte) {
    const Tree src = ReadTree(Fixture("arj/src"));
    const Tree in = ReadTree(Fixture("in"));
    ASSERT_EQ(src.size(), 5u);
    const Tree split = Only(in, {"big.bin", "hello.txt"});
    const Tree small = Only(in, {"about.txt", "hello.txt", "sub/nested.txt"});
    struct Case {
        const char* archive;
        const char* password;
        const Tree& expected;
    } cases[] = {
        {"arj/m0.arj", "", src},         {"arj/m1.arj", "", src},
        {"arj/m2.arj", "", src},         {"arj/m3.arj", "", src},
        {"arj/m4.arj", "", src},         {"arj/g0.arj", "Secret 7", src},
        {"arj/g1.arj", "Secret 7", src}, {"arj/g4.arj", "Secret 7", src},
        {"arj/split.arj", "", split},    {"arj/gsplit.arj", "Secret7", split},
        {"plain.arj", "", in},           {"volumes.arj", "", split},
        {"sfx_arj.exe", "", small},      {"sfx_arj_small.exe", "", small},
        {"lzh/arjm1.arj", "", Only(in, {"about.txt", "big.bin"})},
        {"lzh/arjm3.arj", "", Only(in, {"about.txt", "big.bin"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        std::string tag = c.archive;
        std::replace(tag.begin(), tag.end(), '/', '-');
        const std::string dir = ScratchDir("x-" + tag);
        ArjRun x;
        x.answers = {c.password};
        EXPECT_EQ(x.Go(Fixture(c.archive), dir), static_cast<int>(c.expected.size()));
        EXPECT_TRUE(x.errors.empty());
        EXPECT_TRUE(x.AllPassed());
        EXPECT_EQ(x.asked, *c.password ? 1 : 0);  // once a run, not once an entry
        EXPECT_TRUE(ReadTree(dir) == c.expected);
        // The stored Unix time comes back.
        os::FileTimes t;
        ASSERT_TRUE(os::GetTimes(Join(dir, c.expected.begin()->first), t));
        const int64_t unix = static_cast<int64_t>(t.lastWrite / 10000000ULL) - 11644473600LL;
        EXPECT_LE(std::llabs(unix - 981173106), 2);

        ArjRun t2;
        t2.answers = {c.password};
        EXPECT_EQ(t2.Go(Fixture(c.archive)), static_cast<int>(c.expected.size()));
        EXPECT_TRUE(t2.errors.empty());
        EXPECT_EQ(t2.ends.size(), c.expected.size());
        EXPECT_TRUE(t2.AllPassed());
    }
}

TEST(UnArj, ExtractsTheCorpusSamples) {
    BRAMBLE_NEED_CORPUS();
    int entries = 0;
    for (const auto& e : fs::directory_iterator(Join(test::CorpusDir(), "misc"))) {
        if (e.path().extension() != ".arj") continue;
        SCOPED_TRACE(e.path().string());
        ArjRun x;
        x.answers = {"thereisnotry"};  // the garbled sample's password
        const std::string dir = ScratchDir("corpus-" + e.path().stem().string());
        x.Go(e.path().string(), dir);
        EXPECT_TRUE(x.errors.empty());
        EXPECT_FALSE(x.ends.empty());
        EXPECT_TRUE(x.AllPassed());
        entries += static_cast<int>(x.ends.size());
    }
    // cc-bla.unix.arj holds files of mode 0664, whose group-write bit is
    // the DOS directory bit: they are files all the same.
    EXPECT_EQ(entries, 6);
}

// ---- volumes -------------------------------------------------------------------------

TEST(UnArj, SplitFilesNeedEveryVolumeAndEveryPartChecked) {
    // The next volume refused: the split file fails, the run ends quietly.
    ArjRun refused;
    refused.giveVolumes = false;
    refused.Go(Fixture("arj/split.arj"), ScratchDir("split-refused"));
    EXPECT_EQ(refused.raised, 0);
    ASSERT_EQ(refused.ends.size(), 1u);
    EXPECT_FALSE(refused.ends[0].second);

    // A byte changed in the middle volume's part of big.bin: the file fails
    // its check, hello.txt after it still passes.
    const std::string dir = ScratchDir("split-damaged");
    for (const char* v : {"split.arj", "split.a01", "split.a02"}) {
        std::string bytes = ReadAll(Fixture(std::string("arj/") + v));
        if (std::string(v) == "split.a01") bytes[bytes.size() / 2] ^= 0x20;
        WriteAll(Join(dir, v), bytes);
    }
    ArjRun damaged;
    damaged.Go(Join(dir, "split.arj"));
    EXPECT_EQ(damaged.raised, 0);
    ASSERT_EQ(damaged.ends.size(), 2u);
    EXPECT_FALSE(damaged.ends[0].second);
    EXPECT_TRUE(damaged.ends[1].second);

    // Started from a later volume: the part of big.bin there is no file of
    // its own; what begins there is extracted.
    ArjRun later;
    later.Go(Join(dir, "split.a02"));
    EXPECT_TRUE(later.errors.empty());
    ASSERT_EQ(later.ends.size(), 1u);
    EXPECT_TRUE(later.ends[0].second);
}

// ---- passwords -----------------------------------------------------------------------

TEST(UnArj, PasswordsAreAskedForAndShiftedBackOnEveryWayOut) {
    const std::string data = "garbled with a modifier\n";
    Entry e;
    e.flags = arj::kGarbled;
    e.modifier = 0x35;
    e.packed = Garble(data, "pw", 0x35);
    e.data = data;
    Entry plain;
    plain.name = "after.txt";
    const std::string archive = Put("modifier", Archive({e, plain}));

    struct Case {
        const char* what;
        std::vector<std::string> answers;
        bool event;
        bool written;    // file.txt extracted and right
        int raisedId;    // 0: the run ends without a raise
        int asked;
        std::string after;  // Password after the run
    } cases[] = {
        {"right", {"pw"}, true, true, 0, 1, "pw"},
        {"asked again after an empty answer", {"", "pw"}, true, true, 0, 2, "pw"},
        {"wrong: the check fails, the run ends", {"px"}, true, false, 26517, 1, "px"},
        {"refused", {""}, true, false, 0, 1, ""},
        {"no event", {}, false, false, 0, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = ScratchDir(std::string("pw-") + std::to_string(&c - cases));
        ArjRun x;
        x.answers = c.answers;
        x.Go(archive, dir, c.event);
        EXPECT_EQ(x.asked, c.asked);
        EXPECT_EQ(x.passwordAfter, c.after);
        EXPECT_EQ(ReadAll(Join(dir, "file.txt")) == data, c.written);
        EXPECT_EQ(x.raised, c.raisedId ? 1 : 0);
        if (c.raisedId) {
            EXPECT_EQ(x.errors.back(), c.raisedId);
        }
        // A refused or missing password cancels the run: nothing after it.
        if (!c.written) {
            EXPECT_FALSE(os::FileExists(Join(dir, "after.txt")));
        }
        if (c.what == std::string("refused") || c.what == std::string("no event")) {
            EXPECT_EQ(x.Count(25449), 1);
            EXPECT_FALSE(os::FileExists(Join(dir, "file.txt")));
        }
    }
}

TEST(UnArj, AWrongPasswordEndsTheRunWhateverTheMethod) {
    for (const char* archive : {"arj/g0.arj", "arj/g1.arj", "arj/g4.arj", "arj/gsplit.arj"}) {
        SCOPED_TRACE(archive);
        ArjRun x;
        x.answers = {"Secret 8"};
        x.Go(Fixture(archive));
        EXPECT_EQ(x.asked, 1);
        EXPECT_EQ(x.raised, 1);
        ASSERT_FALSE(x.errors.empty());
        EXPECT_EQ(x.errors.back(), 26517);
        // The first garbled entry fails and nothing after it is tried.
        ASSERT_EQ(x.ends.size(), 1u);
        EXPECT_FALSE(x.ends[0].second);
        EXPECT_EQ(x.passwordAfter, "Secret 8");
    }
}

// ---- damaged and hostile headers ----------------------------------------------------------

TEST(UnArj, DamagedHeadersEndWhatTheyHitAndNamesStayInside) {
    Entry first;
    first.name = "first.txt";
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<int> errors;  // in order; the last one raised when raised
        bool raised;
        std::vector<std::string> files;  // what the folder holds afterwards
    };
    auto with = [&](auto change) {
        Entry e;
        change(e);
        return Archive({first, e});
    };
    std::string cut = with([](Entry&) {});
    cut.resize(cut.size() - 8);  // inside the second entry's data
    std::string noHeader(3000, 'x');
    std::vector<Case> cases = {
        {"a header CRC that fails stops the scan", with([](Entry& e) { e.badCrc = true; }), {25237}, false,
         {"first.txt"}},
        {"minimum version above 3", with([](Entry& e) { e.minVersion = 4; }), {25402}, true, {}},
        {"method above 4", with([](Entry& e) { e.method = 5; }), {25326}, true, {}},
        {"method 4 from version 1", with([](Entry& e) { e.method = 4, e.version = 1, e.packed = "x"; }), {25326},
         true, {}},
        {"a first header size past the basic header", with([](Entry& e) { e.firstSize = 200; }), {25108}, false,
         {"first.txt"}},
        {"a name without its NUL ends with the basic header",
         with([](Entry& e) { e.terminated = false, e.name = "open-ended.txt"; }), {}, false,
         {"first.txt", "open-ended.txt"}},
        {"names climbing out stay inside", with([](Entry& e) { e.name = "../../up/../evil.txt"; }), {}, false,
         {"first.txt", "up/evil.txt"}},
        {"an absolute name stays inside", with([](Entry& e) { e.name = "/abs/x.txt"; }), {}, false,
         {"abs/x.txt", "first.txt"}},
        {"directories are passed over",
         with([](Entry& e) { e.type = arj::kDirectoryType, e.name = "folder", e.data.clear(); }), {}, false,
         {"first.txt"}},
        {"a DOS directory bit is passed over", with([](Entry& e) { e.attr = 0x10, e.name = "dosdir"; }), {}, false,
         {"first.txt"}},
        {"a cut archive: the scan and the entry find it", cut, {25236, 25236}, false, {"first.txt"}},
        {"no header in reach", noHeader, {25242}, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = ScratchDir(std::string("bad-") + std::to_string(&c - cases.data()));
        const std::string out = Join(dir, "out");
        os::DirCreate(out);
        const std::string archive = Join(dir, "a.arj");
        WriteAll(archive, c.bytes);
        ArjRun x;
        x.Go(archive, out);
        EXPECT_EQ(x.errors, c.errors);
        EXPECT_EQ(x.raised, c.raised ? 1 : 0);
        std::vector<std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(dir)) {
            if (e.path() == fs::path(out)) continue;
            const std::string rel = fs::relative(e.path(), out).generic_string();
            if (rel.rfind("..", 0) == 0) {
                // Nothing outside the output folder but the archive itself.
                EXPECT_EQ(e.path().filename().string(), "a.arj");
                continue;
            }
            if (!e.is_directory())
                files.push_back(rel);
            else if (fs::is_empty(e.path()))
                files.push_back(rel + "/");
        }
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, c.files);
    }
}

TEST(UnArj, AnOutputThatCannotBeMadeFailsOnlyItsEntry) {
    Entry file;
    file.name = "x";
    file.data = "a file\n";
    Entry inside;  // nothing can be made inside a file
    inside.name = "x/inside.txt";
    Entry last;
    last.name = "last.txt";
    last.data = "last\n";
    const std::string out = Join(ScratchDir("arj-refused-out"), "out");
    ArjRun x;
    EXPECT_EQ(x.Go(Put("refused", Archive({file, inside, last})), out), 3);
    EXPECT_EQ(x.raised, 0);
    EXPECT_EQ(x.errors, std::vector<int>({25235}));
    ASSERT_EQ(x.ends.size(), 3u);
    EXPECT_TRUE(x.ends[0].second);
    EXPECT_FALSE(x.ends[1].second);
    EXPECT_TRUE(x.ends[2].second);
    EXPECT_EQ(ReadTree(out), (Tree{{"x", "a file\n"}, {"last.txt", "last\n"}}));
}

// 17 stored bytes under a header that gives another size, with the CRC of
// the 17: the entry fails with 25109 in a test as in an extraction, nothing
// past the header's size is written, and the next entry is still read.
TEST(UnArj, AStoredEntryOfAnotherSizeThanItsHeaderSaysFails) {
    Entry sized;
    sized.data = "seventeen  bytes\n";
    Entry last;
    last.name = "last.txt";
    for (int64_t claim : {int64_t{3}, int64_t{16}, int64_t{18}, int64_t{0xFFFFFFFF}}) {
        SCOPED_TRACE(claim);
        sized.claimed = claim;
        const std::string archive = Put("sized", Archive({sized, last}));
        for (bool extract : {false, true}) {
            SCOPED_TRACE(extract ? "extract" : "test");
            const std::string out = Join(ScratchDir("arj-sized-out"), "out");
            ArjRun x;
            EXPECT_EQ(x.Go(archive, extract ? out : ""), 2);
            EXPECT_EQ(x.errors, std::vector<int>{25109});
            ASSERT_EQ(x.ends.size(), 2u);
            EXPECT_FALSE(x.ends[0].second);
            EXPECT_TRUE(x.ends[1].second);
            if (!extract) continue;
            EXPECT_EQ(ReadTree(out), (Tree{{"last.txt", last.data}}));
        }
    }
}

// Memory that runs out while the first entry is decoded (raised where the
// decoder writes, as a decoder that cannot get its window or tables
// raises it) fails that entry alone, whatever the method.
TEST(UnArj, MemoryRunningOutFailsOnlyTheEntryBeingDecoded) {
    for (const char* archive : {"arj/m1.arj", "arj/m4.arj"}) {
        SCOPED_TRACE(archive);
        ArjRun x;
        x.setup = [](TUnBase& r) { test::RaiseOnFirstWrite(r, 25253); };
        EXPECT_EQ(x.Go(Fixture(archive)), 5);
        EXPECT_EQ(x.raised, 0);
        EXPECT_EQ(x.errors, std::vector<int>{25253});
        ASSERT_EQ(x.ends.size(), 5u);
        EXPECT_FALSE(x.ends[0].second);
        EXPECT_EQ(std::count_if(x.ends.begin(), x.ends.end(), [](const auto& e) { return e.second; }), 4);
    }
}

TEST(ArjFormat, HeaderSearchAndBoundsOfTheBasicHeader) {
    // The search takes only a header whose CRC holds, within its reach.
    const std::string arc = Archive({Entry{}});
    const std::string decoy = std::string("\x60\xEA\x10\x00", 4) + std::string(40, 'z');
    const std::string bytes = decoy + arc;
    auto read = [&bytes](int64_t at, void* b, int64_t n) -> int64_t {
        if (at < 0 || at >= static_cast<int64_t>(bytes.size())) return 0;
        n = std::min<int64_t>(n, static_cast<int64_t>(bytes.size()) - at);
        std::memcpy(b, bytes.data() + at, static_cast<size_t>(n));
        return n;
    };
    const int64_t size = static_cast<int64_t>(bytes.size());
    EXPECT_EQ(arj::FindHeader(read, size, 0, arj::kSearchSpan), static_cast<int64_t>(decoy.size()));
    EXPECT_EQ(arj::FindHeader(read, size, 0, static_cast<int64_t>(decoy.size())), -1);
    arj::THeader h;
    EXPECT_EQ(arj::ReadHeader(read, size, 0, h), arj::TParse::Crc);
    EXPECT_EQ(arj::ReadHeader(read, size, 44, h), arj::TParse::Ok);
    EXPECT_EQ(h.Name, "built.arj");
    EXPECT_EQ(arj::ReadHeader(read, size - 3, 44, h), arj::TParse::Ok);
    EXPECT_EQ(arj::ReadHeader(read, 60, 44, h), arj::TParse::Short);

    // Fixed fields that do not fit, a name start outside the header, a
    // comment without its NUL.
    std::string basic = Basic(Entry{});
    EXPECT_FALSE(arj::ParseBasic(reinterpret_cast<const uint8_t*>(basic.data()), 29, h));
    basic[0] = static_cast<char>(basic.size() + 1);
    EXPECT_FALSE(arj::ParseBasic(reinterpret_cast<const uint8_t*>(basic.data()), basic.size(), h));
    basic[0] = 30;
    basic.pop_back();
    basic += "comment";
    ASSERT_TRUE(arj::ParseBasic(reinterpret_cast<const uint8_t*>(basic.data()), basic.size(), h));
    EXPECT_EQ(h.Name, "file.txt");
    EXPECT_EQ(h.Comment, "comment");
}

}  // namespace
}  // namespace bramble
