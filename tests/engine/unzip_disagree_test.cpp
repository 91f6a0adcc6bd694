// The ZIP reader against archives whose central directory and local headers
// disagree (tests/make-fixtures, ziphostile/): every entry is written and
// reported under the name the directory lists, whatever its local header
// names.
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
#include "support/testenv.h"

namespace bramble {
namespace {

using test::Join;
using test::ReadAll;
using test::ScratchDir;

namespace fs = std::filesystem;

std::string Hostile(const std::string& name) { return Join(Join(test::FixturesDir(), "ziphostile"), name); }

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
