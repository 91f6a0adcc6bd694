// Runs that fill a real small volume (a tmpfs mounted here natively; under
// Wine the 1.44 MB tmpfs that tests/floppy prepared as disk 4). An update
// leaves the old archive whole whatever fills up, names the file whose write
// failed and leaves no temporary behind. An extraction says which file did
// not fit, leaves no part of it, and ends there.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/exception.h"
#include "engine/core/helpers.h"
#include "engine/bindings/cabinet.h"
#include "engine/bindings/makecab.h"
#include "engine/core/os.h"
#include "engine/readers/readers.h"
#include "engine/writers/gzip.h"
#include "engine/writers/tar.h"
#include "engine/writers/writers.h"
#include "engine/writers/zip.h"
#include "support/testenv.h"
#include "support/winefloppy.h"

namespace bramble {
namespace {

using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

// Bytes no deflate makes smaller, so sizes on the volume are known.
std::string Noise(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (char& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

// A folder on a volume of its own with Capacity bytes, or empty (and Why
// says why) where none can be had.
class SmallVolume {
public:
    SmallVolume() {
#ifdef _WIN32
        if (!test::RunningUnderWine() || !test::PreparedFloppiesHaveFloppySpace()) {
            why_ = "no 1.44 MB volume prepared (tests/floppy)";
            return;
        }
        dir_ = test::PreparedFloppy(4);
        if (dir_.empty()) why_ = "no fourth prepared disk";
        capacity_ = 1440 * 1024;
        Clear();
#else
        dir_ = ScratchDir("fulldisk-volume");
        capacity_ = 2 * 1024 * 1024;
        const std::string mount = "mount -t tmpfs -o size=" + std::to_string(capacity_) + " tmpfs '" + dir_ +
                                  "' 2>/dev/null";
        if (std::system(mount.c_str()) != 0) {
            why_ = "cannot mount a tmpfs here (not root?)";
            dir_.clear();
            return;
        }
        mounted_ = true;
#endif
    }
    ~SmallVolume() {
        Clear();
#ifndef _WIN32
        if (mounted_) std::system(("umount '" + dir_ + "'").c_str());
#endif
    }
    const std::string& Dir() const { return dir_; }
    const std::string& Why() const { return why_; }
    int64_t Capacity() const { return capacity_; }
    // Every file on the volume goes.
    void Clear() {
        if (dir_.empty()) return;
        os::Finder f;
        os::FindData fd;
        std::vector<std::string> names;
        for (int rc = f.First(Join(dir_, "*"), fd); rc == 0; rc = f.Next(fd))
            if (!(fd.attributes & os::faDirectory) && fd.name[0] != '.') names.push_back(fd.name);
        f.Close();
        for (const std::string& n : names) os::FileDelete(Join(dir_, n));
    }
    // The engine's temporary files in a folder.
    static int DvxFilesIn(const std::string& dir) {
        int n = 0;
        os::Finder f;
        os::FindData fd;
        for (int rc = f.First(Join(dir, "dvx*"), fd); rc == 0; rc = f.Next(fd)) ++n;
        return n;
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        os::Finder f;
        os::FindData fd;
        for (int rc = f.First(Join(dir_, "*"), fd); rc == 0; rc = f.Next(fd))
            if (!(fd.attributes & os::faDirectory) && fd.name[0] != '.') names.push_back(fd.name);
        return names;
    }

private:
    std::string dir_, why_;
    int64_t capacity_ = 0;
    bool mounted_ = false;
};

struct Outcome {
    int count = 0;
    int raised = 0;
    std::vector<int> errors;
    std::vector<std::string> extras;
};

Outcome Update(TCompBase& w, const std::string& archive, const std::string& src, const std::string& name,
           const std::string& tempDir) {
    Outcome run;
    w.SetDefaultDir(src);
    w.SetTempDir(tempDir);
    w.SetArchiveFile(archive);
    w.FileSpec() = {name};
    w.OnError = [&](TObject*, const std::string&, const std::string& ex, const std::string&, int code) {
        run.errors.push_back(code);
        run.extras.push_back(ex);
    };
    try {
        run.count = w.Compress();
    } catch (const E_RAISE& e) {
        run.raised = e.Code();
    }
    return run;
}

std::unique_ptr<TCompBase> Writer(const std::string& kind) {
    if (kind == "zip") {
        auto z = std::make_unique<TZip>();
        z->SetCompressMethod(cmStore);
        return z;
    }
    if (kind == "lha") return CreateWriterForKind(atLha);
    if (kind == "bh") return CreateWriterForKind(atBh);
    return std::make_unique<TTar>();
}

TEST(FullDisk, AnUpdateThatFillsTheVolumeLeavesTheOldArchiveWholeAndNoTemporary) {
    SmallVolume volume;
    if (volume.Dir().empty()) GTEST_SKIP() << volume.Why();
    const std::string src = ScratchDir("fulldisk-src");
    // Each file takes 42 % of the volume: the old archive fits, the new one
    // (both files) does not fit beside it.
    const size_t part = static_cast<size_t>(volume.Capacity() * 42 / 100);
    WriteAll(Join(src, "old.bin"), Noise(part, 1));
    WriteAll(Join(src, "new.bin"), Noise(part, 2));

    struct Case {
        const char* kind;
        bool tempOnVolume;  // the temporary archive is built on the full volume itself
    };
    for (const Case& c : {Case{"zip", false}, Case{"zip", true}, Case{"tar", false}, Case{"tar", true},
                          Case{"lha", false}, Case{"lha", true}, Case{"bh", false}, Case{"bh", true}}) {
        SCOPED_TRACE(std::string(c.kind) + (c.tempOnVolume ? ", temporary on the volume" : ", temporary elsewhere"));
        volume.Clear();
        const std::string tmp = ScratchDir(std::string("fulldisk-tmp-") + c.kind);
        const std::string archive = Join(volume.Dir(), std::string("a.") + c.kind);
        {
            auto w = Writer(c.kind);
            const Outcome made = Update(*w, archive, src, "old.bin", tmp);
            ASSERT_EQ(made.count, 1) << ::testing::PrintToString(made.errors);
        }
        const std::string before = ReadAll(archive);
        ASSERT_GE(before.size(), part);

        auto w = Writer(c.kind);
        const Outcome run = Update(*w, archive, src, "new.bin", c.tempOnVolume ? volume.Dir() : tmp);
        EXPECT_EQ(run.count, 0);
        EXPECT_FALSE(w->Success());
        // The old archive, byte for byte, and nothing half-written beside it.
        EXPECT_TRUE(ReadAll(archive) == before);
        EXPECT_EQ(volume.Files(), std::vector<std::string>({std::string("a.") + c.kind}));
        // Whatever was being built is gone from the temporary folder too:
        // the old archive is whole, the sources are where they were.
        EXPECT_EQ(volume.DvxFilesIn(tmp), 0);
        ASSERT_EQ(run.errors, std::vector<int>({25136}));
        // The report names the file whose write fell short: the temporary
        // archive itself when it was built on the volume, else the copy of
        // it that was to be renamed over the target.
        const std::string failed = SlashToBackslash(run.extras.back());
        EXPECT_EQ(ExtractFilePath(failed), AppendBackslash(SlashToBackslash(volume.Dir())));
        EXPECT_EQ(UpperCase(ExtractFileName(failed)).rfind("DVX", 0), 0u) << failed;
        EXPECT_FALSE(os::FileExists(failed));
        // The ZIP writer ends its run with the error; the others report it.
        EXPECT_EQ(run.raised, c.tempOnVolume || std::string(c.kind) == "zip" ? 25136 : 0);
    }
}

struct Extraction {
    int raised = 0;
    std::vector<std::pair<int, std::string>> errors;  // id, FN
    std::vector<std::string> ends;
};

// Makes an archive of Kind holding Names (from Src) with the engine's own
// writer; its file name.
std::string Pack(TArcType kind, TCompressMethod method, const std::string& dir, const std::string& src,
                 const std::vector<std::string>& names) {
    std::unique_ptr<TCompBase> w = CreateWriterForKind(kind);
    if (!w) return {};
    w->SetCompressMethod(method);
    if (w->CompressMethod() != method) return {};
    // The gzip writer makes one member beside the archive it is given.
    const std::string archive = Join(dir, kind == atGZip ? "x.gz" : "packed");
    w->SetDefaultDir(src);
    w->SetArchiveFile(archive);
    w->FileSpec() = names;
    if (w->Compress() != static_cast<int>(names.size())) return {};
    if (auto* gz = dynamic_cast<TGZip*>(w.get())) return gz->OutputNameFor(Join(src, names[0]));
    return w->ArchiveFile();
}

TEST(FullDisk, AnExtractionThatFillsTheVolumeNamesTheFileLeavesNoPartOfItAndEnds) {
    SmallVolume volume;
    if (volume.Dir().empty()) GTEST_SKIP() << volume.Why();
    const std::string src = ScratchDir("fulldisk-xsrc");
    // More than the volume holds, then a small entry the run never reaches.
    WriteAll(Join(src, "big.bin"), Noise(static_cast<size_t>(volume.Capacity() * 6 / 5), 3));
    WriteAll(Join(src, "after.txt"), "after\n");

    struct Case {
        const char* name;
        TArcType kind;
        TCompressMethod method;
    };
    const Case cases[] = {
        {"zip stored", atZip, cmStore}, {"zip deflated", atZip, cmDeflate}, {"tar", atTar, cmTarred},
        {"lzh -lh5-", atLzh, cmFrozen5}, {"lzh -lh1-", atLzh, cmFrozen1}, {"bh", atBh, cmFuse},
        {"gzip", atGZip, cmDeflate},     {"cab", atCab, cmMsZip},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.kind == atCab && !cab::FciLoaded()) continue;  // no cabinet library on this run
        volume.Clear();
        const std::string dir = ScratchDir(std::string("fulldisk-x-") + c.name);
        std::vector<std::string> names = {"big.bin"};
        if (c.kind != atGZip) names.push_back("after.txt");
        const std::string archive = Pack(c.kind, c.method, dir, src, names);
        ASSERT_FALSE(archive.empty());

        std::unique_ptr<TUnBase> reader = CreateReaderForKind(c.kind);
        ASSERT_TRUE(reader);
        Extraction run;
        reader->OnError = [&](TObject*, const std::string& fn, const std::string&, const std::string&, int code) {
            run.errors.emplace_back(code, SlashToBackslash(fn));
        };
        reader->OnEnd = [&](TObject*, const std::string& fn, bool) { run.ends.push_back(fn); };
        reader->SetArchiveFile(archive);
        reader->SetExtractDir(volume.Dir());
        reader->FileSpec() = {"*.*"};
        reader->SetConfirmOverwrites(false);
        try {
            reader->Extract();
        } catch (const E_RAISE& e) {
            run.raised = e.Code();
        }
        const std::string big = SlashToBackslash(Join(volume.Dir(), "big.bin"));
        EXPECT_EQ(run.raised, 25136);
        EXPECT_EQ(run.errors, (std::vector<std::pair<int, std::string>>{{25136, big}}));
        // No part of the file that did not fit, and nothing after it.
        EXPECT_EQ(volume.Files(), std::vector<std::string>());
        EXPECT_EQ(run.ends, std::vector<std::string>());
    }
}

TEST(FullDisk, AMoveIntoACabinetThatDoesNotFitKeepsTheOldCabinetAndEverySource) {
    if (!cab::FciLoaded()) GTEST_SKIP() << "no cabinet library on this run";
    SmallVolume volume;
    if (volume.Dir().empty()) GTEST_SKIP() << volume.Why();
    const std::string src = ScratchDir("fulldisk-cabsrc");
    // A small cabinet is there; the new one, stored, needs more room than
    // the volume has.
    WriteAll(Join(src, "small.txt"), "small\n");
    const std::string archive = Join(volume.Dir(), "a.cab");
    {
        TMakeCAB w;
        w.SetDefaultDir(src);
        w.SetArchiveFile(archive);
        w.FileSpec() = {"small.txt"};
        ASSERT_EQ(w.Compress(), 1);
    }
    const std::string before = ReadAll(archive);
    const std::string big = Noise(static_cast<size_t>(volume.Capacity() * 6 / 5), 4);
    WriteAll(Join(src, "big.bin"), big);

    TMakeCAB w;
    w.SetCompressMethod(cmStore);
    w.SetSwitch(swMove);
    w.SetDeleteOptions(doFinal);
    w.SetDefaultDir(src);
    w.SetArchiveFile(archive);
    w.FileSpec() = {"*.*"};
    bool failed = false;
    try {
        w.Compress();
    } catch (const Exception&) {
        failed = true;
    }
    EXPECT_TRUE(failed);
    EXPECT_FALSE(w.Success());
    EXPECT_TRUE(ReadAll(archive) == before);
    EXPECT_EQ(volume.Files(), std::vector<std::string>({"a.cab"}));
    EXPECT_EQ(ReadAll(Join(src, "small.txt")), "small\n");
    EXPECT_TRUE(ReadAll(Join(src, "big.bin")) == big);
}

}  // namespace
}  // namespace bramble
