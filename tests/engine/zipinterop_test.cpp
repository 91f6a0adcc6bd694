// What the ZIP reader extracts from archives that Info-ZIP zip (every
// level, encrypted, folders, Unix extra fields, comments, streamed to a
// pipe and from one, self-extractors), 7z and Python's zipfile wrote,
// compared file for file and byte for byte with what unzip extracts from
// the same archives. Native only: unzip runs beside the engine.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/core/exception.h"
#include "engine/readers/unzip.h"
#include "support/testenv.h"

namespace bramble {
namespace {

using test::Join;
using test::ScratchDir;

namespace fs = std::filesystem;

// Every regular file below Root by its path relative to it, with its bytes.
std::map<std::string, std::string> Tree(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            files[fs::relative(e.path(), root).generic_string()] = test::ReadAll(e.path().string());
    return files;
}

TEST(ZipReader, ExtractsWhatPeersWriteExactlyAsUnzipDoes) {
    std::vector<std::string> archives = {
        "plain.zip",      "stored.zip", "comment.zip", "encrypted.zip",      "streamed.zip", "sfx.exe",
        "sfx_15770.exe",  "python.zip", "7z.zip",      "zeros_prefixed.zip", "dirs.zip",     "many.zip",
        "app.jar",
    };
    for (const std::string name : {"7z-mx0.zip", "7z-mx9.zip", "7z-enc.zip", "python-stored.zip", "streamed-enc.zip",
                                   "stdin.zip"})
        archives.push_back("zipinterop/" + name);
    for (int level = 0; level <= 9; ++level) archives.push_back("zipinterop/level" + std::to_string(level) + ".zip");

    for (const std::string& name : archives) {
        SCOPED_TRACE(name);
        const std::string archive = Join(test::FixturesDir(), name);
        std::string tag = name;
        for (char& c : tag)
            if (c == '/') c = '-';
        const std::string peer = ScratchDir("interop-unzip-" + tag);
        const std::string ours = ScratchDir("interop-ours-" + tag);

        // unzip says 1 for warnings (bytes in front of the archive).
        const std::string command =
            "unzip -qq -o -P secret '" + archive + "' -d '" + peer + "' > /dev/null 2>&1";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << command;

        TUnZIP r;
        std::vector<int> errors;
        std::vector<std::string> failed;
        r.SetArchiveFile(archive);
        r.SetExtractDir(ours);
        r.FileSpec() = {"*.*"};
        r.SetPasswords({"secret"});
        r.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
            errors.push_back(code);
        };
        r.OnEnd = [&](TObject*, const std::string& fn, bool pass) {
            if (!pass) failed.push_back(fn);
        };
        int count = 0;
        try {
            count = r.Extract();
        } catch (const E_RAISE& e) {
            ADD_FAILURE() << "raised " << e.Code();
        }
        EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
        EXPECT_TRUE(failed.empty()) << ::testing::PrintToString(failed);

        // Empty folders are unzip's alone: the reader makes folders only
        // for the files in them.
        const auto expected = Tree(peer);
        const auto got = Tree(ours);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(count, static_cast<int>(expected.size()));
        ASSERT_EQ(got.size(), expected.size());
        for (auto e = expected.begin(), g = got.begin(); e != expected.end(); ++e, ++g) {
            EXPECT_EQ(g->first, e->first);
            EXPECT_TRUE(g->second == e->second) << e->first << " differs from unzip's";
        }
    }
}

}  // namespace
}  // namespace bramble

#endif  // _WIN32
