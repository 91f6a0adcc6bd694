// The tester: which kinds it takes, what it hands its reader and takes
// back, and that it leaves nothing behind however the test ends.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/core/exception.h"
#include "engine/core/zipcheck.h"
#include "support/testenv.h"

namespace bramble {
namespace {

using test::Join;

std::string Fixture(const std::string& name) { return Join(test::FixturesDir(), name); }

// A tester whose kind the test may force: detection never finds some kinds
// (a JAR behind a program stub), yet the tester must refuse them.
class TForcedCheck : public TZipCheck {
public:
    void Force(TArcType t) { arcType_ = t; }
};

struct CheckRun {
    std::vector<std::pair<std::string, bool>> status;
    std::vector<std::string> ended;
    std::vector<int> errors;
    std::vector<std::string> errorEx;
    std::vector<std::string> errorFns;
    std::vector<TObject*> errorSenders;
    int raised = 0;
    int tested = 0;
};

void Wire(TZipCheck& c, CheckRun& run, bool withStatus = true) {
    if (withStatus)
        c.OnStatus = [&](TObject*, const std::string& fn, bool pass) { run.status.emplace_back(fn, pass); };
    c.OnEnd = [&](TObject*, const std::string& fn) { run.ended.push_back(fn); };
    c.OnError = [&](TObject*, const std::string& fn, const std::string& ex, const std::string&, int code) {
        run.errors.push_back(code);
        run.errorEx.push_back(ex);
        run.errorFns.push_back(fn);
    };
    c.OnError = [&run, previous = c.OnError](TObject* sender, const std::string& fn, const std::string& ex,
                                             const std::string& v, int code) {
        run.errorSenders.push_back(sender);
        previous(sender, fn, ex, v, code);
    };
}

void Go(TZipCheck& c, CheckRun& run) {
    try {
        run.tested = c.TestArchive();
    } catch (const E_RAISE& e) {
        run.raised = e.Code();
    }
    // Whatever happened, nothing of the run is left.
    EXPECT_EQ(RunningComponent(), nullptr);
    EXPECT_EQ(c.Reader(), nullptr);
}

TEST(ZipCheck, TestsZipKindsEntryByEntry) {
    for (const char* name : {"plain.zip", "sfx.exe", "app.jar", "streamed.zip"}) {
        SCOPED_TRACE(name);
        TZipCheck c;
        CheckRun run;
        Wire(c, run);
        c.SetArchiveFile(Fixture(name));
        c.FileSpec() = {"*.*"};
        Go(c, run);
        EXPECT_EQ(run.raised, 0);
        EXPECT_FALSE(run.status.empty());
        EXPECT_EQ(run.tested, static_cast<int>(run.status.size()));
        EXPECT_EQ(c.FileCount(), run.tested);
        for (const auto& [fn, pass] : run.status) EXPECT_TRUE(pass) << fn;
        // OnStatus first, then OnEnd, for the same entry.
        ASSERT_EQ(run.ended.size(), run.status.size());
        EXPECT_EQ(run.ended[0], run.status[0].first);
    }
    // FileSpec reaches the reader.
    TZipCheck c;
    CheckRun run;
    Wire(c, run);
    c.SetArchiveFile(Fixture("plain.zip"));
    c.FileSpec() = {"hello.txt"};
    Go(c, run);
    ASSERT_EQ(run.status.size(), 1u);
    EXPECT_EQ(run.status[0].first, "hello.txt");
}

TEST(ZipCheck, EveryDamagedEntryIsReportedUnderItsOwnStoredName) {
    // big.bin with a byte of its data changed; sub/nested.txt with the CRC
    // its central record gives changed, so only the check value fails.
    std::string zip = test::ReadAll(Fixture("plain.zip"));
    auto le = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(zip[at + static_cast<size_t>(i)]);
        return v;
    };
    for (size_t at = zip.find("PK\x03\x04"); at != std::string::npos; at = zip.find("PK\x03\x04", at + 4)) {
        if (zip.compare(at + 30, le(at + 26, 2), "big.bin") != 0) continue;
        const size_t data = at + 30 + le(at + 26, 2) + le(at + 28, 2);
        zip[data + le(at + 18, 4) / 2] ^= 0x40;
    }
    const size_t central = zip.find("PK\x01\x02");
    for (size_t at = central; at != std::string::npos; at = zip.find("PK\x01\x02", at + 4))
        if (zip.compare(at + 46, le(at + 28, 2), "sub/nested.txt") == 0) zip[at + 16] ^= 0x01;
    const std::string archive = Join(test::ScratchDir("zipcheck-damaged"), "damaged.zip");
    test::WriteAll(archive, zip);

    TZipCheck c;
    CheckRun run;
    Wire(c, run);
    c.SetArchiveFile(archive);
    c.FileSpec() = {"*.*"};
    Go(c, run);
    EXPECT_EQ(run.raised, 0);
    std::set<std::string> failed;
    for (const auto& [fn, pass] : run.status)
        if (!pass) failed.insert(fn);
    const std::set<std::string> damaged = {"big.bin", "sub\\nested.txt"};
    EXPECT_EQ(failed, damaged);
    // Each reported, under the name the list shows, not as a path in some
    // folder.
    EXPECT_EQ(std::set<std::string>(run.errorFns.begin(), run.errorFns.end()), damaged);
}

TEST(ZipCheck, RefusesKindsWithoutReaderOrNotTestable) {
    const std::string dir = test::ScratchDir("zipcheck-kinds");
    // A program with an ACE archive behind it.
    std::string aceExe = "MZ" + std::string(20000, '\0') + "1234567**ACE**" + std::string(64, '\1');
    test::WriteAll(Join(dir, "ace.exe"), aceExe);
    {
        TZipCheck c;
        CheckRun run;
        Wire(c, run);
        c.SetArchiveFile(Join(dir, "ace.exe"));
        ASSERT_EQ(c.ArcType(), atAceExe);
        bool activated = false;
        c.OnActivate = [&](TObject*) { activated = true; };
        Go(c, run);
        EXPECT_EQ(run.raised, 25242);
        EXPECT_EQ(run.errors, std::vector<int>({25242}));
        EXPECT_FALSE(activated);
    }
    {
        TForcedCheck c;
        CheckRun run;
        Wire(c, run);
        c.SetArchiveFile(Fixture("app.jar"));
        c.Force(atJarExe);
        Go(c, run);
        EXPECT_EQ(run.raised, 25242);
    }
    // Cabinets and UU text are not testable at all; no archive either.
    for (const char* name : {"plain.cab", "hello.uue", ""}) {
        SCOPED_TRACE(name);
        TZipCheck c;
        CheckRun run;
        Wire(c, run);
        if (*name) c.SetArchiveFile(Fixture(name));
        Go(c, run);
        EXPECT_EQ(run.raised, 25242);
        EXPECT_TRUE(run.status.empty());
    }
}

TEST(ZipCheck, OnStatusIsRequiredBeforeTheArchiveIsOpened) {
    TZipCheck c;
    CheckRun run;
    Wire(c, run, false);
    bool activated = false;
    c.OnActivate = [&](TObject*) { activated = true; };
    c.SetArchiveFile(Fixture("plain.zip"));
    Go(c, run);
    EXPECT_EQ(run.raised, 25270);
    EXPECT_EQ(run.errorEx, std::vector<std::string>({"OnStatus"}));
    EXPECT_FALSE(activated);
    EXPECT_TRUE(run.ended.empty());
}

TEST(ZipCheck, PasswordsLearnedDuringTheTestAreKept) {
    TZipCheck c;
    CheckRun run;
    Wire(c, run);
    int asked = 0;
    c.OnGetPassword = [&](TObject*, const std::string&, std::string& pw, bool&) {
        ++asked;
        pw = "secret";
    };
    c.SetArchiveFile(Fixture("encrypted.zip"));
    c.FileSpec() = {"*.*"};
    c.SetPasswords({"first guess"});
    Go(c, run);
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(run.status.size(), 2u);
    EXPECT_TRUE(run.status[0].second && run.status[1].second);
    EXPECT_EQ(c.Passwords(), std::vector<std::string>({"first guess", "secret"}));

    // The next test needs nobody.
    asked = 0;
    CheckRun again;
    Wire(c, again);
    Go(c, again);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(again.status.size(), 2u);
}

TEST(ZipCheck, CancelReachesTheReaderAndEveryWayOutCleansUp) {
    // Cancelled from a progress handler while the reader runs.
    {
        TZipCheck c;
        CheckRun run;
        Wire(c, run);
        TZipCommon* runningInside = nullptr;
        c.OnProgress = [&](TObject*, uint8_t, uint8_t) {
            if (runningInside) return;
            runningInside = RunningComponent();
            EXPECT_EQ(runningInside, c.Reader());
            c.SetCancel(true);
        };
        c.SetArchiveFile(Fixture("plain.zip"));
        c.FileSpec() = {"*.*"};
        Go(c, run);
        ASSERT_NE(runningInside, nullptr);
        // The reader stops where it stands: between entries quietly, inside
        // one with 25400.
        EXPECT_TRUE(run.raised == 0 || run.raised == 25400) << run.raised;
        EXPECT_LT(run.status.size(), 4u);
        ASSERT_FALSE(run.errors.empty());
        EXPECT_EQ(run.errors.front(), 25449);  // fired by the reader, through the tester's handler
        EXPECT_EQ(run.errorSenders.front(), runningInside);
        EXPECT_TRUE(c.Cancel());
    }
    // A handler that throws something of its own.
    {
        TZipCheck c;
        CheckRun run;
        Wire(c, run);
        c.OnBegin = [](TObject*, const std::string&, int, bool&) { throw std::runtime_error("handler failed"); };
        c.SetArchiveFile(Fixture("plain.zip"));
        c.FileSpec() = {"*.*"};
        EXPECT_THROW(c.TestArchive(), std::runtime_error);
        EXPECT_EQ(RunningComponent(), nullptr);
        EXPECT_EQ(c.Reader(), nullptr);
    }
    // The tester can run again after both.
    TZipCheck c;
    CheckRun run;
    Wire(c, run);
    c.SetArchiveFile(Fixture("plain.zip"));
    c.FileSpec() = {"*.*"};
    Go(c, run);
    EXPECT_EQ(run.raised, 0);
    EXPECT_FALSE(run.status.empty());
}

}  // namespace
}  // namespace bramble
