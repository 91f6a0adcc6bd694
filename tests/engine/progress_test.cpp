// Progress over the whole archive, as the readers report it: every entry's
// bytes count once, so the archive's share rises with the work and reaches
// 100 only with the last entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/readers/readers.h"
#include "engine/writers/writers.h"
#include "support/testenv.h"

namespace bramble {
namespace {

using test::Join;
using test::ScratchDir;
using test::WriteAll;

std::string Noise(size_t size, uint32_t seed) {
    std::string s(size, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return s;
}

struct Case {
    const char* name;
    TArcType kind;
    TCompressMethod method;
};

TEST(ReaderProgress, StoredEntriesCountOnceTowardsTheArchive) {
    const Case cases[] = {
        {"lha", atLha, cmStore},
        {"bh", atBh, cmStore},
        {"bh-fuse", atBh, cmFuse},
        {"zip", atZip, cmStore},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = ScratchDir(std::string("progress-") + c.name);
        const std::string src = Join(dir, "src");
        std::filesystem::create_directories(src);
        // Noise stays stored even where the method would compress.
        WriteAll(Join(src, "a.bin"), Noise(300000, 1));
        WriteAll(Join(src, "b.bin"), Noise(300000, 2));
        const std::string archive = Join(dir, std::string("two.") + c.name);

        std::unique_ptr<TCompBase> w = CreateWriterForKind(c.kind);
        ASSERT_TRUE(w);
        w->SetCompressMethod(c.method);
        w->SetDefaultDir(src);
        w->SetArchiveFile(archive);
        w->FileSpec() = {"a.bin", "b.bin"};
        w->SetSwitch(swAdd);
        ASSERT_EQ(w->Compress(), 2);

        std::unique_ptr<TUnBase> r = CreateReaderForKind(c.kind);
        ASSERT_TRUE(r);
        int ended = 0;
        std::vector<std::pair<int, int>> seen;  // entries ended so far, archive percent
        r->OnEnd = [&](TObject*, const std::string&, bool) { ++ended; };
        r->OnProgress = [&](TObject*, uint8_t, uint8_t archivePercent) { seen.emplace_back(ended, archivePercent); };
        r->SetArchiveFile(archive);
        r->FileSpec() = {"*.*"};
        ASSERT_EQ(r->Test(), 2);
        ASSERT_EQ(ended, 2);
        ASSERT_FALSE(seen.empty());

        int last = 0;
        for (const auto& [done, percent] : seen) {
            EXPECT_GE(percent, last);
            last = percent;
            // Half the bytes are in each entry.
            EXPECT_LE(percent, done == 0 ? 51 : 100);
        }
        // The second entry's blocks carry the archive from half to whole,
        // not straight to 100.
        int between = 0;
        for (const auto& [done, percent] : seen)
            if (done == 1 && percent > 51 && percent < 100) ++between;
        EXPECT_GT(between, 0);
    }
}

// An LHA entry left out of an extraction counts as done at once: the run's
// progress says so before the next entry's first block.
TEST(ReaderProgress, AnLhaEntryLeftOutMovesTheArchiveOnAtOnce) {
    struct Skip {
        const char* name;
        bool existing;     // a.bin is there already, and is kept
        bool beginSaysNo;  // OnBegin refuses a.bin
    };
    const Skip cases[] = {
        {"existing output kept", true, false},
        {"OnBegin refuses", false, true},
    };
    const std::string dir = ScratchDir("progress-lha-skip");
    const std::string src = Join(dir, "src");
    std::filesystem::create_directories(src);
    WriteAll(Join(src, "a.bin"), Noise(300000, 3));
    WriteAll(Join(src, "b.bin"), Noise(300000, 4));
    const std::string archive = Join(dir, "two.lzh");
    {
        std::unique_ptr<TCompBase> w = CreateWriterForKind(atLha);
        w->SetCompressMethod(cmStore);
        w->SetDefaultDir(src);
        w->SetArchiveFile(archive);
        w->FileSpec() = {"a.bin", "b.bin"};
        w->SetSwitch(swAdd);
        ASSERT_EQ(w->Compress(), 2);
    }
    for (const Skip& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = Join(dir, std::string("out-") + (c.existing ? "kept" : "refused"));
        std::filesystem::create_directories(out);
        if (c.existing) WriteAll(Join(out, "a.bin"), "mine");

        std::unique_ptr<TUnBase> r = CreateReaderForKind(atLha);
        std::vector<std::pair<int, int>> seen;  // file percent, archive percent
        r->OnProgress = [&](TObject*, uint8_t filePercent, uint8_t archivePercent) {
            seen.emplace_back(filePercent, archivePercent);
        };
        if (c.beginSaysNo)
            r->OnBegin = [](TObject*, const std::string& FN, int, bool& extract) {
                extract = FN.find("a.bin") == std::string::npos;
            };
        r->SetArchiveFile(archive);
        r->FileSpec() = {"*.*"};
        r->SetExtractDir(out);
        r->SetConfirmOverwrites(false);
        r->SetOverwriteMode(omSkip);
        ASSERT_EQ(r->Extract(), 1);
        if (c.existing) {
            EXPECT_EQ(test::ReadAll(Join(out, "a.bin")), "mine");
        }
        EXPECT_EQ(test::ReadAll(Join(out, "b.bin")).size(), 300000u);

        // The first report that gets as far as half the run is the left-out
        // entry's own, whole; b.bin's blocks come after it.
        const auto half = std::find_if(seen.begin(), seen.end(), [](const auto& p) { return p.second >= 50; });
        ASSERT_NE(half, seen.end());
        EXPECT_EQ(*half, std::make_pair(100, 50));
        EXPECT_EQ(seen.back().second, 100);
    }
}

}  // namespace
}  // namespace bramble
