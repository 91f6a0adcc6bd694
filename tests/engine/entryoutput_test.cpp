// Entries whose output file cannot be made: a file where a folder should be,
// a name part longer than 255 characters, a path longer than the platform
// allows (fifteen thousand folders deep). Each fails alone, reported under
// its name and ended as failed, before any folder of its own is made; the
// entries after it are still written. The archives are built here, in
// memory, so the same cases run natively and under Wine.
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
#include "engine/readers/readers.h"
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
Outcome Extract(const std::string& archive, const std::string& target) {
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
    try {
        r.count = reader->Extract();
    } catch (const E_RAISE& e) {
        r.raised = e.Code();
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

}  // namespace
}  // namespace bramble
