// The ZIP reader against archives whose central directory and local headers
// disagree (tests/make-fixtures, ziphostile/): entries that overlap or share
// one local header, with which a small archive writes without end, are
// refused before they decode while the run goes on; every entry is written
// and reported under the name the directory lists, whatever its local
// header names.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/exception.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/lister/dovex.h"
#include "engine/readers/unzip.h"
#include "engine/readers/zipcheck.h"
#include "support/testenv.h"
#include "support/zipbuild.h"

// Archive entries are given by name, the others left at their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bramble {
namespace {

using test::BuildZip;
using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::ZItem;

namespace fs = std::filesystem;

std::string Hostile(const std::string& name) { return Join(Join(test::FixturesDir(), "ziphostile"), name); }

const std::string kAfter = "a sound entry after the hostile ones\n";

struct ReadRun {
    std::vector<std::pair<std::string, bool>> ends;  // names as the reader gives them, and the verdict
    std::vector<std::pair<std::string, int>> errors;
    std::vector<std::string> begun;
    int raised = 0;
};

// Extracts into Dir, or tests when Dir is empty.
ReadRun Read(const std::string& archive, const std::string& dir) {
    ReadRun run;
    TUnZIP r;
    r.SetArchiveFile(archive);
    r.FileSpec() = {"*.*"};
    if (!dir.empty()) r.SetExtractDir(dir);
    r.OnBegin = [&](TObject*, const std::string& fn, int, bool&) { run.begun.push_back(fn); };
    r.OnEnd = [&](TObject*, const std::string& fn, bool pass) { run.ends.emplace_back(ExtractFileName(fn), pass); };
    r.OnError = [&](TObject*, const std::string& fn, const std::string&, const std::string&, int code) {
        run.errors.emplace_back(fn, code);
    };
    try {
        dir.empty() ? r.Test() : r.Extract();
    } catch (const E_RAISE& e) {
        run.raised = e.Code();
    }
    return run;
}

// Every file below Root by its '/' path relative to it, with its bytes.
std::map<std::string, std::string> Tree(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(fs::u8path(root)))
        if (e.is_regular_file())
            files[fs::relative(e.path(), fs::u8path(root)).generic_string()] = ReadAll(e.path().string());
    return files;
}

// What the lister lists, name and size, in order.
std::vector<std::pair<std::string, int64_t>> Listed(const std::string& archive) {
    std::vector<std::pair<std::string, int64_t>> listed;
    TDovex d;
    d.SetArchiveFile(archive);
    d.SetFileSpec({"*.*"});
    d.OnRead = [&](TObject*, int, int) { listed.emplace_back(d.EntryInfo.FileName, d.EntryInfo.UnpackedSize); };
    d.ReadArchive();
    return listed;
}

// The packed size of the first directory record made Size: in its field, or
// in a ZIP64 extra field behind the field's 0xFFFFFFFF (the record has none).
std::string Overstated(std::string zip, uint64_t size, bool zip64) {
    auto le = [](uint64_t v, int n) { return std::string(reinterpret_cast<const char*>(&v), n); };  // little-endian host
    auto at = [&](size_t pos) { return zip::GetLe32(reinterpret_cast<const uint8_t*>(&zip[pos])); };
    const size_t end = zip.size() - zip::kEndSize, record = at(end + 16);
    zip.replace(record + 20, 4, le(zip64 ? 0xFFFFFFFF : size, 4));
    if (!zip64) return zip;
    zip.replace(end + 12, 4, le(at(end + 12) + 12, 4));
    zip.insert(record + zip::kCentralSize + (at(record + 28) & 0xFFFF), le(0x00080001, 4) + le(size, 8));
    zip.replace(record + 30, 2, le(12, 2));
    return zip;
}

TEST(ZipReader, OverlappingEntriesAreRefusedBeforeTheyDecode) {
    struct Case {
        std::string archive;
        std::string decoded;  // the one entry of the overlapping ones that is read
        std::vector<std::string> refused;
        std::string bytes = {};  // of an archive made here rather than a fixture
    };
    std::vector<std::string> inner, outer, named;
    for (int i = 1; i < 10; ++i) {
        inner.push_back("f0" + std::to_string(i) + ".bin");
        outer.push_back("f0" + std::to_string(9 - i) + ".bin");
        named.push_back("s0" + std::to_string(i) + ".bin");
    }
    BRAMBLE_NEED_FIXTURE("ziphostile/overlap.zip");
    // A deflate stream that ends on its own long before the packed size its
    // record declares takes up only what it decoded.
    ZItem big{.name = "big.bin", .data = std::string(20000, 'b'), .method = 8};
    const std::string sound = BuildZip({big, {.name = "after.txt", .data = kAfter}});
    const std::vector<Case> cases = {
        {"overstated.zip", "big.bin", {}, Overstated(sound, 0xFFFFFFF0, false)},
        {"overstated64.zip", "big.bin", {}, Overstated(sound, (uint64_t{1} << 63) - 1, true)},
        // Each entry holds the headers and data of all after it.
        {"overlap.zip", "f00.bin", inner},
        // So they are still when the first overstates its size.
        {"overlap-overstated.zip", "f00.bin", inner, Overstated(ReadAll(Hostile("overlap.zip")), 0xFFFFFFF0, false)},
        // The innermost first: each one after holds what came before.
        {"overlap-reversed.zip", "f09.bin", outer},
        // Behind a program stub, the offsets counting it.
        {"sfx-overlap.exe", "f00.bin", inner},
        // Ten directory records of one local header, under its name or others.
        {"shared.zip", "kernel.bin", std::vector<std::string>(9, "kernel.bin")},
        {"shared-named.zip", "s00.bin", named},
        // Their records on ten disks of a set that is one file.
        {"shared-disks.zip", "s00.bin", named},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        std::string archive = Hostile(c.archive);
        if (!c.bytes.empty()) test::WriteAll(archive = Join(ScratchDir("unzip-made"), c.archive), c.bytes);
        const auto listed = Listed(archive);
        ASSERT_EQ(listed.size(), c.refused.size() + 2);
        std::map<std::string, int64_t> sizes(listed.begin(), listed.end());

        // Each refused entry fails: it is named, before anything is asked or
        // opened for it, and ends; the next entries go on.
        std::vector<std::pair<std::string, int>> refusals;
        std::vector<std::pair<std::string, bool>> verdicts = {{c.decoded, true}};
        for (const std::string& name : c.refused) {
            refusals.emplace_back(name, 25248);
            verdicts.emplace_back(name, false);
        }
        verdicts.emplace_back("after.txt", true);
        for (const bool extract : {false, true}) {
            SCOPED_TRACE(extract ? "extracting" : "testing");
            const std::string dir = extract ? ScratchDir("unzip-overlap-" + c.archive) : "";
            const ReadRun run = Read(archive, dir);
            EXPECT_EQ(run.raised, 0);
            EXPECT_EQ(run.errors, refusals);
            EXPECT_EQ(run.ends, verdicts);
            EXPECT_EQ(run.begun.size(), 2u);
            if (!extract) continue;
            const std::map<std::string, std::string> written = Tree(dir);
            ASSERT_EQ(written.size(), 2u);
            EXPECT_EQ(static_cast<int64_t>(written.at(c.decoded).size()), sizes.at(c.decoded));
            EXPECT_EQ(written.at("after.txt"), kAfter);
        }

        // The tester says OK for the entries read and FAIL for the refused
        // ones, with nothing more to say of them than their refusal.
        TZipCheck check;
        check.SetArchiveFile(archive);
        check.FileSpec() = {"*.*"};
        std::vector<std::pair<std::string, bool>> status;
        std::vector<std::pair<std::string, int>> errors;
        check.OnStatus = [&](TObject*, const std::string& fn, bool pass) { status.emplace_back(fn, pass); };
        check.OnError = [&](TObject*, const std::string& fn, const std::string&, const std::string&, int code) {
            errors.emplace_back(fn, code);
        };
        EXPECT_NO_THROW(check.TestArchive());
        EXPECT_EQ(status, verdicts);
        EXPECT_EQ(errors, refusals);
    }
}

TEST(ZipReader, EntriesAreWrittenUnderTheNamesTheDirectoryLists) {
    struct Case {
        std::string archive;
        std::map<std::string, std::string> files;  // as the directory lists them
    };
    const std::vector<Case> cases = {
        // The local headers name autorun.inf and evil.exe.
        {"renamed.zip", {{"readme.txt", "[autorun]\nopen=evil.exe\n"}, {"photo.jpg", "MZ and not a photo"}}},
        // Local DOCS\README.TXT and docs/Notes.txt: only case and separators differ.
        {"recased.zip", {{"docs/readme.txt", "read me\n"}, {"docs/notes.txt", "some notes\n"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        BRAMBLE_NEED_FIXTURE("ziphostile/" + c.archive);
        const std::string archive = Hostile(c.archive);
        std::vector<std::pair<std::string, bool>> listed;
        for (const auto& [name, size] : Listed(archive)) listed.emplace_back(ExtractFileName(name), true);

        const std::string dir = ScratchDir("unzip-names-" + c.archive);
        const ReadRun extracted = Read(archive, dir);
        EXPECT_EQ(extracted.raised, 0);
        EXPECT_TRUE(extracted.errors.empty());
        EXPECT_EQ(extracted.ends, listed);
        EXPECT_EQ(Tree(dir), c.files);

        // Tested, the entries are told under the same names.
        const ReadRun tested = Read(archive, "");
        EXPECT_TRUE(tested.errors.empty());
        EXPECT_EQ(tested.ends, listed);
    }
}

// A Windows archiver wrote this one with "xx" in the local headers' names
// where the directory has a letter beyond ASCII (the whole name in a
// Unicode path extra field).
TEST(ZipReader, AStandInLocalNameGivesWayToTheListedOne) {
    BRAMBLE_NEED_CORPUS();
    const std::string archive = Join(Join(test::CorpusDir(), "libarchive"), "test_read_format_zip_7075_utf8_paths.zip");
    std::vector<std::pair<std::string, bool>> listed;
    for (const auto& [name, size] : Listed(archive)) listed.emplace_back(name, true);
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[1].first.find("xx"), std::string::npos);

    const ReadRun tested = Read(archive, "");
    EXPECT_TRUE(tested.errors.empty());
    EXPECT_EQ(tested.ends, listed);
    const std::string dir = ScratchDir("unzip-names-7075");
    const ReadRun extracted = Read(archive, dir);
    EXPECT_TRUE(extracted.errors.empty());
    EXPECT_EQ(extracted.ends.size(), 4u);
    EXPECT_EQ(Tree(dir).size(), 4u);
    for (const auto& [name, content] : Tree(dir)) EXPECT_EQ(name.find("xx"), std::string::npos) << name;
}

}  // namespace
}  // namespace bramble
