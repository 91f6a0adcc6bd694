// A ZIP set split for 1.44 MB floppies (zip -s 1400k, three parts), each
// part on its own disk labelled "PKBACK# 00n" under the archive's name:
// the lister shows it as one archive and the reader extracts it disk by
// disk. Under Wine the disks are emulated floppies (tests/floppy,
// support/winefloppy.h) with real labels and real free space; natively the
// drive is a folder whose file the test swaps, with the OS layer's drive
// answers faked to match. Also the free-space check of a removable target.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/lister/dovex.h"
#include "engine/core/exception.h"
#include "engine/core/os.h"
#include "engine/readers/unzip.h"
#include "engine/formats/zip.h"
#include "support/testenv.h"
#include "support/winefloppy.h"

namespace bramble {
namespace {

using test::Join;
using test::ReadAll;
using test::WriteAll;

std::string FloppySet(const std::string& name) { return Join(Join(test::FixturesDir(), "floppyset"), name); }
std::string Input(const std::string& name) { return Join(FloppySet("in"), name); }

// The set's parts in disk order.
std::vector<std::string> SetParts() {
    return {ReadAll(FloppySet("set.z01")), ReadAll(FloppySet("set.z02")), ReadAll(FloppySet("set.zip"))};
}

constexpr uint64_t kFloppyBytes = 1440 * 1024;

// One drive and the disks that go into it. A disk holds one part under the
// archive's name (set.zip) and the label the writer of a set gives it.
class FloppyDrive {
public:
    explicit FloppyDrive(const std::string& name) {
#ifdef _WIN32
        if (!test::RunningUnderWine()) return;
        wine_ = true;
        floppySpace_ = !test::PreparedFloppy(1).empty() && test::PreparedFloppiesHaveFloppySpace();
        for (int n = 1; n <= 3; ++n) {
            std::string dir = test::PreparedFloppy(n);
            if (dir.empty()) {
                dir = os::GetTempDirectory() + "bramble-floppyset" + std::to_string(n);
                os::DirCreate(dir);
            }
            Clear(dir);
            WriteAll(Join(dir, ".windows-serial"), "5E7F000" + std::to_string(n) + "\n");
            disks_.push_back(dir);
        }
#else
        folder_ = test::ScratchDir(name);
        provider_.driveType = [](const std::string&) { return unsigned{os::dtRemovable}; };
        provider_.volumeInfo = [this](const std::string&, os::VolumeInfo& info) {
            info.label = label_;
            info.serial = 0x5E7F0000u + static_cast<uint32_t>(disk_);
            info.fileSystem = "FAT";
            return true;
        };
        provider_.diskSpace = [this](const std::string&, os::DiskSpace& s) {
            s = {};
            s.freeBytes = free_;
            s.totalBytes = kFloppyBytes;
            return true;
        };
        os::SetDriveProvider(&provider_);
        floppySpace_ = true;
#endif
        usable_ = true;
    }
    ~FloppyDrive() {
#ifdef _WIN32
        if (wine_) test::UnmapWineDrive(kLetter);
#else
        os::SetDriveProvider(nullptr);
#endif
    }
    FloppyDrive(const FloppyDrive&) = delete;
    FloppyDrive& operator=(const FloppyDrive&) = delete;

    bool Usable() const { return usable_; }
    // The drive's free space is a floppy's (not the host's).
    bool FloppySpace() const { return floppySpace_; }

    // Writes the set's parts onto the disks, labelled.
    void Load(const std::vector<std::string>& parts) {
        parts_ = parts;
#ifdef _WIN32
        for (size_t i = 0; i < parts.size(); ++i) {
            WriteAll(Join(disks_[i], "set.zip"), parts[i]);
            WriteAll(Join(disks_[i], ".windows-label"), zip::VolumeLabel(static_cast<int>(i) + 1) + "\n");
        }
#endif
    }
    // Puts disk N into the drive.
    void Insert(int disk) {
        disk_ = disk;
#ifdef _WIN32
        ASSERT_TRUE(test::MapWineFloppy(kLetter, test::UnixPathOf(disks_[static_cast<size_t>(disk - 1)])))
            << "Wine's mount manager refused " << kLetter << ": (" << GetLastError() << ")";
#else
        const std::string file = Join(folder_, "set.zip");
        if (static_cast<size_t>(disk) <= parts_.size()) {
            WriteAll(file, parts_[static_cast<size_t>(disk - 1)]);
            free_ = kFloppyBytes - parts_[static_cast<size_t>(disk - 1)].size();
        } else {
            os::FileDelete(file);
            free_ = kFloppyBytes;
        }
        label_ = zip::VolumeLabel(disk);
#endif
    }
    int Disk() const { return disk_; }

    // The drive's root, as the engine is given paths on it: natively the
    // drive letter in front is what makes the engine ask about the drive.
    std::string Root() const {
#ifdef _WIN32
        return std::string(1, kLetter) + ":\\";
#else
        return "A:" + folder_ + "/";
#endif
    }
    std::string Archive() const { return Root() + "set.zip"; }

    // Fills the disk in the drive until Left bytes are free.
    void Fill(uint64_t left) {
#ifdef _WIN32
        ULARGE_INTEGER avail{}, total{}, free{};
        ASSERT_TRUE(GetDiskFreeSpaceExA(Root().c_str(), &avail, &total, &free));
        ASSERT_GT(avail.QuadPart, left);
        WriteAll(Root() + "filler.bin", std::string(static_cast<size_t>(avail.QuadPart - left), 'f'));
#else
        free_ = left;
#endif
    }

    // Empties a disk, keeping only its serial.
    static void Clear(const std::string& dir) {
        os::Finder finder;
        os::FindData fd;
        std::vector<std::string> names;
        for (int rc = finder.First(Join(dir, "*"), fd); rc == 0; rc = finder.Next(fd))
            if (!(fd.attributes & os::faDirectory)) names.push_back(fd.name);
        finder.Close();
        for (const auto& name : names) {
            os::SetAttributes(Join(dir, name), 0);
            os::FileDelete(Join(dir, name));
        }
    }

private:
    static constexpr char kLetter = 'S';
    bool usable_ = false;
    bool floppySpace_ = false;
    int disk_ = 0;
    std::vector<std::string> parts_;
#ifdef _WIN32
    bool wine_ = false;
    std::vector<std::string> disks_;
#else
    std::string folder_;
    std::string label_;
    uint64_t free_ = kFloppyBytes;
    os::DriveProvider provider_;
#endif
};

struct SetFile {
    std::string name;
    int64_t size;
};

const std::vector<SetFile>& SetFiles() {
    static const std::vector<SetFile> files = {
        {"data1.bin", 1600000},
        {"notes.txt", static_cast<int64_t>(ReadAll(Input("notes.txt")).size())},
        {"data2.bin", 1300000},
    };
    return files;
}

// ---- the lister ---------------------------------------------------------------------

struct Listing {
    std::vector<TEntryInfo> entries;
    std::vector<std::string> asked;
    std::vector<int> errors;
    int totals = -1;
    int raised = 0;
    TArcType kind = atNA;
};

Listing ListSet(FloppyDrive& drive) {
    Listing l;
    TDovex d;
    d.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        l.errors.push_back(code);
    };
    d.SetArchiveFile(drive.Archive());
    l.kind = d.ArcType();
    d.SetFileSpec({"*.*"});
    d.OnRead = [&](TObject*, int, int) { l.entries.push_back(d.EntryInfo); };
    d.OnTotals = [&](TObject*, int n) { l.totals = n; };
    d.OnGetZipLastDisk = [&](TObject*, bool& cancel) {
        l.asked.push_back("last");
        drive.Insert(3);
        cancel = false;
    };
    d.OnGetZipNextDisk = [&](TObject*, const std::string& volume, bool& cancel) {
        l.asked.push_back(volume);
        drive.Insert(std::stoi(volume));
        cancel = false;
    };
    try {
        d.ReadArchive();
    } catch (const E_RAISE& e) {
        l.raised = e.Code();
    }
    return l;
}

TEST(Lister, SpannedSetOfFloppySizedPartsListsAsOneArchive) {
    FloppyDrive drive("lister-floppyset");
    if (!drive.Usable()) GTEST_SKIP() << "emulated floppies need Wine";
    const std::vector<std::string> parts = SetParts();
    ASSERT_EQ(parts[0].size(), 1400u * 1024) << "the set's parts are not 1400k";
    drive.Load(parts);

    // With any disk in the drive the whole set is listed; the directory
    // lies on the last disk, so that is the one asked for, and only that.
    for (int first : {1, 2, 3}) {
        SCOPED_TRACE("disk " + std::to_string(first) + " in the drive");
        drive.Insert(first);
        const Listing l = ListSet(drive);
        EXPECT_EQ(l.kind, atZipMV);
        EXPECT_EQ(l.raised, 0);
        EXPECT_TRUE(l.errors.empty()) << ::testing::PrintToString(l.errors);
        EXPECT_EQ(l.asked, first == 3 ? std::vector<std::string>{} : std::vector<std::string>{"last"});
        ASSERT_EQ(l.entries.size(), SetFiles().size());
        EXPECT_EQ(l.totals, 3);
        int64_t packed = 0;
        for (size_t i = 0; i < l.entries.size(); ++i) {
            EXPECT_EQ(l.entries[i].FileName, SetFiles()[i].name);
            EXPECT_EQ(l.entries[i].UnpackedSize, SetFiles()[i].size);
            packed += l.entries[i].PackedSize;
        }
        // Together the entries fill the three disks, less the headers.
        EXPECT_GT(packed, static_cast<int64_t>(parts[0].size() + parts[1].size()));
        EXPECT_EQ(l.entries[0].MethodName.substr(0, 7), "Deflate");
    }
}

// ---- the reader ---------------------------------------------------------------------

struct Extraction {
    std::vector<std::string> asked;
    std::vector<std::pair<std::string, bool>> ends;
    std::vector<int> errors;
    int count = 0;
    int raised = 0;
};

Extraction ExtractSet(FloppyDrive& drive, const std::string& dir, bool test, std::vector<std::string> spec = {"*.*"}) {
    Extraction x;
    TUnZIP r;
    r.SetArchiveFile(drive.Archive());
    EXPECT_EQ(r.ArcType(), atZipMV);
    if (!dir.empty()) r.SetExtractDir(dir);
    r.FileSpec() = spec;
    r.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        x.errors.push_back(code);
    };
    r.OnEnd = [&](TObject*, const std::string& fn, bool pass) { x.ends.emplace_back(fn, pass); };
    r.OnGetZipLastDisk = [&](TObject*, bool& cancel) {
        x.asked.push_back("last");
        drive.Insert(3);
        cancel = false;
    };
    r.OnGetZipFirstDisk = [&](TObject*, bool& cancel) {
        x.asked.push_back("first");
        drive.Insert(1);
        cancel = false;
    };
    r.OnGetZipNextDisk = [&](TObject*, const std::string& volume, bool& cancel) {
        x.asked.push_back(volume);
        drive.Insert(std::stoi(volume));
        cancel = false;
    };
    try {
        x.count = test ? r.Test() : r.Extract();
    } catch (const E_RAISE& e) {
        x.raised = e.Code();
    }
    EXPECT_EQ(RunningComponent(), nullptr);
    return x;
}

TEST(ZipReader, SpannedSetOfFloppySizedPartsExtractsDiskByDisk) {
    FloppyDrive drive("unzip-floppyset");
    if (!drive.Usable()) GTEST_SKIP() << "emulated floppies need Wine";
    drive.Load(SetParts());

    // From the first disk: the last for the directory, the first again,
    // then each disk as the data runs onto it.
    drive.Insert(1);
    const std::string dir = test::ScratchDir("unzip-floppyset-out");
    Extraction x = ExtractSet(drive, dir, false);
    EXPECT_EQ(x.asked, std::vector<std::string>({"last", "first", "2", "3"}));
    EXPECT_EQ(x.raised, 0);
    EXPECT_TRUE(x.errors.empty()) << ::testing::PrintToString(x.errors);
    EXPECT_EQ(x.count, 3);
    ASSERT_EQ(x.ends.size(), 3u);
    for (const auto& [fn, pass] : x.ends) EXPECT_TRUE(pass) << fn;
    for (const SetFile& f : SetFiles()) EXPECT_TRUE(ReadAll(Join(dir, f.name)) == ReadAll(Input(f.name))) << f.name;

    // Tested from the last disk: straight to the first.
    x = ExtractSet(drive, "", true);
    EXPECT_EQ(x.asked, std::vector<std::string>({"first", "2", "3"}));
    EXPECT_EQ(x.ends.size(), 3u);
    for (const auto& [fn, pass] : x.ends) EXPECT_TRUE(pass) << fn;

    // One entry that starts on the second disk: that disk is asked for,
    // then the one its data runs onto.
    const std::string one = test::ScratchDir("unzip-floppyset-one");
    x = ExtractSet(drive, one, false, {"data2.bin"});
    ASSERT_GE(x.asked.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(x.asked.end() - 2, x.asked.end()), std::vector<std::string>({"2", "3"}));
    EXPECT_EQ(x.count, 1);
    EXPECT_TRUE(ReadAll(Join(one, "data2.bin")) == ReadAll(Input("data2.bin")));
    EXPECT_FALSE(os::FileExists(Join(one, "data1.bin")));
}

TEST(ZipReader, RemovableTargetWithoutRoomStopsTheRunBeforeWriting) {
    FloppyDrive drive("unzip-floppy-room");
    if (!drive.Usable()) GTEST_SKIP() << "emulated floppies need Wine";
    if (!drive.FloppySpace()) GTEST_SKIP() << "the disks are no 1.44 MB file systems here";
    drive.Load({});
    drive.Insert(1);
    const std::string archive = Join(test::FixturesDir(), "plain.zip");  // big.bin: 102400 bytes
    auto extract = [&](std::vector<std::string> spec, int& raised) {
        std::vector<int> errors;
        TUnZIP r;
        r.SetArchiveFile(archive);
        r.SetExtractDir(drive.Root());
        r.FileSpec() = spec;
        r.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
            errors.push_back(code);
        };
        raised = 0;
        try {
            r.Extract();
        } catch (const E_RAISE& e) {
            raised = e.Code();
        }
        return errors;
    };

    // Room for everything: all of it lands on the disk.
    int raised = 0;
    EXPECT_TRUE(extract({"*.*"}, raised).empty());
    EXPECT_EQ(raised, 0);
    EXPECT_EQ(ReadAll(drive.Root() + "big.bin").size(), 102400u);
    for (const char* name : {"big.bin", "about.txt", "hello.txt"}) os::FileDelete(drive.Root() + name);

    // 60,000 bytes left: big.bin does not fit, and the run stops before the
    // entries in front of it are written either.
    drive.Fill(60000);
    EXPECT_EQ(extract({"*.*"}, raised), std::vector<int>({25155}));
    EXPECT_EQ(raised, 25155);
    for (const char* name : {"about.txt", "big.bin", "hello.txt"})
        EXPECT_FALSE(os::FileExists(drive.Root() + name)) << name;
    // What fits is extracted.
    EXPECT_TRUE(extract({"hello.txt", "about.txt"}, raised).empty());
    EXPECT_EQ(raised, 0);
    EXPECT_EQ(ReadAll(drive.Root() + "hello.txt").size(), 56u);
    // Testing writes nothing and asks for no room.
    {
        TUnZIP r;
        r.SetArchiveFile(archive);
        r.SetExtractDir(drive.Root());
        r.FileSpec() = {"*.*"};
        EXPECT_EQ(r.Test(), 4);
    }
}

// A set on a drive named by something other than a letter A to Z: the
// reader raises "Drive not ready" at the first disk change rather than ask
// for disks that drive can never hold. Natively a letter and its colon are
// dropped from a path, so "1:set.zip" is a file of that name in the current
// folder and "A:set.zip" is set.zip there.
TEST(ZipReader, ADriveOutsideAToZIsNotReady) {
#ifdef _WIN32
    GTEST_SKIP() << "no file can be named on such a drive on Windows";
#else
    const std::string dir = test::ScratchDir("unzip-drive-letters");
    struct Restore {
        std::string cwd = os::CurrentDir();
        ~Restore() {
            os::SetCurrentDir(cwd);
            os::SetDriveProvider(nullptr);
        }
    } restore;
    ASSERT_TRUE(os::SetCurrentDir(dir));
    os::DriveProvider provider;
    provider.driveType = [](const std::string&) { return unsigned{os::dtRemovable}; };
    provider.volumeInfo = [](const std::string&, os::VolumeInfo& info) {
        info.label = zip::VolumeLabel(1);
        info.serial = 0x5E7F0001u;
        return true;
    };
    provider.diskSpace = [](const std::string&, os::DiskSpace& s) {
        s = {};
        s.freeBytes = s.totalBytes = kFloppyBytes;
        return true;
    };
    os::SetDriveProvider(&provider);
    // A first disk: the set's marker and data that goes on on the next.
    const std::string disk = std::string("PK\x07\x08", 4) + std::string(200, 'x');

    struct Case {
        const char* drive;
        bool ready;
    };
    for (Case c : {Case{"A:", true}, {"z:", true}, {"1:", false}, {"@:", false}, {"[:", false}, {"`:", false},
                   {"{:", false}, {"\xC4:", false}}) {
        SCOPED_TRACE(c.drive);
        const std::string name = std::string(c.drive) + "set.zip";
        WriteAll(Join(dir, c.ready ? std::string("set.zip") : name), disk);
        TUnZIP r;
        r.SetArchiveFile(name);
        ASSERT_EQ(r.ArcType(), atZipMV);
        r.FileSpec() = {"*.*"};
        int asked = 0;
        // The disk put in stays the first: asked again, the user gives up.
        r.OnGetZipLastDisk = [&](TObject*, bool& cancel) { cancel = ++asked > 1; };
        std::string raised;
        try {
            r.Extract();
        } catch (const E_RAISE& e) {
            raised = "E_RAISE " + std::to_string(e.Code());
        } catch (const Exception& e) {
            raised = e.what();
        }
        EXPECT_EQ(raised, c.ready ? "" : "Drive not ready");
        EXPECT_EQ(asked, c.ready ? 2 : 1);
    }
#endif
}

}  // namespace
}  // namespace bramble
