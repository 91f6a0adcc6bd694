#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/diskmanager.h"
#include "engine/core/os.h"
#include "support/testenv.h"
#include "support/winefloppy.h"

namespace bramble {
namespace {

// A drive the test controls through the OS layer's provider: what it
// answers can change between the manager's questions, like a disk being
// swapped, and every question is counted.
struct FakeDrive {
    unsigned type = os::dtFixed;
    bool volumeReadable = true;
    bool spaceReadable = true;
    std::string label;
    uint32_t serial = 0x0000ABCD;
    os::DiskSpace space{8, 512, 1000, 4000};
    int volumeReads = 0;
    int spaceReads = 0;
    std::vector<std::string> labelsWritten;
    bool labelWritable = true;
    std::string lastRoot;

    FakeDrive() {
        provider.driveType = [this](const std::string& root) {
            lastRoot = root;
            return type;
        };
        provider.volumeInfo = [this](const std::string&, os::VolumeInfo& info) {
            ++volumeReads;
            if (!volumeReadable) return false;
            info.label = label;
            info.serial = serial;
            info.fileSystem = "FAT";
            return true;
        };
        provider.diskSpace = [this](const std::string&, os::DiskSpace& out) {
            ++spaceReads;
            if (!spaceReadable) return false;
            out = space;
            return true;
        };
        provider.setLabel = [this](const std::string&, const std::string& newLabel) {
            if (!labelWritable) return false;
            labelsWritten.push_back(newLabel);
            label = newLabel;
            return true;
        };
        os::SetDriveProvider(&provider);
    }
    ~FakeDrive() { os::SetDriveProvider(nullptr); }
    FakeDrive(const FakeDrive&) = delete;
    FakeDrive& operator=(const FakeDrive&) = delete;

    os::DriveProvider provider;
};

// Answers the Retry/Cancel question from a script (Cancel once it runs
// out) and keeps the texts asked.
struct RetryAnswers {
    explicit RetryAnswers(std::vector<os::Answer> script, std::function<void()> onAsk = {})
        : answers(std::move(script)), beforeAnswer(std::move(onAsk)) {
        os::AppHooks hooks;
        hooks.askRetryCancel = [this](const std::string& text, const std::string&) {
            asked.push_back(text);
            if (beforeAnswer) beforeAnswer();
            size_t i = asked.size() - 1;
            return i < answers.size() ? answers[i] : os::Answer::Cancel;
        };
        os::SetAppHooks(hooks);
    }
    ~RetryAnswers() { os::SetAppHooks({}); }
    RetryAnswers(const RetryAnswers&) = delete;
    RetryAnswers& operator=(const RetryAnswers&) = delete;

    std::vector<os::Answer> answers;
    std::function<void()> beforeAnswer;
    std::vector<std::string> asked;
};

TEST(DiskManager, DiskNumberIsTheAllDigitTextAfterTheLastMarker) {
    EXPECT_EQ(TDiskManager::ParseDiskNumber("PKBACK# 003"), 3);
    EXPECT_EQ(TDiskManager::ParseDiskNumber("PKBACK# 001"), 1);
    EXPECT_EQ(TDiskManager::ParseDiskNumber("PKBACK# 999"), 999);
    EXPECT_EQ(TDiskManager::ParseDiskNumber("PKBACK# 1000"), 1000);
    EXPECT_EQ(TDiskManager::ParseDiskNumber("PKBACK# 00A"), 0);
    EXPECT_EQ(TDiskManager::ParseDiskNumber("PKBACK# "), 0);
    EXPECT_EQ(TDiskManager::ParseDiskNumber("PKBACK# 3 "), 0);
    EXPECT_EQ(TDiskManager::ParseDiskNumber("PKBACK#003"), 0);
    EXPECT_EQ(TDiskManager::ParseDiskNumber("BACKUP 003"), 0);
    EXPECT_EQ(TDiskManager::ParseDiskNumber(""), 0);
    EXPECT_EQ(TDiskManager::ParseDiskNumber("PKBACK# 001 PKBACK# 012"), 12);
    EXPECT_EQ(TDiskManager::ParseDiskNumber("PKBACK# 00A PKBACK# 004"), 4);
    EXPECT_EQ(TDiskManager::ParseDiskNumber("XYZPKBACK# 7"), 7);
    // Too many digits for any set is no number rather than an overflow.
    EXPECT_EQ(TDiskManager::ParseDiskNumber("PKBACK# 99999999999999999999"), 0);

    FakeDrive drive;
    drive.type = os::dtRemovable;
    drive.label = "PKBACK# 003";
    TDiskManager dm;
    dm.SetDrive("A:");
    EXPECT_EQ(dm.DiskNumber(), 3);
    drive.label = "PKBACK# ";
    ASSERT_TRUE(dm.RefreshDiskInfo());
    EXPECT_EQ(dm.VolumeLabel(), "PKBACK# ");
    EXPECT_EQ(dm.DiskNumber(), 0);
}

TEST(DiskManager, SetDriveReadsLabelSerialTypeAndSpaceBeforeTellingTheOwner) {
    FakeDrive drive;
    drive.label = "DATA";
    drive.serial = 0x00C0FFEE;
    // 8 GB: more than 32 bits of bytes.
    drive.space = {8, 512, 1500000, 2000000};
    TDiskManager dm;
    EXPECT_EQ(dm.DriveType(), os::dtNoRoot);
    EXPECT_EQ(dm.PollInterval(), 2000);
    EXPECT_FALSE(dm.Polling());

    int changes = 0;
    dm.OnDriveChange = [&](TObject* sender) {
        if (++changes == 1) {
            EXPECT_EQ(dm.VolumeLabel(), "DATA");  // already refreshed
        }
        EXPECT_EQ(sender, &dm);
    };
    dm.SetDrive("c:");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(drive.lastRoot, "c:\\");
    EXPECT_EQ(dm.Drive(), "c:");
    EXPECT_EQ(dm.SerialText(), "00C0FFEE");
    EXPECT_EQ(dm.FileSystem(), "FAT");
    EXPECT_EQ(dm.DriveType(), os::dtFixed);
    EXPECT_EQ(dm.DriveTypeName(), "Fixed");
    EXPECT_EQ(dm.DriveKind(), 0);
    EXPECT_EQ(dm.DiskNumber(), 0);
    EXPECT_EQ(dm.SectorsPerCluster(), 8u);
    EXPECT_EQ(dm.BytesPerSector(), 512u);
    EXPECT_EQ(dm.FreeClusters(), 1500000u);
    EXPECT_EQ(dm.TotalClusters(), 2000000u);
    EXPECT_EQ(dm.FreeBytes(), 6144000000ull);
    EXPECT_EQ(dm.TotalBytes(), 8192000000ull);
    EXPECT_TRUE(dm.LastRefresh());

    // Byte counts from the system beat the capped cluster counts.
    drive.space = {64, 512, 0xFFFFFFFFu, 0xFFFFFFFFu, 3000000000000ull, 4000000000000ull};
    ASSERT_TRUE(dm.RefreshDiskInfo());
    EXPECT_EQ(dm.FreeBytes(), 3000000000000ull);
    EXPECT_EQ(dm.TotalBytes(), 4000000000000ull);

    // A UNC share prefix is a drive of its own.
    dm.SetDrive("\\\\server\\share");
    EXPECT_EQ(drive.lastRoot, "\\\\server\\share\\");
    EXPECT_EQ(changes, 2);

    // No drive at all: type 1, nothing of the old drive left.
    dm.SetDrive("");
    EXPECT_EQ(dm.DriveType(), os::dtNoRoot);
    EXPECT_EQ(dm.DriveTypeName(), "None");
    EXPECT_EQ(dm.VolumeLabel(), "");
    EXPECT_EQ(dm.FreeBytes(), 0u);
}

TEST(DiskManager, NetworkDriveSucceedsWithoutAskingForSpace) {
    FakeDrive drive;
    TDiskManager dm;
    dm.SetDrive("C:");
    ASSERT_GT(dm.FreeBytes(), 0u);

    drive.type = os::dtRemote;
    drive.spaceReadable = false;
    drive.spaceReads = 0;
    RetryAnswers answers({});
    EXPECT_TRUE(dm.RefreshDiskInfo());
    EXPECT_TRUE(dm.GetDiskSpace());
    EXPECT_EQ(drive.spaceReads, 0);
    EXPECT_TRUE(answers.asked.empty());
    EXPECT_EQ(dm.DriveTypeName(), "Network");
    // The space of the drive before is not passed off as this one's.
    EXPECT_EQ(dm.FreeBytes(), 0u);
    EXPECT_EQ(dm.TotalBytes(), 0u);
}

TEST(DiskManager, RemovableDriveIsNamedByItsFloppyFormOrElseAsFloppy) {
    EXPECT_EQ(TDiskManager::DriveTypeNameOf(7), "3\xBD Floppy");
    EXPECT_EQ(TDiskManager::DriveTypeNameOf(8), "5\xBC Floppy");
    EXPECT_EQ(TDiskManager::DriveTypeNameOf(5), "CD-ROM");
    EXPECT_EQ(TDiskManager::DriveTypeNameOf(9), "");

    FakeDrive drive;
    drive.type = os::dtRemovable;
    drive.space = {1, 512, 2000, 2847};
    TDiskManager dm;
    dm.SetDrive("A:");
    // The form is only known on systems with the old device interface;
    // elsewhere the drive is still a floppy, not "Unknown".
    EXPECT_EQ(dm.DriveKind(), 0);
    EXPECT_EQ(dm.DriveTypeName(), "Floppy");
    // Its space is read with the rest, for a spanned writer to fill.
    EXPECT_EQ(dm.FreeBytes(), 2000u * 512);
    EXPECT_EQ(dm.TotalBytes(), 2847u * 512);

    drive.type = os::dtCDROM;
    ASSERT_TRUE(dm.RefreshDiskInfo());
    EXPECT_EQ(dm.DriveTypeName(), "CD-ROM");
}

TEST(DiskManager, RetryReadsAgainAndCancelKeepsThePreviousDiskWhole) {
    FakeDrive drive;
    drive.label = "FIRST";
    drive.serial = 0x11111111;
    TDiskManager dm;
    dm.SetDrive("a:");
    ASSERT_EQ(dm.VolumeLabel(), "FIRST");
    const uint64_t freeBefore = dm.FreeBytes();

    // The disk comes back while the question is open: Retry reads it.
    {
        drive.volumeReadable = false;
        drive.label = "SECOND";
        drive.serial = 0x22222222;
        RetryAnswers answers({os::Answer::Retry}, [&] { drive.volumeReadable = true; });
        EXPECT_TRUE(dm.RefreshDiskInfo());
        ASSERT_EQ(answers.asked.size(), 1u);
        // The root in capitals with its backslash, the message, a blank
        // line and the system's reason.
        EXPECT_EQ(answers.asked[0].rfind("A:\\is not accessible.\r\n\r\n", 0), 0u) << answers.asked[0];
        EXPECT_EQ(dm.VolumeLabel(), "SECOND");
    }
    // Retry once, then Cancel: False, and the last good disk stays.
    {
        drive.volumeReadable = false;
        drive.label = "THIRD";
        drive.volumeReads = 0;
        RetryAnswers answers({os::Answer::Retry, os::Answer::Cancel});
        EXPECT_FALSE(dm.RefreshDiskInfo());
        EXPECT_EQ(answers.asked.size(), 2u);
        EXPECT_EQ(drive.volumeReads, 2);
        EXPECT_FALSE(dm.LastRefresh());
        EXPECT_EQ(dm.VolumeLabel(), "SECOND");
        EXPECT_EQ(dm.SerialText(), "22222222");
    }
    // A fixed drive whose label reads but whose space does not: Cancel
    // keeps the old label too, not half of each disk.
    {
        drive.volumeReadable = true;
        drive.spaceReadable = false;
        drive.space = {1, 512, 1, 1};
        RetryAnswers answers({});
        EXPECT_FALSE(dm.RefreshDiskInfo());
        EXPECT_EQ(answers.asked.size(), 1u);
        EXPECT_EQ(dm.VolumeLabel(), "SECOND");
        EXPECT_EQ(dm.FreeBytes(), freeBefore);
    }
}

TEST(DiskManager, CheckDriveReadyAsksOnlyForDriveLettersThatCannotBeRead) {
    FakeDrive drive;
    drive.volumeReadable = false;
    {
        RetryAnswers answers({os::Answer::Retry});
        // Relative, UNC, too short for a drive root, empty: always ready,
        // the drive is not even asked.
        EXPECT_TRUE(CheckDriveReady("folder\\archive.zip"));
        EXPECT_TRUE(CheckDriveReady("\\\\server\\share\\archive.zip"));
        EXPECT_TRUE(CheckDriveReady("C:"));
        EXPECT_TRUE(CheckDriveReady(""));
        EXPECT_TRUE(CheckDriveReady("\\archive.zip"));
        EXPECT_EQ(drive.volumeReads, 0);
        EXPECT_TRUE(answers.asked.empty());
    }
    {
        RetryAnswers answers({os::Answer::Retry, os::Answer::Cancel});
        EXPECT_FALSE(CheckDriveReady("b:\\sets\\archive.zip"));
        EXPECT_EQ(answers.asked.size(), 2u);
        EXPECT_EQ(drive.volumeReads, 2);
        EXPECT_EQ(answers.asked[0].rfind("B:\\is not accessible.", 0), 0u);
    }
    {
        drive.volumeReads = 0;
        RetryAnswers answers({os::Answer::Retry}, [&] { drive.volumeReadable = true; });
        EXPECT_TRUE(CheckDriveReady("B:\\archive.zip"));
        EXPECT_EQ(answers.asked.size(), 1u);
        EXPECT_EQ(drive.volumeReads, 2);
    }
    // Without an application hook the question is answered Cancel.
    drive.volumeReadable = false;
    EXPECT_FALSE(CheckDriveReady("B:\\archive.zip"));
}

TEST(DiskManager, WriteVolumeLabelWritesOnlyAChangedLabelAndRereads) {
    FakeDrive drive;
    drive.type = os::dtRemovable;
    drive.label = "PKBACK# 001";
    TDiskManager dm;
    dm.SetDrive("A:");

    EXPECT_TRUE(dm.WriteVolumeLabel("PKBACK# 001"));
    EXPECT_TRUE(drive.labelsWritten.empty());

    EXPECT_TRUE(dm.WriteVolumeLabel("PKBACK# 002"));
    ASSERT_EQ(drive.labelsWritten.size(), 1u);
    EXPECT_EQ(dm.VolumeLabel(), "PKBACK# 002");
    EXPECT_EQ(dm.DiskNumber(), 2);

    drive.labelWritable = false;
    EXPECT_FALSE(dm.WriteVolumeLabel("PKBACK# 003"));
    EXPECT_EQ(dm.DiskNumber(), 2);
}

TEST(DiskManager, ReadRemovableDiskAsksUntilTheSpaceCanBeRead) {
    FakeDrive drive;
    TDiskManager dm;
    dm.SetDrive("C:");
    EXPECT_FALSE(dm.ReadRemovableDisk());  // not a removable drive

    drive.type = os::dtRemovable;
    dm.SetDrive("A:");
    drive.spaceReadable = false;
    drive.space = {1, 512, 700, 1440};
    {
        RetryAnswers answers({os::Answer::Retry}, [&] { drive.spaceReadable = true; });
        EXPECT_TRUE(dm.ReadRemovableDisk());
        EXPECT_EQ(answers.asked.size(), 1u);
        EXPECT_EQ(dm.FreeBytes(), 700u * 512);
        EXPECT_EQ(dm.DriveTypeName(), "Floppy");
    }
    drive.spaceReadable = false;
    {
        RetryAnswers answers({});
        EXPECT_FALSE(dm.ReadRemovableDisk());
        EXPECT_EQ(answers.asked.size(), 1u);
    }
}

TEST(DiskManager, PollingRunsOnlyForRemovableAndCdDrivesWithAnInterval) {
    FakeDrive drive;
    TDiskManager dm;
    dm.SetDrive("C:");
    dm.SetPolling(true);
    EXPECT_FALSE(dm.Polling());  // fixed drive

    drive.type = os::dtRemovable;
    dm.SetDrive("A:");
    dm.SetPollInterval(0);
    dm.SetPolling(true);
    EXPECT_FALSE(dm.Polling());  // no interval

    dm.SetPollInterval(500);
    drive.volumeReads = 0;
    dm.SetPolling(true);
    EXPECT_TRUE(dm.Polling());
    EXPECT_EQ(drive.volumeReads, 1);  // switching refreshes

    // Another drive restarts polling, which a fixed drive refuses.
    drive.type = os::dtCDROM;
    dm.SetDrive("D:");
    EXPECT_TRUE(dm.Polling());
    drive.type = os::dtFixed;
    dm.SetDrive("C:");
    EXPECT_FALSE(dm.Polling());

    drive.type = os::dtRemovable;
    dm.SetDrive("A:");
    dm.SetPolling(true);
    ASSERT_TRUE(dm.Polling());
    dm.SetPollInterval(-1);
    EXPECT_FALSE(dm.Polling());
    dm.SetPollInterval(100);
    dm.SetPolling(true);
    dm.SetPolling(false);
    EXPECT_FALSE(dm.Polling());
}

TEST(DiskManager, PollTickTellsOnlyWhenTheSerialChanges) {
    FakeDrive drive;
    drive.type = os::dtRemovable;
    drive.label = "PKBACK# 001";
    drive.serial = 0x1000;
    TDiskManager dm;
    int changes = 0;
    dm.OnDiskChange = [&](TObject* sender) {
        ++changes;
        EXPECT_EQ(sender, &dm);
    };
    dm.SetDrive("A:");
    dm.SetPolling(true);
    ASSERT_TRUE(dm.Polling());

    os::FireTimers();
    EXPECT_EQ(changes, 0);

    // A new label on the same disk is no disk change.
    drive.label = "RELABELLED";
    os::FireTimers();
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(dm.VolumeLabel(), "RELABELLED");

    drive.serial = 0x2000;
    drive.label = "PKBACK# 002";
    os::FireTimers();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(dm.SerialText(), "00002000");
    EXPECT_EQ(dm.DiskNumber(), 2);
    os::FireTimers();
    EXPECT_EQ(changes, 1);

    // The handler may switch polling off.
    dm.OnDiskChange = [&](TObject*) {
        ++changes;
        dm.SetPolling(false);
    };
    drive.serial = 0x3000;
    os::FireTimers();
    EXPECT_EQ(changes, 2);
    EXPECT_FALSE(dm.Polling());
    drive.serial = 0x4000;
    os::FireTimers();
    EXPECT_EQ(changes, 2);
}

TEST(DiskManager, PollTickAsksOneQuestionAtATime) {
    FakeDrive drive;
    drive.type = os::dtRemovable;
    TDiskManager dm;
    dm.SetDrive("A:");
    dm.SetPolling(true);
    ASSERT_TRUE(dm.Polling());

    // The disk is taken out: the tick asks, and while the question is open
    // the timer keeps firing, as it does under a modal message box.
    drive.volumeReadable = false;
    int asks = 0;
    RetryAnswers answers({}, [&] {
        if (asks++ == 0) os::FireTimers();
    });
    os::FireTimers();
    EXPECT_EQ(answers.asked.size(), 1u);
    EXPECT_TRUE(dm.Polling());
}

TEST(DiskManager, FreedManagerStopsItsPollTimer) {
    FakeDrive drive;
    drive.type = os::dtRemovable;
    int changes = 0;
    {
        TDiskManager dm;
        dm.OnDiskChange = [&](TObject*) { ++changes; };
        dm.SetDrive("A:");
        dm.SetPolling(true);
        ASSERT_TRUE(dm.Polling());
    }
    drive.serial = 0x5000;
    os::FireTimers();  // the sanitizers catch a tick on the freed manager
    EXPECT_EQ(changes, 0);

    // Freed from inside its own change event.
    auto owned = std::make_unique<TDiskManager>();
    owned->OnDiskChange = [&](TObject*) {
        ++changes;
        owned.reset();
    };
    owned->SetDrive("A:");
    owned->SetPolling(true);
    drive.serial = 0x6000;
    os::FireTimers();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(owned, nullptr);
}

// Pumps the thread's messages as the application's loop would, until done
// says so or two seconds pass.
bool RunMessageLoop(const std::function<bool()>& done) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
#ifdef _WIN32
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
#else
        os::ProcessMessages();
#endif
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

TEST(DiskManager, PollTimerFiresFromTheMessageLoop) {
    FakeDrive drive;
    drive.type = os::dtRemovable;
    TDiskManager dm;
    int changes = 0;
    dm.OnDiskChange = [&](TObject*) { ++changes; };
    dm.SetPollInterval(10);
    dm.SetDrive("A:");
    dm.SetPolling(true);
    drive.serial = 0xBEEF;
    EXPECT_TRUE(RunMessageLoop([&] { return changes == 1; }));
    EXPECT_EQ(dm.SerialText(), "0000BEEF");
    // It goes on ticking: the drive keeps being read.
    int reads = drive.volumeReads;
    EXPECT_TRUE(RunMessageLoop([&] { return drive.volumeReads >= reads + 2; }));
}

TEST(OsTimers, CallbacksMayStopTimersAndTheirExceptionsGoToTheApplication) {
    // Each stops the other: whichever fires first, the other never does.
    std::vector<std::string> events;
    os::TimerId first = 0, second = 0;
    first = os::StartTimer(60000, [&] {
        events.push_back("first");
        os::StopTimer(second);
    });
    second = os::StartTimer(60000, [&] {
        events.push_back("second");
        os::StopTimer(first);
    });
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(os::StartTimer(10, {}), 0u);

    os::FireTimers();
    ASSERT_EQ(events.size(), 1u);
    os::FireTimers();
    EXPECT_EQ(events.size(), 2u);  // the survivor runs on
    os::StopTimer(first);
    os::StopTimer(second);
    os::StopTimer(second);  // twice is harmless
    os::FireTimers();
    EXPECT_EQ(events.size(), 2u);

    std::string caught;
    os::AppHooks hooks;
    hooks.handleException = [&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            caught = x.what();
        }
    };
    os::SetAppHooks(hooks);
    os::TimerId thrower = os::StartTimer(60000, [] { throw std::runtime_error("tick failed"); });
    os::FireTimers();
    EXPECT_EQ(caught, "tick failed");
    os::SetAppHooks({});
    EXPECT_NO_THROW(os::FireTimers());  // no hook: dropped
    os::StopTimer(thrower);
}

#ifdef _WIN32

// ---- a real removable drive under Wine -------------------------------------

// Maps drive letters to emulated floppies for one test and takes them away
// after. The disks are those tests/floppy prepared (1.44 MB each when it
// could mount them), or else folders in the temporary folder.
class WineFloppyTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::RunningUnderWine()) GTEST_SKIP() << "emulated floppies need Wine";
        for (int n = 1; n <= 3; ++n) {
            std::string dir = test::PreparedFloppy(n);
            if (dir.empty()) {
                dir = os::GetTempDirectory() + "bramble-floppy" + std::to_string(n);
                os::DirCreate(dir);
            }
            ASSERT_TRUE(os::DirectoryExists(dir)) << dir;
            Clear(dir);
            disks_.push_back(dir);
        }
        floppySpace_ = !test::PreparedFloppy(1).empty() && test::PreparedFloppiesHaveFloppySpace();
    }
    void TearDown() override {
        for (char letter : mapped_) test::UnmapWineDrive(letter);
    }

    // Empties a disk, keeping the serial tests/floppy gave it.
    static void Clear(const std::string& dir) {
        os::Finder finder;
        os::FindData fd;
        std::vector<std::string> names;
        for (int rc = finder.First(test::Join(dir, "*"), fd); rc == 0; rc = finder.Next(fd))
            if (!(fd.attributes & os::faDirectory) && fd.name != ".windows-serial") names.push_back(fd.name);
        finder.Close();
        for (const auto& name : names) {
            os::SetAttributes(test::Join(dir, name), 0);
            os::FileDelete(test::Join(dir, name));
        }
    }

    // Writes the label and serial a disk shows once it is (re)inserted.
    void Label(int disk, const std::string& label, const std::string& serial) {
        test::WriteAll(test::Join(disks_[disk - 1], ".windows-label"), label + "\n");
        test::WriteAll(test::Join(disks_[disk - 1], ".windows-serial"), serial + "\n");
    }

    // Puts a disk into the drive (or puts it in again after a change).
    void Insert(char letter, int disk) {
        ASSERT_TRUE(test::MapWineFloppy(letter, test::UnixPathOf(disks_[disk - 1])))
            << "Wine's mount manager refused " << letter << ": (" << GetLastError() << ")";
        mapped_.push_back(letter);
    }

    std::vector<std::string> disks_;
    std::vector<char> mapped_;
    bool floppySpace_ = false;
};

TEST_F(WineFloppyTest, DiskManagerDescribesTheEmulatedFloppy) {
    Label(1, "PKBACK# 001", "1234ABCD");
    Insert('A', 1);
    EXPECT_EQ(GetDriveTypeA("A:\\"), static_cast<UINT>(DRIVE_REMOVABLE));

    TDiskManager dm;
    dm.SetDrive("A:");
    EXPECT_TRUE(dm.LastRefresh());
    EXPECT_EQ(dm.DriveType(), os::dtRemovable);
    EXPECT_EQ(dm.DriveTypeName(), "Floppy");
    EXPECT_EQ(dm.VolumeLabel(), "PKBACK# 001");
    EXPECT_EQ(dm.DiskNumber(), 1);
    EXPECT_EQ(dm.SerialText(), "1234ABCD");
    EXPECT_GT(dm.TotalBytes(), 0u);
    EXPECT_LE(dm.FreeBytes(), dm.TotalBytes());
    if (!floppySpace_) return;

    EXPECT_EQ(dm.TotalBytes(), 1440u * 1024);
    const uint64_t before = dm.FreeBytes();
    EXPECT_GT(before, 1400u * 1024);
    test::WriteAll("A:\\part.bin", std::string(100000, 'x'));
    ASSERT_TRUE(dm.RefreshDiskInfo());
    EXPECT_LE(dm.FreeBytes() + 100000, before);

    // A full disk fails the write that does not fit: short, then refused.
    os::File f;
    ASSERT_TRUE(f.Open("A:\\fill.bin", os::OpenMode::Create));
    std::string block(65536, 'y');
    int64_t written = 0, got;
    while ((got = f.Write(block.data(), static_cast<int64_t>(block.size()))) == static_cast<int64_t>(block.size()))
        written += got;
    EXPECT_LT(got, static_cast<int64_t>(block.size()));
    EXPECT_GT(written, 1200000);
    f.Close();
    ASSERT_TRUE(dm.RefreshDiskInfo());
    EXPECT_LT(dm.FreeBytes(), 4096u);
}

TEST_F(WineFloppyTest, WrittenLabelIsOnTheDiskAtItsNextInsertion) {
    Label(1, "PKBACK# 001", "0000AAAA");
    Insert('A', 1);
    TDiskManager dm;
    dm.SetDrive("A:");
    ASSERT_EQ(dm.DiskNumber(), 1);

    EXPECT_TRUE(dm.WriteVolumeLabel("PKBACK# 002"));
    EXPECT_EQ(test::ReadAll(test::Join(disks_[0], ".windows-label")).substr(0, 11), "PKBACK# 002");
    // Wine keeps the label it read when the disk went in; the disk itself
    // has the new one.
    Insert('A', 1);
    ASSERT_TRUE(dm.RefreshDiskInfo());
    EXPECT_EQ(dm.VolumeLabel(), "PKBACK# 002");
    EXPECT_EQ(dm.DiskNumber(), 2);
}

TEST_F(WineFloppyTest, PollingNoticesADiskChange) {
    Label(1, "PKBACK# 001", "0000D001");
    Label(2, "PKBACK# 002", "0000D002");
    Insert('A', 1);
    TDiskManager dm;
    int changes = 0;
    dm.OnDiskChange = [&](TObject*) { ++changes; };
    dm.SetPollInterval(20);
    dm.SetDrive("A:");
    dm.SetPolling(true);
    ASSERT_TRUE(dm.Polling());

    Insert('A', 2);
    EXPECT_TRUE(RunMessageLoop([&] { return changes == 1; }));
    EXPECT_EQ(dm.SerialText(), "0000D002");
    EXPECT_EQ(dm.DiskNumber(), 2);

    // The same disk again with only its files changed is no disk change.
    test::WriteAll(test::Join(disks_[1], "data.bin"), "x");
    Insert('A', 2);
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    RunMessageLoop([&] { return std::chrono::steady_clock::now() > until; });
    EXPECT_EQ(changes, 1);
}

TEST_F(WineFloppyTest, MissingDriveIsAskedForUntilItIsThere) {
    test::UnmapWineDrive('B');
    mapped_.push_back('B');
    ASSERT_EQ(GetDriveTypeA("B:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    {
        RetryAnswers answers({os::Answer::Retry, os::Answer::Cancel});
        EXPECT_FALSE(CheckDriveReady("B:\\set.zip"));
        ASSERT_EQ(answers.asked.size(), 2u);
        EXPECT_EQ(answers.asked[0].rfind("B:\\is not accessible.\r\n\r\n", 0), 0u);
        EXPECT_GT(answers.asked[0].size(), std::string("B:\\is not accessible.\r\n\r\n").size())
            << "the system's reason is missing";
    }
    {
        Label(3, "PKBACK# 003", "0000D003");
        RetryAnswers answers({os::Answer::Retry}, [&] { Insert('B', 3); });
        EXPECT_TRUE(CheckDriveReady("B:\\set.zip"));
        EXPECT_EQ(answers.asked.size(), 1u);
        TDiskManager dm;
        dm.SetDrive("B:");
        EXPECT_EQ(dm.DiskNumber(), 3);
    }
}

#endif  // _WIN32

}  // namespace
}  // namespace bramble
