// Entries whose output file cannot be made: a file where a folder should be,
// a name part longer than 255 characters, a path longer than the platform
// allows (fifteen thousand folders deep). Each fails alone, reported under
// its name and ended as failed, before any folder of its own is made; the
// entries after it are still written. The archives are built here, in
// memory, so the same cases run natively and under Wine.
//
// Entries damaged where damage really happens (the archive cut inside the
// entry, a byte of its data flipped, a wrong password that passes the
// cipher's check) leave no file behind that could pass for the entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/crc.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/formats/bh.h"
#include "engine/formats/gzip.h"
#include "engine/formats/lha.h"
#include "engine/formats/zoo.h"
#include "engine/lister/dovex.h"
#include "engine/bindings/cabinet.h"
#include "engine/readers/readers.h"
#include "engine/writers/writers.h"
#include "engine/writers/zip.h"
#include "support/libarchives.h"
#include "support/testenv.h"
#include "support/zipbuild.h"

// Test archives name only the fields they need.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bramble {
namespace {

using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

// Stored name ('/' between folders) and content.
using Files = std::vector<std::pair<std::string, std::string>>;

constexpr uint32_t kDos2001 = 0x2A4320A3;  // 2001-02-03 04:05:06

std::string Str(const std::vector<uint8_t>& b) { return {b.begin(), b.end()}; }

std::string BackslashName(std::string name) {
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

uint16_t Crc16(const std::string& s) {
    uint16_t r = 0;
    Crc16Block(s.data(), s.size(), r);
    return r;
}

void Le(std::string& out, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

std::string ZipOf(const Files& files) {
    std::vector<test::ZItem> items;
    for (const auto& [name, data] : files) items.push_back({name, data});
    return test::BuildZip(items);
}

std::string TarHeader(const std::string& name, size_t size, char type) {
    auto octal = [](uint64_t v, size_t width) {
        std::string s(width - 1, '0');
        for (size_t i = width - 1; i-- > 0 && v > 0; v >>= 3) s[i] = static_cast<char>('0' + (v & 7));
        return s + '\0';
    };
    std::string h(512, '\0');
    h.replace(0, std::min<size_t>(name.size(), 100), name.substr(0, 100));
    h.replace(100, 8, octal(0644, 8));
    h.replace(124, 12, octal(size, 12));
    h.replace(136, 12, octal(981173106, 12));
    h[156] = type;
    h.replace(148, 8, "        ");
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    h.replace(148, 8, octal(sum, 7) + " ");
    return h;
}

std::string Padded(const std::string& data) { return data + std::string((512 - data.size() % 512) % 512, '\0'); }

// A name over the 100 bytes of the header comes in a GNU long-name record.
std::string TarOf(const Files& files) {
    std::string out;
    for (const auto& [name, data] : files) {
        if (name.size() >= 100) out += TarHeader("././@LongLink", name.size() + 1, 'L') + Padded(name + '\0');
        out += TarHeader(name, data.size(), '0') + Padded(data);
    }
    return out + std::string(1024, '\0');
}

// Level 0 headers, stored (-lh0-), DOS separators.
std::string LhaOf(const Files& files) {
    std::string out;
    for (const auto& [name, data] : files) {
        lha::TLevel0 h;
        h.PackedSize = h.UnpackedSize = static_cast<uint32_t>(data.size());
        h.DosDate = kDos2001;
        h.Name = BackslashName(name);
        h.Crc = Crc16(data);
        const std::vector<uint8_t> header = lha::MakeLevel0(h);
        EXPECT_FALSE(header.empty()) << name;
        out += Str(header) + data;
    }
    return out + '\0';
}

std::string BhOf(const Files& files) {
    std::string out;
    for (const auto& [name, data] : files) {
        bh::THeader h;
        h.Method = bh::kMethodStored;
        h.DosDate = kDos2001;
        h.PackedSize = h.UnpackedSize = static_cast<uint32_t>(data.size());
        h.Crc = test::Crc32(data);
        h.Attr = 0x20;
        out += Str(bh::MakeHeader(h, BackslashName(name))) + data;
    }
    return out;
}

// Stored entries; the folder goes in the directory field.
std::string ZooOf(const Files& files) {
    std::string out = Str(zoo::MakeArchiveHeader(zoo::kArchiveHeaderSize));
    for (const auto& [path, data] : files) {
        const size_t cut = path.rfind('/');
        zoo::TEntry e;
        e.ShortName = path.substr(cut + 1).substr(0, 12);
        e.LongName = path.substr(cut + 1);
        if (cut != std::string::npos) e.Directory = path.substr(0, cut);
        e.Stamp = kDos2001;
        e.Crc = Crc16(data);
        e.UnpackedSize = e.PackedSize = static_cast<uint32_t>(data.size());
        e.DataOffset = static_cast<uint32_t>(out.size() + zoo::MakeEntry(e).size());
        e.Next = static_cast<uint32_t>(e.DataOffset + data.size());
        out += Str(zoo::MakeEntry(e)) + data;
    }
    zoo::TEntry last;
    return out + Str(zoo::MakeEntry(last));
}

std::string GzipOf(const std::string& name, const std::string& data) {
    const auto head = gzip::MakeHeader(gzip::kFName, 981173106);
    std::string out(head.begin(), head.end());
    out += name + '\0';
    out += '\x01';  // one stored deflate block
    Le(out, static_cast<uint32_t>(data.size()), 2);
    Le(out, static_cast<uint16_t>(~data.size()), 2);
    out += data;
    Le(out, test::Crc32(data), 4);
    Le(out, static_cast<uint32_t>(data.size()), 4);
    return out;
}

// What one extraction reported.
struct Outcome {
    int count = 0;
    int raised = 0;
    std::vector<int> errors;
    std::multiset<std::string> refusedNames;      // the names 25235 came with
    std::map<std::string, bool> ends;             // OnEnd: output path, CRC_PASS
    std::map<std::string, std::string> written;   // below the target, '/' separators
};

void Collect(const std::string& dir, const std::string& prefix, std::map<std::string, std::string>& out) {
    os::Finder f;
    os::FindData fd;
    for (int rc = f.First(Join(dir, "*"), fd); rc == 0; rc = f.Next(fd)) {
        if (fd.name == "." || fd.name == "..") continue;
        if (fd.attributes & os::faDirectory)
            Collect(Join(dir, fd.name), prefix + fd.name + "/", out);
        else
            out[prefix + fd.name] = ReadAll(Join(dir, fd.name));
    }
}

// Extracts the archive through the reader the program picks for it.
Outcome Extract(const std::string& archive, const std::string& target,
                const std::vector<std::string>& passwords = {}) {
    Outcome r;
    TDovex lister;
    lister.SetArchiveFile(archive);
    std::unique_ptr<TUnBase> reader = CreateReaderForKind(lister.ArcType());
    EXPECT_NE(reader, nullptr) << archive;
    if (!reader) return r;
    reader->OnError = [&r](TObject*, const std::string& fn, const std::string&, const std::string&, int code) {
        r.errors.push_back(code);
        if (code == 25235) r.refusedNames.insert(fn);
    };
    reader->OnEnd = [&r](TObject*, const std::string& fn, bool pass) { r.ends[fn] = pass; };
    reader->ProgressHook = nullptr;
    reader->SetArchiveFile(archive);
    reader->SetExtractDir(target);
    reader->FileSpec() = {"*.*"};
    reader->SetConfirmOverwrites(false);
    reader->SetPasswords(passwords);
    try {
        r.count = reader->Extract();
    } catch (const E_RAISE& e) {
        r.raised = e.Code();
    } catch (const Exception&) {
        r.raised = -1;  // the cabinet library's failure
    }
    Collect(target, "", r.written);
    return r;
}

std::string DeepName() {
    std::string name;
    for (int i = 0; i < 15000; ++i) name += "d/";
    return name + "deep.txt";
}

struct Kind {
    const char* file;
    std::function<std::string(const Files&)> build;
    bool longNames;  // holds names of 30,000 bytes
};
const std::vector<Kind> kKinds = {
    {"a.zip", ZipOf, true}, {"a.tar", TarOf, true}, {"a.bh", BhOf, true},
    {"a.lzh", LhaOf, false}, {"a.zoo", ZooOf, false},
};

// Builds Files as the kind, extracts it, and expects every entry written
// but those Refused, each of which failed alone: 25235 under the name its
// OnEnd carries, nothing else reported, nothing raised. The target folder.
std::string ExpectOnlyRefused(const Kind& k, const std::string& test, const Files& files,
                              const std::vector<std::string>& refused) {
    const std::string dir = ScratchDir(test + "-" + k.file);
    const std::string archive = Join(dir, k.file);
    WriteAll(archive, k.build(files));
    const std::string target = Join(dir, "out");

    const Outcome r = Extract(archive, target);
    EXPECT_EQ(r.raised, 0);
    EXPECT_EQ(r.count, static_cast<int>(files.size()));
    std::map<std::string, std::string> expected;
    for (const auto& [name, data] : files)
        if (std::find(refused.begin(), refused.end(), name) == refused.end()) expected[name] = data;
    EXPECT_EQ(r.written, expected);
    EXPECT_EQ(r.errors, std::vector<int>(refused.size(), 25235));
    std::multiset<std::string> failed;
    int passed = 0;
    for (const auto& [name, pass] : r.ends) {
        if (pass)
            ++passed;
        else
            failed.insert(name);
    }
    EXPECT_EQ(passed, static_cast<int>(expected.size()));
    EXPECT_EQ(failed, r.refusedNames);
    EXPECT_EQ(failed.size(), refused.size());
    for (const std::string& stored : refused) {
        const std::string tail = BackslashName(stored);
        EXPECT_EQ(std::count_if(failed.begin(), failed.end(),
                                [&](const std::string& n) {
                                    const std::string shown = BackslashName(n);
                                    return shown.size() >= tail.size() &&
                                           shown.compare(shown.size() - tail.size(), tail.size(), tail) == 0;
                                }),
                  1)
            << stored.substr(0, 40);
    }
    return target;
}

TEST(EntryOutput, AnEntryWhoseFileCannotBeMadeFailsAloneAndTheRunGoesOn) {
    const std::string longPart = std::string(300, 'p') + ".txt";
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.file);
        // "x" is written as a file, so nothing can be made inside it.
        Files files = {{"first.txt", "first\n"}, {"x", "a file\n"}, {"x/inside.txt", "refused\n"}};
        std::vector<std::string> refused = {"x/inside.txt"};
        if (k.longNames) {
            files.push_back({longPart, "refused\n"});
            refused.push_back(longPart);
        }
        files.push_back({"last.txt", "last\n"});
        ExpectOnlyRefused(k, "entryoutput", files, refused);
    }
}

TEST(EntryOutput, ADeepPathIsRefusedBeforeAnyOfItsFoldersIsMade) {
    for (const Kind& k : kKinds) {
        if (!k.longNames) continue;
        SCOPED_TRACE(k.file);
        const std::string deep = DeepName();
        const std::string target = ExpectOnlyRefused(
            k, "entryoutput-deep", {{"first.txt", "first\n"}, {deep, "refused\n"}, {"last.txt", "last\n"}}, {deep});
        EXPECT_FALSE(DirExists(Join(target, "d")));
    }
}

TEST(EntryOutput, ASingleEntryKindEndsItsEntryFailedInsteadOfRaising) {
    struct Single {
        const char* file;
        std::string bytes;
        const char* output;  // a folder of this name is in the way
    };
    const std::vector<Single> kinds = {
        {"g.gz", GzipOf("inner.txt", "gzip data\n"), "inner.txt"},
        {"u.uue", "begin 644 decoded.txt\n#86)C\n`\nend\n", "decoded.txt"},
    };
    for (const Single& k : kinds) {
        SCOPED_TRACE(k.file);
        const std::string dir = ScratchDir(std::string("entryoutput-single-") + k.file);
        const std::string archive = Join(dir, k.file);
        WriteAll(archive, k.bytes);
        const std::string target = Join(dir, "out");
        ASSERT_TRUE(os::DirCreate(target));
        ASSERT_TRUE(os::DirCreate(Join(target, k.output)));

        const Outcome r = Extract(archive, target);
        EXPECT_EQ(r.raised, 0);
        EXPECT_EQ(r.errors, std::vector<int>({25235}));
        ASSERT_EQ(r.ends.size(), 1u);
        EXPECT_FALSE(r.ends.begin()->second);
        EXPECT_EQ(r.refusedNames, std::multiset<std::string>({r.ends.begin()->first}));
        EXPECT_TRUE(r.written.empty());
        EXPECT_TRUE(DirExists(Join(target, k.output)));
    }
}


// ---- damaged entries ------------------------------------------------------------------------

// Two sound entries, then one of 12000 bytes no compressor makes smaller
// and 12000 every one does: damage 6000 bytes into its data hits it alone.
Files Sound() {
    std::string data;
    for (uint32_t x = 1; data.size() < 12000; x = x * 1103515245u + 12345u) data += static_cast<char>(x >> 16);
    for (int i = 0; data.size() < 24000; ++i) data += "line " + std::to_string(i % 97) + " of the entry\n";
    return {{"first.txt", "the first entry\n"}, {"second.txt", std::string(3000, 's')}, {"random.bin", data}};
}

// The archive a writer of ours makes of Sound(), as bytes.
std::string Written(TArcType kind, TCompressMethod method, const std::string& dir) {
    std::unique_ptr<TCompBase> w = CreateWriterForKind(kind);
    w->SetCompressMethod(method);
    const std::string src = Join(dir, "src");
    os::DirCreate(src);
    for (const auto& [name, data] : Sound()) {
        WriteAll(Join(src, name), data);
        w->FileSpec().push_back(name);
    }
    w->SetDefaultDir(src);
    w->SetTempDir(dir);
    w->SetArchiveFile(Join(dir, "made" + w->DefaultExt()));
    EXPECT_EQ(w->Compress(), 3);
    return ReadAll(w->ArchiveFile());
}

template <typename Item> std::vector<Item> Items(const Files& files) {
    std::vector<Item> items;
    for (const auto& [name, data] : files) items.push_back({name, data});
    return items;
}

enum class Fault { Cut, Flip, Password };
using Where = std::function<size_t(const std::string& bytes)>;
Where Into(const std::string& name) {
    return [=](const std::string& bytes) { return bytes.find(name) + 6000; };
}

struct Damage {
    std::string file;
    Fault fault;
    std::function<std::string(const std::string& dir)> make;  // nullptr: the peers' archive `file`
    Where at;
    std::string victim, first;  // the damaged entry; one before it, if any
    std::vector<std::string> passwords = {};
};

std::vector<Damage> Damages() {
    const Files sound = Sound();
    Files upper = sound;  // as the DOS makers of RAR and ACE keep names
    for (auto& f : upper) f.first = UpperCase(f.first);
    std::vector<test::ZItem> crypt = Items<test::ZItem>(sound), streamed = crypt;
    crypt.back().password = "right";
    crypt.back().alsoOpensFor = "wrong";  // deciphers noise, past the header's check
    for (test::ZItem& it : streamed) it.flags = 0x08;
    const auto ours = [](TArcType kind, TCompressMethod m) { return [=](const std::string& d) { return Written(kind, m, d); }; };
    const auto built = [](std::function<std::string()> f) { return [f](const std::string&) { return f(); }; };
    const Where in = Into("random.bin"), inBig = Into("big.bin"), half = [](const std::string& b) { return b.size() / 2; };
    std::vector<Damage> d;
    for (Fault f : {Fault::Cut, Fault::Flip}) {
        d.push_back({"stored.zip", f, ours(atZip, cmStore), in, "random.bin", "first.txt"});
        d.push_back({"deflated.zip", f, ours(atZip, cmDeflate), in, "random.bin", "first.txt"});
        d.push_back({"a.lzh", f, ours(atLha, cmFrozen5), in, "random.bin", "first.txt"});
        d.push_back({"a.bh", f, ours(atBh, cmFuse), in, "random.bin", "first.txt"});
        d.push_back({"a.zoo", f, built([=] { return ZooOf(sound); }), in, "random.bin", "first.txt"});
        d.push_back({"a.gz", f, built([=] { return GzipOf("random.bin", sound.back().second); }), in, "random.bin", ""});
        d.push_back({"a.rar", f, built([=] { return testlib::RarArchive(Items<testlib::Item>(upper)); }),
                     Into("RANDOM.BIN"), "RANDOM.BIN", "FIRST.TXT"});
        d.push_back({"a.ace", f, built([=] { return testlib::AceArchive(Items<testlib::Item>(upper)); }),
                     Into("RANDOM.BIN"), "RANDOM.BIN", "FIRST.TXT"});
        d.push_back({"plain.arj", f, nullptr, inBig, "big.bin", "about.txt"});
        d.push_back({"plain.arc", f, nullptr, inBig, "big.bin", "about.txt"});
    }
    // A cut cabinet is refused whole before the library reads it; big.bin's
    // data is most of its second half.
    d.push_back({"plain.cab", Fault::Flip, nullptr, [](const std::string& b) { return b.size() - 60000; }, "big.bin",
                 "about.txt"});
    // Nothing tells where .Z codes end, so only a code no table holds yet
    // fails it; TAR and UU have no check, so only a cut fails them.
    d.push_back({"about12.Z", Fault::Flip, nullptr, [](const std::string&) { return size_t{6}; }, "about12", ""});
    d.push_back({"a.tar", Fault::Cut, built([=] { return TarOf(sound); }), in, "random.bin", "first.txt"});
    d.push_back({"hello.uue", Fault::Cut, nullptr, half, "hello.txt", ""});
    d.push_back({"xx.xxe", Fault::Cut, nullptr, half, "hello.txt", ""});
    d.push_back({"a.zip", Fault::Cut, built([=] { return test::BuildZip(Items<test::ZItem>(sound)); }), in,
                 "random.bin", "first.txt"});
    // The cut takes the last descriptor's last bytes: the entry has no sizes.
    d.push_back({"streamed.zip", Fault::Cut, built([=] { return test::BuildZip(streamed, false); }),
                 [](const std::string& b) { return b.size() - 6; }, "random.bin", "first.txt"});
    d.push_back({"crypt.zip", Fault::Password, built([=] { return test::BuildZip(crypt); }), nullptr, "random.bin",
                 "first.txt", {"wrong"}});
    return d;
}

std::string BaseName(const std::string& path) { return ExtractFileName(SlashToBackslash(path)); }

TEST(EntryOutput, AnEntryThatFailsLeavesNoFileThatCouldPassForIt) {
    std::map<std::string, std::string> source;
    for (const auto& [name, data] : Sound()) source[name] = source[UpperCase(name)] = data;
    for (const char* name : {"about.txt", "big.bin", "hello.txt", "sub/nested.txt"})
        source[BaseName(name)] = ReadAll(Join(test::FixturesDir(), Join("in", name)));
    for (const Damage& k : Damages()) {
        const char* how = k.fault == Fault::Cut ? "cut" : k.fault == Fault::Flip ? "flip" : "password";
        SCOPED_TRACE(k.file + ", " + how);
        if (!k.make && !test::FixtureAbsent(k.file).empty()) continue;
        if (k.file == "plain.cab" && !cab::FdiLoaded()) continue;
        const std::string dir = ScratchDir(std::string("entryoutput-damaged-") + how + "-" + k.file);
        std::string bytes = k.make ? k.make(dir) : ReadAll(Join(test::FixturesDir(), k.file));
        if (k.fault != Fault::Password) {
            const size_t at = k.at(bytes);
            ASSERT_LT(at, bytes.size());
            if (k.fault == Fault::Cut) bytes.resize(at);
            else bytes[at] = static_cast<char>(bytes[at] ^ 0x55);
        }
        WriteAll(Join(dir, k.file), bytes);
        const Outcome r = Extract(Join(dir, k.file), Join(dir, "out"), k.passwords);
        std::map<std::string, bool> verdict;
        for (const auto& [fn, pass] : r.ends) verdict[BaseName(fn)] = pass;
        // Every file left passed and is whole; every entry that passed left
        // its file, and only those.
        std::set<std::string> left;
        for (const auto& [path, data] : r.written) {
            left.insert(BaseName(path));
            EXPECT_TRUE(verdict[BaseName(path)] && data == source[BaseName(path)]) << path;
        }
        for (const auto& [name, pass] : verdict) EXPECT_EQ(pass, left.count(name) == 1) << name;
        EXPECT_TRUE(verdict.count(k.victim) && !verdict[k.victim]) << ::testing::PrintToString(r.errors);
        EXPECT_TRUE(k.first.empty() || left.count(k.first));
    }
}

// A file of the failed entry's name that it never opened stays as it was.
TEST(EntryOutput, AFileTheFailedEntryNeverOpenedStays) {
    std::vector<test::ZItem> unknownMethod = Items<test::ZItem>(Sound()), noPassword = unknownMethod;
    unknownMethod.back().method = 99;
    noPassword.back().password = "right";
    for (const auto& items : {unknownMethod, noPassword}) {
        const std::string dir = ScratchDir("entryoutput-untouched-" + std::to_string(items.back().method));
        WriteAll(Join(dir, "a.zip"), test::BuildZip(items));
        ASSERT_TRUE(os::DirCreate(Join(dir, "out")));
        WriteAll(Join(Join(dir, "out"), "random.bin"), "there before\n");
        Outcome r = Extract(Join(dir, "a.zip"), Join(dir, "out"), {"wrong"});
        for (const auto& [fn, pass] : r.ends) EXPECT_EQ(pass, BaseName(fn) != "random.bin");
        EXPECT_EQ(r.written["random.bin"], "there before\n");
        EXPECT_EQ(r.written["first.txt"], "the first entry\n");
    }
}

}  // namespace
}  // namespace bramble
