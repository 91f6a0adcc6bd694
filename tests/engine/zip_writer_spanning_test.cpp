// Spanned ZIP sets: an archive too large for its removable disk goes onto
// several disks labelled "PKBACK# nnn" (faked drives natively, emulated
// floppies under Wine), each disk asked for and checked, and an update cut
// short keeps the whole archive and says where it is.
#include <gtest/gtest.h>

#include "engine/zip_writer_support.h"

namespace bramble {
namespace {

using namespace zipwtest;

// ---- spanning ----------------------------------------------------------------------------

// A removable drive whose disks the test changes. Each disk has its own
// capacity, label and serial; the archive's file on the drive is the disk's
// file, saved away when another disk goes in.
class FakeFloppies {
public:
    FakeFloppies(const std::string& folder, int64_t capacity) : file_(Join(folder, "set.zip")), capacity_(capacity) {
        provider_.driveType = [](const std::string&) { return unsigned{os::dtRemovable}; };
        provider_.volumeInfo = [this](const std::string&, os::VolumeInfo& info) {
            info.label = disks_[Current()].label;
            info.serial = 0x7000u + static_cast<uint32_t>(current_);
            info.fileSystem = "FAT";
            return true;
        };
        provider_.diskSpace = [this](const std::string&, os::DiskSpace& s) {
            const int64_t used = os::FileExists(file_) ? static_cast<int64_t>(ReadAll(file_).size()) : 0;
            // Reading back (on Windows every drive is this one, the output's
            // too) the disks are taken as roomy.
            const int64_t room = reading ? 1 << 30 : std::max<int64_t>(disks_[Current()].capacity - used, 0);
            s = {1, 512, static_cast<uint32_t>(room / 512), static_cast<uint32_t>(capacity_ / 512),
                 static_cast<uint64_t>(room), static_cast<uint64_t>(capacity_)};
            return true;
        };
        provider_.setLabel = [this](const std::string&, const std::string& label) {
            disks_[Current()].label = label;
            return true;
        };
        os::SetDriveProvider(&provider_);
        disks_.resize(1);
        disks_[0].capacity = capacity_;
    }
    ~FakeFloppies() { os::SetDriveProvider(nullptr); }

    std::string Archive() const {
#ifdef _WIN32
        return file_;
#else
        return "A:" + file_;
#endif
    }
    // Puts disk N (from 1; a new blank one past the last) in the drive.
    void Insert(int n) {
        Save();
        current_ = n;
        while (static_cast<int>(disks_.size()) < n) disks_.push_back({"", false, "", capacity_});
        const Disk& d = disks_[Current()];
        if (d.hasFile)
            WriteAll(file_, d.content);
        else
            os::FileDelete(file_);
    }
    void Save() {
        Disk& d = disks_[Current()];
        d.hasFile = os::FileExists(file_);
        d.content = d.hasFile ? ReadAll(file_) : "";
    }
    int Count() const { return static_cast<int>(disks_.size()); }
    int InDrive() const { return current_; }
    const std::string& Content(int n) const { return disks_[static_cast<size_t>(n - 1)].content; }
    const std::string& Label(int n) const { return disks_[static_cast<size_t>(n - 1)].label; }
    bool reading = false;
    bool HasFile(int n) const { return disks_[static_cast<size_t>(n - 1)].hasFile; }
    void SetCapacity(int n, int64_t bytes) {
        while (static_cast<int>(disks_.size()) < n) disks_.push_back({"", false, "", capacity_});
        disks_[static_cast<size_t>(n - 1)].capacity = bytes;
    }
    void PutFile(int n, const std::string& bytes) {
        while (static_cast<int>(disks_.size()) < n) disks_.push_back({"", false, "", capacity_});
        disks_[static_cast<size_t>(n - 1)].content = bytes;
        disks_[static_cast<size_t>(n - 1)].hasFile = true;
        if (n == current_) WriteAll(file_, bytes);
    }
    // Wires the reader's three disk questions to Insert.
    void Answer(TUnZIP& r) {
        r.OnGetZipLastDisk = [this](TObject*, bool& cancel) {
            Insert(LastWithFile());
            cancel = false;
        };
        r.OnGetZipFirstDisk = [this](TObject*, bool& cancel) {
            Insert(1);
            cancel = false;
        };
        r.OnGetZipNextDisk = [this](TObject*, const std::string& volume, bool& cancel) {
            Insert(std::stoi(volume));
            cancel = false;
        };
    }
    int LastWithFile() const {
        int last = 1;
        for (int i = 1; i <= Count(); ++i)
            if (HasFile(i)) last = i;
        return last;
    }

private:
    struct Disk {
        std::string content;
        bool hasFile = false;
        std::string label;
        int64_t capacity = 0;
    };
    size_t Current() const { return static_cast<size_t>(current_ - 1); }

    std::string file_;
    int64_t capacity_;
    std::vector<Disk> disks_;
    int current_ = 1;
    os::DriveProvider provider_;
};

TEST(ZipWriterSpanning, SpansOntoLabelledDisksThatReadBack) {
    const std::string src = ScratchDir("zipw-span-src");
    const Tree files = {{"big.bin", Noise(250000, 11)}, {"text.txt", Text(200000)}, {"small.txt", "small\n"},
                        {"more.bin", Noise(60000, 12)}};
    Plant(src, files);
    FakeFloppies drive(ScratchDir("zipw-span-drive"), 100000);
    std::vector<std::string> asked;
    WriteRun run = Write(drive.Archive(), src, {"*.*"}, swAdd, [&](TZip& w) {
        w.OnInsertDiskette = [&](TObject*, const std::string& volume, int total, int, bool& cancel) {
            asked.push_back(volume);
            EXPECT_EQ(total, 100000);
            drive.Insert(std::stoi(volume));
            cancel = false;
        };
    });
    drive.Save();
    ASSERT_EQ(run.raised, 0);
    EXPECT_EQ(run.count, 4);
    EXPECT_TRUE(run.errors.empty()) << ::testing::PrintToString(run.errors);
    EXPECT_TRUE(run.success);
    const int disks = drive.Count();
    ASSERT_GE(disks, 4);
    std::vector<std::string> expected;
    for (int i = 2; i <= disks; ++i) expected.push_back(std::to_string(i));
    EXPECT_EQ(asked, expected);
    for (int i = 1; i <= disks; ++i) {
        EXPECT_EQ(drive.Label(i), zip::VolumeLabel(i));
        EXPECT_TRUE(drive.HasFile(i));
        EXPECT_LE(static_cast<int64_t>(drive.Content(i).size()), 100000);
    }
    // The first disk opens with the marker and a local header.
    EXPECT_EQ(drive.Content(1).substr(0, 8), std::string("PK\x07\x08PK\x03\x04", 8));

    // Every entry's disk and offset point at its local header; the end
    // record stands whole on the last disk.
    const std::string& last = drive.Content(disks);
    ASSERT_GE(last.size(), 22u);
    const TZipEndRecord end = TZipEndRecord::Parse(reinterpret_cast<const uint8_t*>(last.data()) + last.size() - 22);
    ASSERT_TRUE(end.Valid());
    EXPECT_EQ(end.ThisDisk, disks - 1);
    EXPECT_EQ(end.TotalEntries, 4);
    EXPECT_EQ(end.EntriesOnDisk, 4);
    std::string central;
    for (int d = end.CentralDisk + 1; d <= disks; ++d)
        central += d == end.CentralDisk + 1 ? drive.Content(d).substr(end.CentralOffset) : drive.Content(d);
    ASSERT_GE(central.size(), end.CentralSize);
    for (size_t at = 0, i = 0; i < 4; ++i) {
        const TZipCentralRecord c = TZipCentralRecord::Parse(reinterpret_cast<const uint8_t*>(central.data()) + at);
        ASSERT_TRUE(c.Valid());
        ASSERT_LT(c.DiskStart, disks);
        const std::string& disk = drive.Content(c.DiskStart + 1);
        ASSERT_LE(c.LocalOffset + 30u, disk.size());
        EXPECT_EQ(disk.substr(c.LocalOffset, 4), std::string("PK\x03\x04", 4)) << i;
        at += static_cast<size_t>(c.TotalSize());
    }

    // Our reader reads the set disk by disk.
    drive.Insert(1);
    drive.reading = true;
    const std::string back = ScratchDir("zipw-span-back");
    const Back b = Extract(drive.Archive(), back, "", [&](TUnZIP& r) {
        EXPECT_EQ(r.ArcType(), atZipMV);
        drive.Answer(r);
    });
    EXPECT_EQ(b.raised, 0);
    EXPECT_TRUE(b.errors.empty()) << ::testing::PrintToString(b.errors);
    EXPECT_EQ(b.count, 4);
    EXPECT_TRUE(b.AllPassed());
    EXPECT_TRUE(ReadTree(back) == files);

#ifndef _WIN32
    // The parts as a split archive: zip joins them into one that unzip
    // accepts.
    const std::string parts = ScratchDir("zipw-span-parts");
    for (int i = 1; i <= disks; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "set.z%02d", i);
        WriteAll(Join(parts, i == disks ? std::string("set.zip") : std::string(name)), drive.Content(i));
    }
    EXPECT_EQ(Shell("cd " + Quote(parts) + " && zip -q -s 0 set.zip --out joined.zip"), 0);
    EXPECT_EQ(Shell("unzip -tq " + Quote(Join(parts, "joined.zip"))), 0);
#endif
}

TEST(ZipWriterSpanning, DiskQuestionsAndRefusals) {
    const std::string src = ScratchDir("zipw-spanq-src");
    Plant(src, {{"big.bin", Noise(150000, 21)}});
    // Fits: no question, no marker, no label.
    {
        FakeFloppies drive(ScratchDir("zipw-spanq-fit"), 1000000);
        int asked = 0;
        WriteRun run = Write(drive.Archive(), src, {"big.bin"}, swAdd, [&](TZip& w) {
            w.OnInsertDiskette = [&](TObject*, const std::string&, int, int, bool&) { ++asked; };
        });
        drive.Save();
        EXPECT_EQ(run.count, 1);
        EXPECT_EQ(asked, 0);
        EXPECT_EQ(drive.Content(1).substr(0, 4), std::string("PK\x03\x04", 4));
        EXPECT_EQ(drive.Label(1), "");
    }
    // No handler: 25270 names the event, and nothing is written.
    {
        FakeFloppies drive(ScratchDir("zipw-spanq-none"), 60000);
        WriteRun run = Write(drive.Archive(), src, {"big.bin"});
        drive.Save();
        EXPECT_EQ(run.Errors(25270), 1);
        EXPECT_NE(std::find(run.errorEx.begin(), run.errorEx.end(), "OnInsertDiskette"), run.errorEx.end());
        EXPECT_FALSE(run.success);
        EXPECT_EQ(run.count, 0);
    }
    // A first disk with too little room is asked about; leaving Cancel set
    // ends the run.
    {
        FakeFloppies drive(ScratchDir("zipw-spanq-cancel"), 60000);
        drive.SetCapacity(1, 20);
        std::vector<std::string> asked;
        WriteRun run = Write(drive.Archive(), src, {"big.bin"}, swAdd, [&](TZip& w) {
            w.OnInsertDiskette = [&](TObject*, const std::string& v, int, int free, bool&) {
                asked.push_back(v + "/" + std::to_string(free));
            };
        });
        EXPECT_EQ(asked, (std::vector<std::string>{"1/20"}));
        EXPECT_FALSE(run.success);
        EXPECT_EQ(run.count, 0);
    }
    // The full disk offered again is not taken; a disk that holds the
    // archive's name is overwritten only when OnFileExists allows.
    {
        FakeFloppies drive(ScratchDir("zipw-spanq-same"), 60000);
        drive.PutFile(2, "stale part");
        drive.PutFile(3, "another stale part");
        drive.SetCapacity(2, 60000);
        std::vector<std::string> asked, exists;
        int offers = 0;
        WriteRun run = Write(drive.Archive(), src, {"big.bin"}, swAdd, [&](TZip& w) {
            w.OnInsertDiskette = [&](TObject*, const std::string& v, int, int, bool& cancel) {
                asked.push_back(v);
                // First the same disk again, then the next one.
                if (offers++ > 0) drive.Insert(std::stoi(v));
                cancel = false;
            };
            w.OnFileExists = [&](TObject*, const std::string&, TDateTime, TOverwriteMode& mode) {
                exists.push_back(std::to_string(drive.InDrive()));
                mode = drive.InDrive() == 2 ? omOverwrite : omSkip;
            };
        });
        drive.Save();
        EXPECT_EQ(asked, (std::vector<std::string>{"2", "2", "3"}));
        EXPECT_EQ(exists, (std::vector<std::string>{"2", "3"}));
        EXPECT_FALSE(run.success);  // skipped on disk 3
        EXPECT_EQ(drive.Content(3), "another stale part");
        EXPECT_NE(drive.Content(2), "stale part");
    }
}

TEST(ZipWriterSpanning, AnUpdateCutShortKeepsTheWholeArchiveAndSaysWhere) {
    const std::string src = ScratchDir("zipw-spanu-src");
    Plant(src, {{"small.txt", "small\n"}, {"big.bin", Noise(150000, 31)}});
    FakeFloppies drive(ScratchDir("zipw-spanu-drive"), 100000);
    // The archive as it stands on disk 1 before the update.
    ASSERT_EQ(Write(drive.Archive(), src, {"small.txt"}).count, 1);
    drive.Save();
    const std::string before = drive.Content(1);
    const std::string tmp = ScratchDir("zipw-spanu-tmp");
    // The update spans; the second disk is refused (Cancel stays set).
    WriteRun run = Write(drive.Archive(), src, {"big.bin"}, swAdd, [&](TZip& w) {
        w.SetTempDir(tmp);
        w.OnInsertDiskette = [](TObject*, const std::string&, int, int, bool&) {};
    });
    drive.Save();
    EXPECT_FALSE(run.success);
    EXPECT_EQ(run.count, 0);
    // Disk 1 holds the start of a set that was never finished; the whole
    // archive, the old entry and the new one, waits in the temporary folder,
    // and the report says where.
    EXPECT_NE(drive.Content(1), before);
    ASSERT_EQ(run.Errors(25350), 1);
    const std::string kept = run.errorEx.back();
    EXPECT_EQ(SlashToBackslash(ExtractFilePath(kept)), AppendBackslash(SlashToBackslash(tmp)));
    drive.reading = true;
    const Back b = Extract(kept, ScratchDir("zipw-spanu-back"));
    EXPECT_EQ(b.raised, 0);
    EXPECT_EQ(b.count, 2);
    EXPECT_TRUE(b.AllPassed());
}

#ifdef _WIN32
// The same on floppies that Wine emulates: 1.44 MB disks of their own,
// changed by mapping the drive letter to the next disk's folder.
TEST(ZipWriterSpanning, SpansOntoEmulatedFloppies) {
    if (!test::RunningUnderWine()) GTEST_SKIP() << "emulated floppies need Wine";
    if (!test::PreparedFloppiesHaveFloppySpace()) GTEST_SKIP() << "no 1.44 MB floppies prepared";
    std::vector<std::string> disks;
    for (int n = 1; n <= 3; ++n) {
        const std::string dir = test::PreparedFloppy(n);
        ASSERT_FALSE(dir.empty());
        for (const char* stale : {"set.zip", ".windows-label"}) os::FileDelete(Join(dir, stale));
        disks.push_back(dir);
    }
    const std::string src = ScratchDir("zipw-floppy-src");
    const Tree files = {{"noise.bin", Noise(1800000, 31)}, {"text.txt", Text(300000)}};
    Plant(src, files);
    const char letter = 'S';
    int inDrive = 1;
    auto insert = [&](int disk) {
        inDrive = disk;
        ASSERT_TRUE(test::MapWineFloppy(letter, test::UnixPathOf(disks[static_cast<size_t>(disk - 1)])));
    };
    struct Unmap {
        char l;
        ~Unmap() { test::UnmapWineDrive(l); }
    } unmap{letter};
    insert(1);
    const std::string archive = std::string(1, letter) + ":\\set.zip";
    std::vector<std::string> asked;
    const WriteRun run = Write(archive, src, {"*.*"}, swAdd, [&](TZip& w) {
        w.OnInsertDiskette = [&](TObject*, const std::string& v, int, int, bool& cancel) {
            asked.push_back(v);
            const int n = std::stoi(v);
            if (n > 3) return;
            insert(n);
            cancel = false;
        };
    });
    ASSERT_EQ(run.raised, 0);
    EXPECT_TRUE(run.errors.empty()) << ::testing::PrintToString(run.errors);
    EXPECT_EQ(run.count, 2);
    EXPECT_EQ(asked, (std::vector<std::string>{"2"}));
    for (int n = 1; n <= 2; ++n) {
        std::string label = ReadAll(Join(disks[static_cast<size_t>(n - 1)], ".windows-label"));
        while (!label.empty() && (label.back() == '\n' || label.back() == '\r')) label.pop_back();
        EXPECT_EQ(label, zip::VolumeLabel(n));
        EXPECT_TRUE(os::FileExists(Join(disks[static_cast<size_t>(n - 1)], "set.zip")));
    }
    EXPECT_EQ(ReadAll(Join(disks[0], "set.zip")).substr(0, 4), std::string("PK\x07\x08", 4));

    insert(1);
    const std::string back = ScratchDir("zipw-floppy-back");
    const Back b = Extract(archive, back, "", [&](TUnZIP& r) {
        EXPECT_EQ(r.ArcType(), atZipMV);
        r.OnGetZipLastDisk = [&](TObject*, bool& cancel) {
            insert(2);
            cancel = false;
        };
        r.OnGetZipFirstDisk = [&](TObject*, bool& cancel) {
            insert(1);
            cancel = false;
        };
        r.OnGetZipNextDisk = [&](TObject*, const std::string& v, bool& cancel) {
            insert(std::stoi(v));
            cancel = false;
        };
    });
    EXPECT_EQ(b.raised, 0);
    EXPECT_TRUE(b.errors.empty()) << ::testing::PrintToString(b.errors);
    EXPECT_EQ(b.count, 2);
    EXPECT_TRUE(b.AllPassed());
    EXPECT_TRUE(ReadTree(back) == files);
    for (const std::string& d : disks)
        for (const char* stale : {"set.zip", ".windows-label"}) os::FileDelete(Join(d, stale));
}
#endif

}  // namespace
}  // namespace bramble
