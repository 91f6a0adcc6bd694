#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "engine/core/compbase.h"
#include "engine/core/crc.h"
#include "engine/lister/dovex.h"
#include "engine/core/messages.h"
#include "engine/core/os.h"
#include "engine/core/zipcommon.h"
#include "engine/core/zipcrypt.h"
#include "support/testenv.h"

namespace bramble {
namespace {

using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

// A component whose kind and volume letter a test may set without an archive.
class Probe : public TZipCommon {
public:
    using TZipCommon::TZipCommon;
    void SetKind(TArcType t) { arcType_ = t; }
    void SetLetter(char c) { volumeLetter_ = c; }
    void Feed(const std::string& bytes) {
        InputSource = isMemory;
        MemoryBlock = reinterpret_cast<const uint8_t*>(bytes.data());
        MemoryLeft = int64_t(bytes.size());
    }
    int64_t Put(const std::string& bytes, int crcKind = 0, bool decrypt = false, bool isData = true) {
        return ExtractWriteHook(nullptr, isData, int64_t(bytes.size()), crcKind, decrypt,
                                reinterpret_cast<const uint8_t*>(bytes.data()));
    }
};

struct ErrorLog {
    struct Entry {
        std::string fn, msgEx, volumeID;
        int code;
    };
    std::vector<Entry> entries;
    void Attach(TZipCommon& c) {
        c.OnError = [this](TObject*, const std::string& fn, const std::string& msgEx, const std::string& vol,
                           int code) { entries.push_back({fn, msgEx, vol, code}); };
    }
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const Entry& e : entries) codes.push_back(e.code);
        return codes;
    }
};

template <typename F>
int RaisedCode(F&& f) {
    try {
        f();
    } catch (const E_RAISE& e) {
        return e.Code();
    }
    return -1;
}

std::string Slashes(std::string s) {
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

// The running-component reference is engine-wide: no test may leak it.
class CoreRun : public ::testing::Test {
protected:
    void SetUp() override { SetRunningComponent(nullptr); }
    void TearDown() override { SetRunningComponent(nullptr); }
};
using CoreErrors = CoreRun;

// ---- tables ------------------------------------------------------------------

TEST(CoreMessages, TableHoldsExactlyTheKnownIdsWithTheirTexts) {
    const std::vector<int> expected = {
        25102, 25103, 25104, 25105, 25106, 25107, 25108, 25109, 25120, 25121, 25122, 25123, 25134, 25135,
        25136, 25137, 25138, 25139, 25150, 25151, 25152, 25153, 25154, 25155, 25156, 25157, 25158, 25159,
        25160, 25161, 25166, 25167, 25168, 25169, 25170, 25171, 25172, 25173, 25230, 25235, 25236, 25237,
        25238, 25239, 25240, 25241, 25242, 25243, 25245, 25246, 25247, 25248, 25249, 25250, 25253, 25255,
        25256, 25257, 25258, 25259, 25260, 25261, 25262, 25264, 25265, 25266, 25270, 25280, 25281, 25290, 25292,
        25293, 25298, 25299, 25324, 25326, 25327, 25328, 25350, 25400, 25402, 25449, 25901, 25902, 25903,
        25904, 25905, 25906, 26517, 26522, 26800, 26859, 26899};
    int count = 0;
    const int* ids = MessageIds(count);
    ASSERT_EQ(count, 93);
    EXPECT_EQ(std::vector<int>(ids, ids + count), expected);
    for (int id : expected) EXPECT_FALSE(MessageText(id).empty()) << id;

    // Texts the application shows verbatim, misspellings and all.
    const std::pair<int, const char*> texts[] = {
        {25102, "File is read-only"}, {25136, "Error writing to file"},
        {25154, "Disks contains neither label nor serial numbers to compare"},
        {25158, "Invalid directory... defaulting to current"}, {25160, "is not accessible."},
        {25240, "Line found before 'BEGIN'"}, {25243, "Invalid file name"},
        {25248, "Inconsistant local header"}, {25250, "Maximum volumes 999"},
        {25281, "Open paran, but no close paran"}, {25400, "User Aborted"}, {25449, "User canceled"},
        {26859, "Nothing to do"}, {26899, "Directory does not exist... Create?"}};
    for (auto [id, text] : texts) EXPECT_EQ(MessageText(id), text) << id;

    for (int unknown : {0, -1, 25101, 25110, 25244, 26900, 99999}) EXPECT_EQ(MessageText(unknown), "") << unknown;

    E_RAISE e(25248);
    EXPECT_EQ(e.Code(), 25248);
    EXPECT_STREQ(e.what(), "Inconsistant local header");
    const Exception& base = e;  // callers catch the class library's base
    EXPECT_STREQ(base.what(), "Inconsistant local header");
}

#ifdef _WIN32
// On Windows the texts are the program's string table, made from the
// engine's table by the build: every id is there with its text, and that
// is the text the engine gives. (Without the resource in the program the
// table is empty and every text with it.)
TEST(CoreMessages, TextsAreTheProgramsStringTable) {
    int count = 0;
    const int* ids = MessageIds(count);
    ASSERT_EQ(count, 93);
    const HMODULE program = GetModuleHandleA(nullptr);
    for (int i = 0; i < count; ++i) {
        char text[512];
        const int n = LoadStringA(program, static_cast<UINT>(ids[i]), text, sizeof text);
        ASSERT_GT(n, 0) << ids[i] << " is not in the program's string table";
        EXPECT_EQ(MessageText(ids[i]), std::string(text, static_cast<size_t>(n))) << ids[i];
    }
    // Nothing else: the ids between and around the engine's have no string,
    // and the table says so, so that a module carrying no table (or an
    // older one) gives the compiled texts rather than blank ones.
    for (int unknown : {25101, 25110, 25244, 26900}) {
        char text[8];
        EXPECT_EQ(LoadStringA(program, static_cast<UINT>(unknown), text, sizeof text), 0) << unknown;
        std::string got = "unchanged";
        EXPECT_FALSE(os::StringTableText(static_cast<unsigned>(unknown), got)) << unknown;
    }
}
#endif

// The shell's icon and type name for a file name, asked by the name alone
// (the file need not exist); the icon is by default the current entry's.
TEST(CoreShell, IconIndexAndTypeNameAreAskedByTheNameAlone) {
    TDovex d;
    d.EntryInfo.FileName = "folder\\never-there.txt";
#ifdef _WIN32
    const int txt = TZipCommon::GetFileIconIndex("other.txt");
    EXPECT_GE(txt, 0);
    EXPECT_EQ(d.GetFileIconIndex(), txt);
    EXPECT_EQ(TZipCommon::GetFileIconIndex("C:\\nowhere\\X.TXT"), txt);
    // As the shell answers with no attributes at all.
    for (const char* name : {"a.txt", "b.zip", "c.exe", "noext", "d.unknowntype"}) {
        SCOPED_TRACE(name);
        SHFILEINFOA sfi{};
        ASSERT_NE(SHGetFileInfoA(name, 0, &sfi, sizeof sfi, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES), 0u);
        EXPECT_EQ(TZipCommon::GetFileTypeName(name), sfi.szTypeName);
        sfi = {};
        ASSERT_NE(SHGetFileInfoA(name, 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES), 0u);
        EXPECT_EQ(TZipCommon::GetFileIconIndex(name), sfi.iIcon);
    }
    // A folder in the name changes nothing.
    EXPECT_EQ(TZipCommon::GetFileTypeName("folder\\y.txt"), TZipCommon::GetFileTypeName("x.txt"));
    EXPECT_FALSE(TZipCommon::GetFileTypeName("a.txt").empty());
#else
    // No shell: no icon and no type name.
    EXPECT_EQ(d.GetFileIconIndex(), -1);
    EXPECT_EQ(TZipCommon::GetFileIconIndex("other.txt"), -1);
    EXPECT_EQ(TZipCommon::GetFileTypeName("x.txt"), "");
#endif
    EXPECT_EQ(TZipCommon::GetFileIconIndex(""), -1);
    EXPECT_EQ(TZipCommon::GetFileTypeName(""), "");
}

TEST(CoreKinds, NamesArePaddedAndExtensionsMatchWhateverTheCase) {
    for (int i = 0; i < kArcTypeCount; ++i) EXPECT_EQ(ArcTypeName(TArcType(i)).size(), 10u) << i;
    EXPECT_EQ(ArcTypeName(atNA), "Not avail.");
    EXPECT_EQ(ArcTypeName(atUnknown), "Unknown   ");
    EXPECT_EQ(ArcTypeName(atBhExe), "BH  SFX   ");
    EXPECT_EQ(ArcTypeName(atJarExe), "JJar SFX  ");
    EXPECT_EQ(ArcTypeName(atMsGZ), "MsGZ     \t");
    EXPECT_EQ(ArcTypeName(atZipMV), "Zip MVol  ");
    EXPECT_EQ(ArcTypeName(atZoo), "ZOO       ");
    EXPECT_EQ(ArcTypeName(TArcType(32)), "");
    Probe p;
    p.SetKind(atRarExe);
    EXPECT_EQ(p.GetArcTypeName(), "RAR SFX   ");

    EXPECT_EQ(TZipCommon::ArcExtIndex(".UUE"), 0);
    EXPECT_EQ(TZipCommon::ArcExtIndex(".Zip"), 6);
    EXPECT_EQ(TZipCommon::ArcExtIndex(".z"), 4);
    EXPECT_EQ(TZipCommon::ArcExtIndex(".Pk3"), 19);
    for (const char* miss : {"", ".", "zip", ".zi", ".zipx", ".tar.gz", "ZIP."})
        EXPECT_EQ(TZipCommon::ArcExtIndex(miss), -1) << miss;
}

TEST(CoreKinds, CapabilitySetsHoldExactlyTheirMembers) {
    const std::set<int> invalid = {atNA, atUnsupported, atFileOpenErr, atUnknown};
    const std::set<int> extract = {atACE, atAceExe, atArc, atArcExe, atArj, atArjExe, atBh, atBhExe,
                                   atCab, atGZip, atJar, atJarExe, atLha, atLhaExe, atLzh, atLzhExe,
                                   atRar, atRarExe, atTar, atUue, atZip, atZipExe, atZipMV, atZoo};
    const std::set<int> compress = {atBh, atCab, atGZip, atJar, atLha, atLzh, atTar, atZip, atUue};
    const std::set<int> encrypt = {atBh, atBhExe, atJar, atJarExe, atZip, atZipExe};
    for (int i = 0; i < kArcTypeCount; ++i) {
        TArcType t = TArcType(i);
        EXPECT_EQ(IsValidArcType(t), !invalid.count(i)) << i;
        EXPECT_EQ(CanExtractArcType(t), extract.count(i) == 1) << i;
        EXPECT_EQ(CanCompressArcType(t), compress.count(i) == 1) << i;
        EXPECT_EQ(CanEncryptArcType(t), encrypt.count(i) == 1) << i;
        EXPECT_EQ(CanTestArcType(t), extract.count(i) == 1 && t != atCab && t != atUue) << i;
    }
    // Listed but never extracted.
    for (TArcType t : {atHa, atMsGZ, atPak, atPakExe}) EXPECT_FALSE(CanExtractArcType(t)) << int(t);
    EXPECT_TRUE(CanCompressArcType(atUue));
    EXPECT_FALSE(CanTestArcType(atUue));
    EXPECT_TRUE(CanExtractArcType(atCab));
    EXPECT_FALSE(CanTestArcType(atCab));
    for (int i : {32, 40, 63, 64, 200, 255}) {
        TArcType t = TArcType(i);
        EXPECT_FALSE(CanExtractArcType(t) || CanCompressArcType(t) || CanEncryptArcType(t) || CanTestArcType(t))
            << i;
    }
}

// ---- properties and defaults ---------------------------------------------------

TEST(CoreFileAttr, FlagsAndMaskKeepEachOtherInStep) {
    TdvxFileAttr a;
    EXPECT_TRUE(a.ftAnyFile());
    EXPECT_TRUE(a.ftZeroAttr());
    EXPECT_EQ(a.ftFileAttr(), 63);

    a.SetftHidden(false);
    EXPECT_FALSE(a.ftAnyFile());
    EXPECT_EQ(a.ftFileAttr(), 61);
    EXPECT_TRUE(a.ftArchive());
    a.SetftHidden(true);
    EXPECT_TRUE(a.ftAnyFile());
    EXPECT_EQ(a.ftFileAttr(), 63);

    a.SetftFileAttr(0x21);
    EXPECT_FALSE(a.ftAnyFile());
    EXPECT_EQ(a.ftFileAttr(), 0x21);
    EXPECT_TRUE(a.ftArchive() && a.ftReadOnly());
    EXPECT_FALSE(a.ftHidden() || a.ftSysFile() || a.ftDirectory() || a.ftVolumeID());

    for (int any : {0, 0x3F, 0x7F, 0x80, 0x81}) {
        a.SetftFileAttr(0x01);
        a.SetftFileAttr(any);
        EXPECT_TRUE(a.ftAnyFile()) << any;
        EXPECT_EQ(a.ftFileAttr(), 63) << any;
    }

    // Clearing the last of the flags turns the filter back into "any file".
    a.SetftFileAttr(0x01);
    a.SetftZeroAttr(false);
    EXPECT_FALSE(a.ftAnyFile());
    a.SetftReadOnly(false);
    EXPECT_TRUE(a.ftAnyFile());
    EXPECT_EQ(a.ftFileAttr(), 63);

    a.SetftCompressed(false);
    a.SetftTemporary(true);
    EXPECT_TRUE(a.ftCompressed());
    EXPECT_FALSE(a.ftTemporary());

    TdvxFileAttr b;
    b.SetftFileAttr(0x24);
    a.Assign(b);
    EXPECT_EQ(a.ftFileAttr(), 0x24);
    EXPECT_TRUE(a.ftSysFile());
}

TEST(CoreDefaults, ComponentsStartWithThePublishedDefaults) {
    TDovex lister;
    EXPECT_EQ(lister.ZipCmntBufSize(), 32000);
    EXPECT_EQ(lister.PasswordAttempts(), 3);
    EXPECT_TRUE(lister.UseStoredDirs());
    EXPECT_TRUE(lister.ConfirmOverwrites());
    EXPECT_EQ(lister.DateAttribute(), daFileDate);
    EXPECT_EQ(lister.DeleteOptions(), doAllowUndo);
    EXPECT_EQ(lister.OverwriteMode(), omOverwrite);
    EXPECT_EQ(TZipCommon().ZipCmntBufSize(), 0);
    for (auto [set, stored] : {std::pair{40000, 32767}, {100, 2000}, {5000, 5000}}) {
        lister.SetZipCmntBufSize(set);
        EXPECT_EQ(lister.ZipCmntBufSize(), stored) << set;
    }

    TCompBase writer;
    EXPECT_EQ(writer.DeflateType(), dtDeflateN);
    EXPECT_EQ(writer.DeflateLevel(), 7);
    EXPECT_EQ(writer.Switch(), swAdd);
    EXPECT_EQ(writer.StoredDirNames(), sdRelative);
    EXPECT_TRUE(writer.StoreAlreadyCompressedFiles());
    EXPECT_TRUE(writer.VerifyBeforeDelete());
    const std::pair<TDeflateType, int> levels[] = {
        {dtDeflateS, 1}, {dtDeflateF, 2}, {dtDeflateN, 7}, {dtDeflateX, 9}};
    for (auto [type, level] : levels) {
        writer.SetDeflateType(type);
        EXPECT_EQ(writer.DeflateType(), type);
        EXPECT_EQ(writer.DeflateLevel(), level);
    }
}

// ---- the error model -------------------------------------------------------------

TEST_F(CoreErrors, RaiseFiresOnErrorOnceThenThrowsAndReportOnlyFires) {
    TZipCommon c;
    ErrorLog log;
    log.Attach(c);
    int code = RaisedCode([&] { c.RaiseError("a.zip", "extra", "3", 25108); });
    EXPECT_EQ(code, 25108);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].fn, "a.zip");
    EXPECT_EQ(log.entries[0].msgEx, "extra");
    EXPECT_EQ(log.entries[0].volumeID, "3");
    EXPECT_EQ(log.entries[0].code, 25108);

    EXPECT_NO_THROW(c.ReportError("b.txt", "", "0", 25151));
    EXPECT_EQ(log.Codes(), (std::vector<int>{25108, 25151}));

    // Unassigned: reports vanish, raises still end the run.
    TZipCommon quiet;
    EXPECT_NO_THROW(quiet.ReportError("b.txt", "", "0", 25151));
    EXPECT_EQ(RaisedCode([&] { quiet.RaiseError("a.zip", "", "0", 25236); }), 25236);
}

TEST_F(CoreErrors, CancelReportsOnceAndTurnsTheNextRaiseIntoUserAborted) {
    std::string archive = Join(ScratchDir("core-cancel"), "gone.zip");
    TZipCommon c;
    c.SetArchiveFile(archive);
    ErrorLog log;
    log.Attach(c);

    TRunScope run(c);
    c.SetCancel(true);
    EXPECT_TRUE(c.Cancel());
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].code, 25449);
    EXPECT_EQ(log.entries[0].fn, c.ArchiveFile());
    EXPECT_EQ(log.entries[0].msgEx, "");

    // Whatever the failure, a cancelled run ends as "User Aborted".
    EXPECT_EQ(RaisedCode([&] { c.RaiseError("x", "", "0", 25236); }), 25400);
    EXPECT_EQ(log.Codes(), (std::vector<int>{25449, 25400}));

    // Reports of a cancelled run keep their own id.
    c.ReportError("x", "", "0", 25151);
    EXPECT_EQ(log.entries.back().code, 25151);

    c.SetCancel(false);
    EXPECT_EQ(log.entries.size(), 3u);
    TZipCommon silent;
    EXPECT_NO_THROW(silent.SetCancel(true));
    EXPECT_TRUE(silent.Cancel());
}

TEST_F(CoreRun, RunScopeFiresEventsInOrderAndHoldsTheReferenceOnlyDuringTheRun) {
    TZipCommon c;
    std::vector<std::string> events;
    c.OnActivate = [&](TObject* s) {
        EXPECT_EQ(s, &c);
        EXPECT_EQ(RunningComponent(), &c);
        events.push_back("activate");
    };
    c.OnDeactivate = [&](TObject*) { events.push_back("deactivate"); };
    c.OnElapsedTime = [&](TObject*, float t) {
        EXPECT_GE(t, 0.0f);
        events.push_back("elapsed");
    };
    c.SetCancelQuietly(true);
    {
        TRunScope run(c);
        EXPECT_FALSE(c.Cancel());  // a run starts uncancelled
        EXPECT_EQ(RunningComponent(), &c);
        events.push_back("body");
    }
    EXPECT_EQ(events, (std::vector<std::string>{"activate", "body", "deactivate", "elapsed"}));
    EXPECT_EQ(RunningComponent(), nullptr);

    events.clear();
    try {
        TRunScope run(c);
        throw E_RAISE(25108);
    } catch (const E_RAISE&) {
    }
    EXPECT_EQ(events, (std::vector<std::string>{"activate", "deactivate", "elapsed"}));
    EXPECT_EQ(RunningComponent(), nullptr);
}

TEST_F(CoreRun, SecondRunIsRefusedUnlessHandedOver) {
    TZipCommon first, second;
    bool secondActivated = false;
    second.OnActivate = [&](TObject*) { secondActivated = true; };
    TRunScope run(first);

    EXPECT_EQ(RaisedCode([&] { TRunScope other(second); }), 26859);
    EXPECT_FALSE(secondActivated);
    EXPECT_EQ(RunningComponent(), &first);

    {
        TRunScope handed(second, &first);
        EXPECT_TRUE(secondActivated);
        EXPECT_EQ(RunningComponent(), &second);
    }
    EXPECT_EQ(RunningComponent(), &first);
}

TEST_F(CoreRun, FreeingTheRunningComponentOrClearingItsArchiveDropsTheReference) {
    auto* doomed = new TZipCommon;
    TZipCommon other;
    SetRunningComponent(doomed);
    { TZipCommon bystander; }
    EXPECT_EQ(RunningComponent(), doomed);
    delete doomed;
    EXPECT_EQ(RunningComponent(), nullptr);

    SetRunningComponent(&other);
    other.SetArchiveFile("");
    EXPECT_EQ(RunningComponent(), nullptr);
    EXPECT_EQ(other.ArcType(), atNA);
    EXPECT_EQ(other.ArchiveFile(), "");
}

TEST(CoreSwapGuard, RestoresTheEventAlsoWhenAnExceptionPasses) {
    TZipCommon c;
    int original = 0, replacement = 0;
    c.OnActivate = [&](TObject*) { ++original; };
    try {
        TSwapGuard<TNotifyEvent> guard(c.OnActivate, [&](TObject*) { ++replacement; });
        c.OnActivate(&c);
        throw E_RAISE(25108);
    } catch (const E_RAISE&) {
    }
    c.OnActivate(&c);
    EXPECT_EQ(replacement, 1);
    EXPECT_EQ(original, 1);
}

// ---- block input and output ----------------------------------------------------

std::string Text(const TMemoryStream& s) { return std::string(s.Data().begin(), s.Data().end()); }

uint32_t Crc32Of(const std::string& s) {
    uint32_t r = 0xFFFFFFFF;
    Crc32Block(s.data(), s.size(), r);
    return r;
}

TEST(CoreTextMode, LoneLineFeedsBecomePairsAcrossBlocksAndCheckCoversTheInput) {
    Probe c;
    TMemoryStream out;
    c.OutputTarget = otCallerStream;
    c.StreamB = &out;
    c.TextMode = true;
    ASSERT_TRUE(c.OpenOutput("entry.txt", nullptr));
    c.Crc = 0xFFFFFFFF;
    const std::string block1 = "a\nb\r\nc\r", block2 = "\nd\re\n";
    EXPECT_EQ(c.Put(block1, 32), int64_t(block1.size()));  // the caller's count, not the bytes written
    c.Put(block2, 32);
    EXPECT_EQ(Text(out), "a\r\nb\r\nc\r\nd\re\r\n");
    EXPECT_EQ(c.Crc, Crc32Of(block1 + block2));

    // A new output forgets the CR that ended the previous one.
    out.Clear();
    c.Put("x\r");
    ASSERT_TRUE(c.OpenOutput("next.txt", nullptr));
    c.Put("\n");
    EXPECT_EQ(Text(out), "x\r\r\n");
}

class ShortStream : public TMemoryStream {
public:
    int64_t Write(const void* buffer, int64_t count) override {
        return TMemoryStream::Write(buffer, count > 0 ? count - 1 : 0);
    }
};

TEST(CoreTextMode, ShortWriteRaisesWithoutOnError) {
    for (bool text : {false, true}) {
        Probe c;
        ShortStream out;
        ErrorLog log;
        log.Attach(c);
        c.OutputTarget = otCallerStream;
        c.StreamB = &out;
        c.TextMode = text;
        EXPECT_EQ(RaisedCode([&] { c.Put("abc\n"); }), 25136) << text;
        EXPECT_TRUE(log.entries.empty());
    }
}

TEST(CoreReadBlock, MemoryInputFoldsStandardCheckValues) {
    const std::string digits = "123456789";
    Probe c;
    c.Feed(digits);
    c.Crc = 0xFFFFFFFF;
    uint8_t buf[16] = {};
    EXPECT_EQ(c.ReadHook(nullptr, 0, 32, false, buf), 0);
    EXPECT_EQ(c.ReadHook(nullptr, 4, 32, false, buf), 4);
    EXPECT_EQ(c.ReadHook(nullptr, 16, 32, false, buf + 4), 5);  // only what is left
    EXPECT_EQ(c.ReadHook(nullptr, 16, 32, false, buf), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 9), digits);
    EXPECT_EQ(~c.Crc, 0xCBF43926u);

    c.Feed(digits);
    c.Crc = 0;
    EXPECT_EQ(c.ReadHook(nullptr, 9, 16, false, buf), 9);
    EXPECT_EQ(c.Crc, 0xBB3Du);

    c.Feed(digits);
    c.Crc = 0x1234;
    c.ReadHook(nullptr, 9, 0, false, buf);  // no check value for other kinds
    EXPECT_EQ(c.Crc, 0x1234u);
}

TEST(CoreReadBlock, ZipKindsDecryptOnReadAndOnExtractWrite) {
    const std::string plain = "The quick brown fox jumps over the lazy dog";
    std::string cipher = plain;
    ZipInitKeys("secret");
    ZipEncryptBuffer(reinterpret_cast<uint8_t*>(cipher.data()), cipher.size());
    ASSERT_NE(cipher, plain);

    Probe c;
    c.SetKind(atZip);
    c.Feed(cipher);
    c.Crc = 0xFFFFFFFF;
    std::string got(plain.size(), '\0');
    ZipInitKeys("secret");
    c.ReadHook(nullptr, 10, 32, true, reinterpret_cast<uint8_t*>(got.data()));
    c.ReadHook(nullptr, 100, 32, true, reinterpret_cast<uint8_t*>(got.data()) + 10);
    EXPECT_EQ(got, plain);
    EXPECT_EQ(c.Crc, Crc32Of(plain));  // over the plain bytes

    // The self-extracting JAR decrypts on the way out; the caller's buffer
    // (a codec's window) is left as it was.
    TMemoryStream out;
    c.SetKind(atJarExe);
    c.OutputTarget = otCallerStream;
    c.StreamB = &out;
    std::string window = cipher;
    ZipInitKeys("secret");
    c.Put(window, 0, true, true);
    EXPECT_EQ(Text(out), plain);
    EXPECT_EQ(window, cipher);

    out.Clear();
    c.Put(window, 0, true, false);  // headers pass as they are
    EXPECT_EQ(Text(out), cipher);
}

TEST(CoreReadBlock, ArjGarblingXorsWithThePasswordCyclically) {
    Probe c;
    c.SetKind(atArj);
    uint8_t data[5] = {1, 2, 3, 4, 5};
    c.DecryptBlock(data, 5);  // no password: nothing to undo
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 5), "\1\2\3\4\5");

    c.SetPassword("ab");
    uint8_t zeros[5] = {};
    c.DecryptBlock(zeros, 3);
    c.DecryptBlock(zeros + 3, 2);  // the position runs on across blocks
    EXPECT_EQ(std::string(reinterpret_cast<char*>(zeros), 5), "ababa");

    c.SetKind(atLha);  // a kind without a cipher
    c.DecryptBlock(data, 5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 5), "\1\2\3\4\5");
}

// ---- specs, progress, volumes -------------------------------------------------

TEST(CoreFileSpec, MatchingTakesIncludesThenRefusesExcludes) {
    TZipCommon c;
    EXPECT_FALSE(c.MatchesFileSpec("a.txt", true));  // empty FileSpec takes nothing
    c.SetFileSpec({"*.*"});
    c.SetExcludeSpec({"*.tmp"});
    EXPECT_TRUE(c.MatchesFileSpec("a.txt", true));
    EXPECT_TRUE(c.MatchesFileSpec("dir\\readme", true));
    EXPECT_FALSE(c.MatchesFileSpec("b.tmp", true));
    EXPECT_FALSE(c.MatchesFileSpec("dir\\", true));  // no file part
    EXPECT_FALSE(c.MatchesFileSpec("", true));
    c.SetExcludeSpec({"*.*"});
    EXPECT_FALSE(c.MatchesFileSpec("a.txt", true));
    EXPECT_FALSE(c.MatchesFileSpec("noext", true));

    std::vector<std::string> specs = {"dir/sub/*.txt", "", "c:a.doc", "x\\"};
    c.SetFileSpec(specs);
    EXPECT_EQ(c.FileSpec(), (std::vector<std::string>{"*.txt", "a.doc"}));
    c.ExcludeSpec().clear();
    EXPECT_TRUE(c.MatchesFileSpec("other\\note.TXT", true));
    EXPECT_FALSE(c.MatchesFileSpec("note.txt.bak", true));
}

TEST(CoreFileSpec, MoreToFindWhileWildcardsOrUnfoundEntriesRemain) {
    TZipCommon c;
    EXPECT_FALSE(c.MoreToFind(0));
    c.SetFileSpec({"a.txt"});
    EXPECT_FALSE(c.MoreToFind(0));
    c.SetFileSpec({"*.txt"});
    EXPECT_TRUE(c.MoreToFind(5));
    c.SetFileSpec({"a.txt", "b.txt"});
    EXPECT_TRUE(c.MoreToFind(1));
    EXPECT_FALSE(c.MoreToFind(2));
}

TEST(CoreProgress, PercentagesAreCappedAndReachOnProgress) {
    TZipCommon c;
    std::vector<std::pair<int, int>> seen;
    c.OnProgress = [&](TObject*, uint8_t byFile, uint8_t byArchive) { seen.emplace_back(byFile, byArchive); };
    c.DoProgress(50, 200, 1000);
    c.DoProgress(300, 200, 100);
    c.DoProgress(5, 0, 0);
    c.DoProgress(2, 3, 3);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0], std::make_pair(25, 85));
    EXPECT_EQ(seen[1], std::make_pair(100, 100));
    EXPECT_EQ(seen[2], std::make_pair(0, 0));
    EXPECT_EQ(seen[3], std::make_pair(67, 67));
    EXPECT_EQ(c.ProgressByFile(), 67);
}

TEST(CoreRatio, CompressionRatioInPercent) {
    EXPECT_EQ(TZipCommon::CalcRatio(50, 100), 50);
    EXPECT_EQ(TZipCommon::CalcRatio(99999, 100000), 1);
    EXPECT_EQ(TZipCommon::CalcRatio(100000, 1000000), 90);
    EXPECT_EQ(TZipCommon::CalcRatio(150, 300000), 99);
    for (auto [p, u] : {std::pair<int64_t, int64_t>{100, 100}, {200, 100}, {0, 100}, {50, 0}, {0, 0}})
        EXPECT_EQ(TZipCommon::CalcRatio(p, u), 0) << p << "/" << u;
}

TEST(CoreVolumes, VolumeNamesFollowTheKindsNumbering) {
    Probe c;
    c.SetKind(atRar);
    c.SetLetter('r');
    EXPECT_EQ(c.GetVolumeName("c:\\x\\a.rar", 5), "c:\\x\\a.r05");
    EXPECT_EQ(c.GetVolumeName("c:\\x.d\\a", 1), "c:\\x.d\\a.r01");  // the folder's dot is not an extension
    EXPECT_EQ(c.GetVolumeName("a.rar", 100), "a.s00");           // RAR sets move on a letter per hundred
    c.SetLetter('z');
    EXPECT_EQ(c.GetVolumeName("a.rar", 200), "a.000");
    EXPECT_EQ(c.GetVolumeName("a.rar", -1), "");

    c.SetKind(atArj);
    c.SetLetter('a');
    EXPECT_EQ(c.GetVolumeName("a.arj", 100), "a.100");
    EXPECT_EQ(c.GetVolumeName("a.arj", 12), "a.a12");
    EXPECT_EQ(c.GetVolumeName("a.arj", 0), "a.a00");
}

TEST(CoreVolumes, VolumeNumberComesFromTheExtension) {
    std::string dir = ScratchDir("core-volumes");
    const std::string rar = std::string("Rar!\x1a\x07\x00", 7) + std::string(33, 'x');
    const std::string arj = std::string("\x60\xEA", 2) + std::string(38, 'y');
    struct Case {
        const char* name;
        const std::string& bytes;
        TArcType kind;
        int number;
        char letter;
    } cases[] = {{"x.r05", rar, atRar, 6, 'r'},
                 {"x.rar", rar, atRar, 0, 'q'},
                 {"x.a01", arj, atArj, 2, 'a'},
                 {"x.arj", arj, atArj, 1, 'a'}};
    for (const Case& k : cases) {
        std::string path = Join(dir, k.name);
        WriteAll(path, k.bytes);
        TZipCommon c;
        c.SetArchiveFile(path);
        EXPECT_EQ(c.ArcType(), k.kind) << k.name;
        EXPECT_EQ(c.VolumeNumber(), k.number) << k.name;
        EXPECT_EQ(c.VolumeLetter(), k.letter) << k.name;
    }
}

// ---- names and output ----------------------------------------------------------

TEST(CoreNames, StoredNamesNeverLeaveTheExtractFolder) {
    std::string dir = ScratchDir("core-names");
    TZipCommon c;
    ErrorLog log;
    log.Attach(c);
    c.SetExtractDir(dir);
    const std::string root = Slashes(c.ExtractDir());
    ASSERT_EQ(root.back(), '/');

    for (const char* name : {"../../evil.txt", "/etc/passwd", "C:\\Windows\\x.dll", "\\\\srv\\share\\x",
                             "a/./b/../c.txt", "dir/a:b.txt", "...\\x", "sub\\..\\..\\y"}) {
        std::string raw = c.ConvertFileName(name);
        EXPECT_EQ(c.OutputName(), raw);
        std::string out = Slashes(raw);
        ASSERT_EQ(out.compare(0, root.size(), root), 0) << name << " -> " << out;
        std::string rest = out.substr(root.size());
        EXPECT_FALSE(rest.empty()) << name;
        EXPECT_EQ(rest.find(':'), std::string::npos) << name << " -> " << out;
        EXPECT_EQ(("/" + rest + "/").find("/../"), std::string::npos) << name << " -> " << out;
    }
    EXPECT_EQ(Slashes(c.ConvertFileName("/etc/passwd")), root + "etc/passwd");
    EXPECT_EQ(Slashes(c.ConvertFileName("C:\\Windows\\x.dll")), root + "Windows/x.dll");
    EXPECT_EQ(Slashes(c.ConvertFileName("../../evil.txt")), root + "evil.txt");
    EXPECT_TRUE(log.entries.empty());

    for (const char* bad : {"", "..", "/", "./.", "\\..\\", "C:"}) {
        EXPECT_EQ(c.ConvertFileName(bad), "") << bad;
        EXPECT_EQ(c.OutputName(), "") << bad;
        ASSERT_FALSE(log.entries.empty()) << bad;
        EXPECT_EQ(log.entries.back().code, 25243) << bad;
        log.entries.clear();
    }

    c.SetUseStoredDirs(false);
    EXPECT_EQ(Slashes(c.ConvertFileName("dir/sub/f.txt")), root + "f.txt");

    // No extract folder: the archive's own folder.
    TZipCommon beside;
    beside.SetArchiveFile(Join(dir, "missing.zip"));
    EXPECT_EQ(Slashes(beside.ConvertFileName("f.txt")), Slashes(test::Join(dir, "f.txt")));
}

TEST(CoreOutput, FileTargetCreatesFoldersAndReplacesReadOnlyFiles) {
    std::string dir = ScratchDir("core-output");
    TZipCommon c;
    c.OutputTarget = otFile;

    std::string deep = Join(Join(Join(dir, "new"), "deeper"), "out.bin");
    ASSERT_TRUE(c.OpenOutput(deep, nullptr));
    EXPECT_EQ(c.OutFile().Write("fresh", 5), 5);
    EXPECT_TRUE(c.CloseOutput());
    EXPECT_EQ(ReadAll(deep), "fresh");

    std::string locked = Join(dir, "locked.txt");
    WriteAll(locked, "old contents");
    ASSERT_TRUE(os::SetAttributes(locked, os::faReadOnly));
    ASSERT_TRUE(c.OpenOutput(locked, nullptr));
    c.OutFile().Write("new", 3);
    EXPECT_TRUE(c.CloseOutput());
    EXPECT_EQ(ReadAll(locked), "new");
    os::SetAttributes(locked, 0);

    EXPECT_FALSE(c.OpenOutput("", nullptr));
    c.OutputTarget = otCallerStream;
    EXPECT_FALSE(c.OpenOutput("x", nullptr));  // no stream B
    c.OutputTarget = otNone;
    EXPECT_FALSE(c.OpenOutput("x", nullptr));
    c.OutputTarget = otTest;
    EXPECT_TRUE(c.OpenOutput("x", nullptr));
}

}  // namespace
}  // namespace bramble
