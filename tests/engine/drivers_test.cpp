// The shared reader and writer runs, driven through a tiny stored-only
// format of the tests' own: per entry "TST1", name length (16 bits), size
// (64 bits), DOS date, attributes (32 bits each), the name, the data. An
// archive may have any bytes in front (a stand-in for an executable stub).
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/core/compbase.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/core/unbase.h"
#include "support/testenv.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace bramble {
namespace {

using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

constexpr int kFixed = 22;

uint32_t Dos(int y, int mo, int d, int h = 12, int mi = 0) {
    return (uint32_t(y - 1980) << 25) | (uint32_t(mo) << 21) | (uint32_t(d) << 16) | (uint32_t(h) << 11) |
           (uint32_t(mi) << 5);
}

struct Item {
    std::string name, data;
    uint32_t date = Dos(2001, 2, 3);
    uint32_t attr = 0x20;
};

template <typename T>
void PutLE(std::string& out, T v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(char((uint64_t(v) >> (8 * i)) & 0xFF));
}
uint64_t GetLE(const std::string& in, size_t at, int n) {
    uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | uint8_t(in[at + size_t(i)]);
    return v;
}

std::string Header(const std::string& name, uint64_t size, uint32_t date, uint32_t attr) {
    std::string h = "TST1";
    PutLE(h, name.size(), 2);
    PutLE(h, size, 8);
    PutLE(h, date, 4);
    PutLE(h, attr, 4);
    return h + name;
}

std::string Build(const std::vector<Item>& items, const std::string& stub = {}) {
    std::string out = stub;
    for (const Item& it : items) out += Header(it.name, it.data.size(), it.date, it.attr) + it.data;
    return out;
}

// Entries of an archive, or an empty list with ok = false when it is damaged.
std::vector<Item> Parse(const std::string& bytes, size_t start = 0, bool* ok = nullptr) {
    std::vector<Item> items;
    size_t pos = start;
    if (ok) *ok = true;
    while (pos < bytes.size()) {
        if (pos + kFixed > bytes.size() || bytes.compare(pos, 4, "TST1") != 0) {
            if (ok) *ok = false;
            break;
        }
        Item it;
        size_t len = GetLE(bytes, pos + 4, 2);
        uint64_t size = GetLE(bytes, pos + 6, 8);
        it.date = uint32_t(GetLE(bytes, pos + 14, 4));
        it.attr = uint32_t(GetLE(bytes, pos + 18, 4));
        it.name = bytes.substr(pos + kFixed, len);
        it.data = bytes.substr(pos + kFixed + len, size_t(size));
        pos += kFixed + len + size_t(size);
        items.push_back(it);
    }
    return items;
}

std::map<std::string, std::string> Contents(const std::string& bytes, size_t start = 0) {
    std::map<std::string, std::string> m;
    for (const Item& it : Parse(bytes, start)) m[it.name] = it.data;
    return m;
}

// Offset of the first entry, from 1 (1 without a stub).
int64_t FirstHeaderOf(const std::string& path) {
    std::string bytes = ReadAll(path);
    size_t at = bytes.find("TST1");
    return at == std::string::npos ? 1 : int64_t(at) + 1;
}

// ---- the test reader ----------------------------------------------------------------

class TstReader : public TUnBase {
public:
    using TUnBase::TUnBase;
    void SetArcType(TArcType) override {
        arcType_ = atLha;  // any extractable kind the driver opens itself
        arcOffset_ = FirstHeaderOf(archiveFile_);
        os::File f;
        arcFileSize_ = f.Open(archiveFile_, os::OpenMode::Read) ? f.Size() : 0;
    }
    void ExtractArchive() override {
        int64_t pos = ScanPosition() - 1;
        uint8_t h[kFixed];
        while (pos + kFixed <= ScanEnd() && !Cancel()) {
            inFile_.Seek(pos);
            if (inFile_.Read(h, kFixed) != kFixed || std::memcmp(h, "TST1", 4) != 0) {
                ReportError(archiveFile_, "", "0", 25108);
                return;
            }
            std::string raw(reinterpret_cast<char*>(h), kFixed);
            int64_t len = int64_t(GetLE(raw, 4, 2));
            int64_t size = int64_t(GetLE(raw, 6, 8));
            uint32_t date = uint32_t(GetLE(raw, 14, 4));
            uint32_t attr = uint32_t(GetLE(raw, 18, 4));
            if (size < 0 || pos + kFixed + len > ScanEnd()) {
                ReportError(archiveFile_, "", "0", 25108);
                return;
            }
            std::string name(size_t(len), '\0');
            inFile_.Read(name.data(), len);
            const int64_t data = pos + kFixed + len;
            const int64_t next = data + size;
            pos = next;
            std::string fn = ConvertFileName(name);
            if (fn.empty()) continue;
            bool exists = false;
            TPrepareResult r = PrepareExtractFile(fn, exists, DosDateToDateTime(date));
            if (r == prStop) return;
            if (r == prSkip) {
                SkipBytes(size);
                continue;
            }
            if (!OpenOutput(OutputName(), OutputStreamArg())) RaiseError(OutputName(), "", "0", 25235);
            inFile_.Seek(data);
            UnStore(size, 32, false);
            RestoreFileStamp(attr, date, OutputName());
            if (OnEnd) OnEnd(this, fn, true);
        }
    }
};

// ---- the test writer ----------------------------------------------------------------

class TstWriter : public TCompBase {
public:
    explicit TstWriter(TComponent* owner = nullptr) : TCompBase(owner) {
        headerSize_ = kFixed;
        InitDefaultExt(".TST");
        allowedMethods_ = {cmStore};
        compressMethod_ = cmStore;
        arcType_ = atLha;
    }
    void SetArcType(TArcType) override {
        arcType_ = atLha;
        AddDefaultExt();
        arcOffset_ = FirstHeaderOf(archiveFile_);
    }
    int GetLocalHeaderSize() override { return kFixed; }
    // Aims the move at a folder that does not exist, so it fails alike on
    // every platform (a read-only target is replaced by some).
    bool failRename = false;
    // The old archive goes away under the run (another program took it)
    // before the new one is put in its place.
    bool loseTarget = false;
    static std::string Unreachable(const std::string& Target) { return Join(Join(Target + "-none", "x"), "y"); }
    bool RenameTempArchive(const std::string& TempName, const std::string& Target) override {
        if (loseTarget) os::FileDelete(Target);
        return TCompBase::RenameTempArchive(TempName, failRename ? Unreachable(Target) : Target);
    }
    int ReadNextHeader() override {
        TFileStream& f = *OldArchive();
        uint8_t h[kFixed];
        if (!f.Seek(headerPos_) || f.Read(h, kFixed) != kFixed || std::memcmp(h, "TST1", 4) != 0) return 0;
        std::string raw(reinterpret_cast<char*>(h), kFixed);
        size_t len = size_t(GetLE(raw, 4, 2));
        THeadObject& e = readHeader_;
        e = THeadObject();
        e.Name.resize(len);
        if (f.Read(e.Name.data(), int64_t(len)) != int64_t(len)) return 0;
        e.Header.assign(h, h + kFixed);
        e.UnpackedSize = e.PackedSize = int64_t(GetLE(raw, 6, 8));
        e.DosDate = uint32_t(GetLE(raw, 14, 4));
        e.Attr = uint32_t(GetLE(raw, 18, 4));
        e.Offset = headerPos_;
        e.CopySize = kFixed + int64_t(len) + e.PackedSize;
        headerPos_ += e.CopySize;
        return 1;
    }
    // The name of an entry that the archive, read again before a move
    // deletes its sources, is not seen to hold (as if it had not come out
    // whole).
    std::string unseenOnVerify;
    void ReadHeaders() override {
        for (int more = ReadFirstHeader(); more; more = ReadNextHeader()) {
            THeadObject e = ReadHeader();
            if (VerifyPass() && e.Name == unseenOnVerify) continue;
            e.State = THeadObject::hsKept;
            if (!VerifyPass() && Switch() == swDelete && MatchesFileSpec(e.Name, false)) {
                e.State = THeadObject::hsDropped;
                ++filesDeleted_;
            }
            Entries().Add(std::move(e));
        }
    }
    bool CompressFile() override {
        THeadObject& e = *CurrentEntry();
        if (!OpenInputFile(e.SourcePath)) return false;
        std::string fn = e.Name;
        if (!DoFileBegin(fn, FilesAdded() + 1)) return false;
        e.DosDate = ApplyDateAttribute(e.DosDate);
        e.Offset = TempArchive()->Position();
        std::string h = Header(fn, uint64_t(e.UnpackedSize), e.DosDate, e.Attr);
        CompressWriteHook(TempArchive(), false, int64_t(h.size()), 0, false,
                          reinterpret_cast<const uint8_t*>(h.data()));
        Crc = 0xFFFFFFFF;
        e.PackedSize = StoreData(InputFile(), *TempArchive(), e.UnpackedSize, 32);
        if (OnEnd) OnEnd(this, fn, true);
        return true;
    }
};

// ---- fixtures -------------------------------------------------------------------------

struct Log {
    std::vector<std::string> events;
    std::vector<int> errors;
    std::vector<std::string> extras;  // MsgEx of each error
    void Attach(TZipCommon& c) {
        c.OnActivate = [this](TObject*) { events.push_back("activate"); };
        c.OnDeactivate = [this](TObject*) { events.push_back("deactivate"); };
        c.OnError = [this](TObject*, const std::string&, const std::string& ex, const std::string&, int code) {
            errors.push_back(code);
            extras.push_back(ex);
        };
        c.OnBegin = [this](TObject*, const std::string& fn, int n, bool&) {
            events.push_back("begin " + ExtractFileName(fn) + " " + std::to_string(n));
        };
        c.OnEnd = [this](TObject*, const std::string& fn, bool ok) {
            events.push_back("end " + ExtractFileName(fn) + (ok ? " ok" : " bad"));
        };
    }
};

template <typename F>
int RaisedCode(F&& f) {
    try {
        f();
    } catch (const E_RAISE& e) {
        return e.Code();
    }
    return 0;
}

uint32_t DosStampOf(const std::string& path) {
    os::FileTimes t;
    return os::GetTimes(path, t) ? FileTimeToDosDate(t.lastWrite) : 0;
}

bool ReadOnly(const std::string& path) {
    uint32_t a = os::GetAttributes(path);
    return a != os::kInvalidAttributes && (a & os::faReadOnly);
}

// Files whose name begins with "dvx" in a folder: temporary archives left.
int TempFilesIn(const std::string& dir) {
    int n = 0;
    os::Finder f;
    os::FindData fd;
    for (int rc = f.First(Join(dir, "dvx*"), fd); rc == 0; rc = f.Next(fd)) ++n;
    return n;
}

class Drivers : public ::testing::Test {
protected:
    void SetUp() override { saved_ = os::GetAppHooks(); }
    void TearDown() override {
        os::SetAppHooks(saved_);
        EXPECT_EQ(RunningComponent(), nullptr) << "a run left the running-component reference set";
    }
    os::AppHooks saved_;
};

class DriversReader : public Drivers {};
class DriversWriter : public Drivers {};

// ---- reader ---------------------------------------------------------------------------

TEST_F(DriversReader, FiresTheEventsAroundAnEntryInOrder) {
    std::string dir = ScratchDir("drv-order");
    std::string out = Join(dir, "out");
    std::string arc = Join(dir, "a.tst");
    WriteAll(arc, Build({{"a.txt", "alpha"}, {"b.txt", "beta"}}));
    os::DirCreate(out);
    WriteAll(Join(out, "a.txt"), "old");

    TstReader r;
    Log log;
    log.Attach(r);
    r.SetArchiveFile(arc);
    r.SetExtractDir(out);
    std::vector<std::string> existsAsked;
    r.OnFileExists = [&](TObject*, const std::string& fn, TDateTime, TOverwriteMode& m) {
        log.events.push_back("exists " + ExtractFileName(fn));
        m = omOverwrite;
    };
    r.OnRenameCompressedFile = [&](TObject*, std::string& fn) {
        log.events.push_back("rename " + ExtractFileName(fn));
        if (ExtractFileName(fn) == "b.txt") fn = Join(out, "renamed.txt");
    };
    EXPECT_EQ(r.Extract(), 2);
    EXPECT_EQ(log.events, (std::vector<std::string>{"activate", "exists a.txt", "begin a.txt 1", "rename a.txt",
                                                    "end a.txt ok", "begin b.txt 2", "rename b.txt",
                                                    "end b.txt ok", "deactivate"}));
    EXPECT_EQ(ReadAll(Join(out, "a.txt")), "alpha");
    EXPECT_EQ(ReadAll(Join(out, "renamed.txt")), "beta");
    EXPECT_FALSE(os::FileExists(Join(out, "b.txt")));
    EXPECT_EQ(r.ArchiveFile(), SlashToBackslash(arc));
}

TEST_F(DriversReader, ExistingOutputsAreSkippedUncountedAndSkipSticks) {
    std::string dir = ScratchDir("drv-skip");
    std::string arc = Join(dir, "a.tst");
    WriteAll(arc, Build({{"a.txt", "A"}, {"b.txt", "B"}, {"c.txt", "C"}}));
    std::string out = Join(dir, "out");
    os::DirCreate(out);
    WriteAll(Join(out, "a.txt"), "keep-a");
    WriteAll(Join(out, "c.txt"), "keep-c");

    // No handler: an existing output is kept and not counted.
    {
        TstReader r;
        Log log;
        log.Attach(r);
        r.SetArchiveFile(arc);
        r.SetExtractDir(out);
        EXPECT_EQ(r.Extract(), 1);
        EXPECT_EQ(ReadAll(Join(out, "a.txt")), "keep-a");
        EXPECT_EQ(ReadAll(Join(out, "b.txt")), "B");
        EXPECT_EQ(ReadAll(Join(out, "c.txt")), "keep-c");
        EXPECT_EQ(r.OverwriteMode(), omSkip);
        EXPECT_EQ(log.events, (std::vector<std::string>{"activate", "begin b.txt 1", "end b.txt ok", "deactivate"}));
    }
    // The handler's omSkip on the first entry is what later entries start from.
    {
        os::FileDelete(Join(out, "b.txt"));
        WriteAll(Join(out, "b.txt"), "keep-b");
        TstReader r;
        r.SetArchiveFile(arc);
        r.SetExtractDir(out);
        std::vector<TOverwriteMode> seen;
        r.OnFileExists = [&](TObject*, const std::string&, TDateTime, TOverwriteMode& m) {
            seen.push_back(m);
            if (seen.size() == 1) m = omSkip;
        };
        EXPECT_EQ(r.Extract(), 0);
        EXPECT_EQ(seen, (std::vector<TOverwriteMode>{omOverwrite, omSkip, omSkip}));
        EXPECT_EQ(ReadAll(Join(out, "b.txt")), "keep-b");
    }
    // Without ConfirmOverwrites nobody is asked and omOverwrite writes over.
    {
        TstReader r;
        r.SetArchiveFile(arc);
        r.SetExtractDir(out);
        r.SetConfirmOverwrites(false);
        bool asked = false;
        r.OnFileExists = [&](TObject*, const std::string&, TDateTime, TOverwriteMode&) { asked = true; };
        EXPECT_EQ(r.Extract(), 3);
        EXPECT_FALSE(asked);
        EXPECT_EQ(ReadAll(Join(out, "a.txt")), "A");
    }
}

TEST_F(DriversReader, OnBeginRefusalSkipsTheEntry) {
    std::string dir = ScratchDir("drv-refuse");
    std::string arc = Join(dir, "a.tst");
    WriteAll(arc, Build({{"a.txt", "A"}, {"b.txt", "B"}, {"c.txt", "C"}}));
    std::string out = Join(dir, "out");
    TstReader r;
    Log log;
    log.Attach(r);
    r.SetArchiveFile(arc);
    r.SetExtractDir(out);
    bool renamed = false;
    r.OnRenameCompressedFile = [&](TObject*, std::string&) { renamed = true; };
    r.OnBegin = [&](TObject*, const std::string& fn, int n, bool& extract) {
        log.events.push_back("begin " + ExtractFileName(fn) + " " + std::to_string(n));
        if (ExtractFileName(fn) == "a.txt") extract = false;
    };
    EXPECT_EQ(r.Extract(), 2);
    EXPECT_FALSE(os::FileExists(Join(out, "a.txt")));
    EXPECT_EQ(ReadAll(Join(out, "b.txt")), "B");
    EXPECT_EQ(ReadAll(Join(out, "c.txt")), "C");
    // The refused entry gave its number back; only written entries have an end.
    EXPECT_EQ(log.events, (std::vector<std::string>{"activate", "begin a.txt 1", "begin b.txt 1", "end b.txt ok",
                                                    "begin c.txt 2", "end c.txt ok", "deactivate"}));
    EXPECT_TRUE(renamed);
}

TEST_F(DriversReader, TestModeIgnoresExistingOutputsAndWritesNothing) {
    std::string dir = ScratchDir("drv-test");
    std::string arc = Join(dir, "a.tst");
    WriteAll(arc, Build({{"a.txt", "A"}, {"sub\\b.txt", "B"}}));
    std::string out = Join(dir, "out");
    os::DirCreate(out);
    WriteAll(Join(out, "a.txt"), "keep");
    TstReader r;
    Log log;
    log.Attach(r);
    r.SetArchiveFile(arc);
    r.SetExtractDir(out);
    bool asked = false;
    r.OnFileExists = [&](TObject*, const std::string&, TDateTime, TOverwriteMode&) { asked = true; };
    EXPECT_EQ(r.Test(), 2);
    EXPECT_FALSE(asked);
    EXPECT_EQ(ReadAll(Join(out, "a.txt")), "keep");
    EXPECT_FALSE(os::DirectoryExists(Join(out, "sub")));
    EXPECT_EQ(log.events, (std::vector<std::string>{"activate", "begin a.txt 1", "end a.txt ok", "begin b.txt 2",
                                                    "end b.txt ok", "deactivate"}));
    EXPECT_EQ(r.OverwriteMode(), omOverwrite);
}

TEST_F(DriversReader, RestoresDatesByDateAttributeAndOnlyMeaningfulAttributes) {
    std::string dir = ScratchDir("drv-stamp");
    std::string arc = Join(dir, "a.tst");
    const uint32_t d1 = Dos(2001, 1, 1), d2 = Dos(2010, 6, 15), d3 = Dos(2005, 3, 3);
    Item a{"a.txt", "A", d1, 0x20};           // archive bit only: left alone
    Item b{"b.txt", "B", d2, 0x21};           // archive + read-only: restored
    Item c{"c.txt", "C", d3, 0x81A40001u};    // Unix mode above, read-only below
    WriteAll(arc, Build({a, b, c}));

    std::string out = Join(dir, "file");
    {
        TstReader r;
        r.SetArchiveFile(arc);
        r.SetExtractDir(out);
        EXPECT_EQ(r.Extract(), 3);
        EXPECT_EQ(DosStampOf(Join(out, "a.txt")), d1);
        EXPECT_EQ(DosStampOf(Join(out, "b.txt")), d2);
        EXPECT_EQ(DosStampOf(Join(out, "c.txt")), d3);
        EXPECT_FALSE(ReadOnly(Join(out, "a.txt")));
        EXPECT_TRUE(ReadOnly(Join(out, "b.txt")));
        EXPECT_TRUE(ReadOnly(Join(out, "c.txt")));
        uint32_t attrC = os::GetAttributes(Join(out, "c.txt"));
        EXPECT_EQ(attrC & (os::faDirectory | os::faVolumeID), 0u);
    }
    // The newest date seen so far in the run: 2001, then 2010 for the rest.
    std::string outMax = Join(dir, "max");
    {
        TstReader r;
        r.SetArchiveFile(arc);
        r.SetExtractDir(outMax);
        r.SetDateAttribute(daMaxFileDate);
        r.SetRestoreFileAttr(false);
        EXPECT_EQ(r.Extract(), 3);
        EXPECT_EQ(DosStampOf(Join(outMax, "a.txt")), d1);
        EXPECT_EQ(DosStampOf(Join(outMax, "b.txt")), d2);
        EXPECT_EQ(DosStampOf(Join(outMax, "c.txt")), d2);
        EXPECT_EQ(r.MaxFileDate(), d2);
        EXPECT_FALSE(ReadOnly(Join(outMax, "b.txt")));
    }
    for (const char* n : {"b.txt", "c.txt"}) os::SetAttributes(Join(out, n), os::faArchive);
}

TEST_F(DriversReader, FailuresRaiseTheirIdAndLeaveTheComponentAsFound) {
    std::string dir = ScratchDir("drv-rfail");
    // The last entry claims more data than the archive holds.
    std::string arc = Join(dir, "cut.tst");
    std::string bytes = Build({{"a.txt", "A"}, {"b.txt", std::string(100000, 'x')}});
    bytes.resize(bytes.size() - 50000);
    WriteAll(arc, bytes);
    std::string out = Join(dir, "out");

    TstReader r;
    Log log;
    log.Attach(r);
    r.SetArchiveFile(arc);
    r.SetExtractDir(out);
    EXPECT_EQ(RaisedCode([&] { r.Extract(); }), 25236);
    EXPECT_EQ(log.errors, (std::vector<int>{25236}));
    EXPECT_EQ(log.events.back(), "deactivate");
    EXPECT_EQ(r.ArchiveFile(), SlashToBackslash(arc));
    EXPECT_FALSE(r.InFile().IsOpen());
    EXPECT_FALSE(r.OutFile().IsOpen());
    // The archive is not held open: it can go.
    EXPECT_TRUE(os::FileDelete(arc));

    // Before the run starts: no OnActivate, no OnDeactivate.
    log.events.clear();
    log.errors.clear();
    r.SetArchiveFile(Join(dir, "missing.tst"));
    EXPECT_EQ(RaisedCode([&] { r.Extract(); }), 25235);
    TstReader empty;
    EXPECT_EQ(RaisedCode([&] { empty.Extract(); }), 25172);
    TUnBase plain;
    WriteAll(Join(dir, "junk.bin"), std::string(64, 'j'));
    plain.SetArchiveFile(Join(dir, "junk.bin"));
    EXPECT_EQ(RaisedCode([&] { plain.Test(); }), 25242);
    EXPECT_TRUE(log.events.empty());
}

// ---- writer ---------------------------------------------------------------------------

struct WriterSetup {
    std::string dir, src, arc, tmp;
    explicit WriterSetup(const std::string& name) {
        dir = ScratchDir(name);
        src = Join(dir, "src");
        tmp = Join(dir, "tmp");
        arc = Join(dir, "a.tst");
        os::DirCreate(src);
        os::DirCreate(tmp);
    }
    void Prepare(TstWriter& w, TSwitch sw, std::vector<std::string> specs) {
        w.SetTempDir(tmp);
        w.SetArchiveFile(arc);
        w.SetSwitch(sw);
        w.SetDefaultDir(src);
        w.SetDeleteOptions(doFinal);
        w.FileSpec() = std::move(specs);
    }
};

TEST_F(DriversWriter, AddsThenUpdatesKeepingTheEntriesOfTheOldArchive) {
    WriterSetup s("drv-add");
    WriteAll(Join(s.src, "a.txt"), "alpha");
    WriteAll(Join(s.src, "b.txt"), std::string(70000, 'b'));  // more than one block
    WriteAll(Join(s.src, "skip.tmp"), "no");
    {
        TstWriter w;
        Log log;
        log.Attach(w);
        s.Prepare(w, swAdd, {"*.*"});
        w.ExcludeSpec() = {"*.tmp"};
        EXPECT_EQ(w.Compress(), 2);
        EXPECT_TRUE(w.Success());
        EXPECT_TRUE(w.NewArchive());
        EXPECT_EQ(log.events.front(), "activate");
        EXPECT_EQ(log.events.back(), "deactivate");
        EXPECT_TRUE(log.errors.empty());
    }
    EXPECT_EQ(Contents(ReadAll(s.arc)),
              (std::map<std::string, std::string>{{"a.txt", "alpha"}, {"b.txt", std::string(70000, 'b')}}));

    WriteAll(Join(s.src, "c.txt"), "gamma");
    {
        TstWriter w;
        s.Prepare(w, swAdd, {"c.txt"});
        EXPECT_EQ(w.Compress(), 1);
        EXPECT_FALSE(w.NewArchive());
    }
    auto items = Parse(ReadAll(s.arc));
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].name, "a.txt");
    EXPECT_EQ(items[1].data, std::string(70000, 'b'));
    EXPECT_EQ(items[2].name, "c.txt");
    EXPECT_EQ(items[2].data, "gamma");
    EXPECT_EQ(TempFilesIn(s.tmp), 0);

    // Deleting takes what FileSpec names, whatever ExcludeSpec says, and
    // leaves the ExcludeSpec property alone.
    {
        TstWriter w;
        s.Prepare(w, swDelete, {"a.txt", "c.txt"});
        w.ExcludeSpec() = {"*.*"};
        EXPECT_EQ(w.Compress(), 2);
        EXPECT_EQ(w.ExcludeSpec(), (std::vector<std::string>{"*.*"}));
    }
    EXPECT_EQ(Contents(ReadAll(s.arc)), (std::map<std::string, std::string>{{"b.txt", std::string(70000, 'b')}}));
}

TEST_F(DriversWriter, ReadAndDeleteSwitchesOnMissingOrReadOnlyArchives) {
    WriterSetup s("drv-switch");
    {
        TstWriter w;
        Log log;
        log.Attach(w);
        s.Prepare(w, swDelete, {"*.*"});
        EXPECT_EQ(RaisedCode([&] { w.Compress(); }), 26859);
        EXPECT_FALSE(os::FileExists(s.arc));
        EXPECT_TRUE(log.events.empty());
    }
    const std::string original = Build({{"a.txt", "A"}, {"b.txt", "BB"}});
    WriteAll(s.arc, original);
    const uint32_t stamp = DosStampOf(s.arc);
    {
        TstWriter w;
        Log log;
        log.Attach(w);
        s.Prepare(w, swRead, {"*.*"});
        WriteAll(Join(s.src, "new.txt"), "n");
        std::vector<std::pair<int, int>> reads;
        w.OnRead = [&](TObject*, int offset, int n) { reads.emplace_back(offset, n); };
        EXPECT_EQ(w.Compress(), 0);
        EXPECT_EQ(reads, (std::vector<std::pair<int, int>>{{0, 1}, {kFixed + 5 + 1, 2}}));
        EXPECT_TRUE(log.events.empty());
    }
    // A delete that names nothing the archive holds says so, name by name,
    // and leaves the archive alone.
    {
        TstWriter w;
        Log log;
        log.Attach(w);
        s.Prepare(w, swDelete, {"gone.txt", "*.bak"});
        std::vector<std::string> named;
        w.OnError = [&](TObject*, const std::string& fn, const std::string&, const std::string&, int code) {
            named.push_back(std::to_string(code) + " " + fn);
        };
        EXPECT_EQ(w.Compress(), 0);
        EXPECT_EQ(named, (std::vector<std::string>{"25172 gone.txt", "25172 *.bak"}));
    }
    EXPECT_EQ(ReadAll(s.arc), original);
    EXPECT_EQ(DosStampOf(s.arc), stamp);
    EXPECT_EQ(TempFilesIn(s.tmp), 0);
}

TEST_F(DriversWriter, ReadOnlyArchiveIsWrittenOnlyWhenTheHandlerSaysSo) {
    WriterSetup s("drv-ro");
    const std::string original = Build({{"a.txt", "A"}});
    WriteAll(s.arc, original);
    WriteAll(Join(s.src, "b.txt"), "B");
    os::SetAttributes(s.arc, os::faReadOnly | os::faArchive);

    for (int handler = 0; handler < 2; ++handler) {
        TstWriter w;
        Log log;
        log.Attach(w);
        s.Prepare(w, swAdd, {"b.txt"});
        int asked = 0;
        if (handler)
            w.OnNonWriteableArchive = [&](TObject*, const std::string& name, bool& write) {
                ++asked;
                EXPECT_EQ(name, SlashToBackslash(s.arc));
                EXPECT_FALSE(write);
            };
        EXPECT_EQ(RaisedCode([&] { w.Compress(); }), 25136);
        EXPECT_EQ(asked, handler);
        EXPECT_TRUE(ReadOnly(s.arc));
        EXPECT_EQ(ReadAll(s.arc), original);
        EXPECT_TRUE(os::FileExists(Join(s.src, "b.txt")));
        EXPECT_TRUE(log.events.empty());
    }
    TstWriter w;
    s.Prepare(w, swMove, {"b.txt"});
    w.OnNonWriteableArchive = [&](TObject*, const std::string&, bool& write) { write = true; };
    EXPECT_EQ(w.Compress(), 1);
    EXPECT_FALSE(ReadOnly(s.arc));
    EXPECT_EQ(os::GetAttributes(s.arc) & 0x1F, 0u);
    EXPECT_EQ(Contents(ReadAll(s.arc)), (std::map<std::string, std::string>{{"a.txt", "A"}, {"b.txt", "B"}}));
}

TEST_F(DriversWriter, ReplaceFileDecidesAboutChangedSources) {
    WriterSetup s("drv-replace");
    WriteAll(Join(s.src, "a.txt"), "old");
    WriteAll(Join(s.src, "same.txt"), "same");
    {
        TstWriter w;
        s.Prepare(w, swAdd, {"*.txt"});
        ASSERT_EQ(w.Compress(), 2);
    }
    os::FileDelete(Join(s.src, "a.txt"));
    WriteAll(Join(s.src, "a.txt"), "newer!");

    // No handler: the old entry stays; nothing new means no rewrite at all.
    {
        TstWriter w;
        s.Prepare(w, swAdd, {"*.txt"});
        EXPECT_EQ(w.Compress(), 0);
        EXPECT_EQ(Contents(ReadAll(s.arc))["a.txt"], "old");
    }
    // Handler says no, then yes; an unchanged source is never offered.
    for (bool answer : {false, true}) {
        TstWriter w;
        s.Prepare(w, swAdd, {"*.txt"});
        std::vector<std::string> offered;
        w.OnReplaceFile = [&](TObject*, const std::string& oldFN, const std::string& fn, TDateTime, TDateTime,
                              int oldSize, int newSize, int, int, bool& replace) {
            offered.push_back(oldFN);
            EXPECT_EQ(ExtractFileName(fn), "a.txt");
            EXPECT_EQ(oldSize, 3);
            EXPECT_EQ(newSize, 6);
            EXPECT_TRUE(replace);
            replace = answer;
        };
        EXPECT_EQ(w.Compress(), answer ? 1 : 0);
        EXPECT_EQ(offered, std::vector<std::string>{"a.txt"});
        auto items = Parse(ReadAll(s.arc));
        ASSERT_EQ(items.size(), 2u);
        EXPECT_EQ(items[0].name, "a.txt");  // replaced in its place
        EXPECT_EQ(items[0].data, answer ? "newer!" : "old");
        EXPECT_EQ(items[1].data, "same");
    }
}

TEST_F(DriversWriter, MoveDeletesEverySourceTheNewArchiveHolds) {
    struct Case {
        const char* name;
        bool inArchive;  // an entry of that name is in the archive before the move
        bool changed;    // the source changed since it went in
        bool gone;       // deleted by the move
    };
    const Case cases[] = {
        {"new.txt", false, false, true},         // written in this run
        {"kept.txt", true, false, true},         // in the archive already, unchanged
        {"replaced.txt", true, true, true},      // changed, and put in the entry's place
        {"declined.txt", true, true, false},     // changed, the old entry kept: the source is newer
        {"refused.txt", false, false, false},    // left out by OnBegin
        {"unseen.txt", false, false, false},     // written, but not found when the archive is read again
        {"x.tmp", false, false, false},          // excluded
    };
    for (bool verify : {true, false}) {
        SCOPED_TRACE(verify ? "verified" : "not verified");
        WriterSetup s(verify ? "drv-move-verified" : "drv-move");
        std::vector<std::string> before;
        for (const Case& c : cases) {
            WriteAll(Join(s.src, c.name), c.name);
            if (c.inArchive) before.push_back(c.name);
        }
        {
            TstWriter w;
            s.Prepare(w, swAdd, before);
            ASSERT_EQ(w.Compress(), static_cast<int>(before.size()));
        }
        for (const Case& c : cases)
            if (c.changed) WriteAll(Join(s.src, c.name), std::string(c.name) + " now");
        TstWriter w;
        s.Prepare(w, swMove, {"*.*"});
        w.SetVerifyBeforeDelete(verify);
        w.ExcludeSpec() = {"*.tmp"};
        w.unseenOnVerify = "unseen.txt";
        w.OnBegin = [](TObject*, const std::string& fn, int, bool& extract) {
            if (ExtractFileName(fn) == "refused.txt") extract = false;
        };
        w.OnReplaceFile = [](TObject*, const std::string& oldFN, const std::string&, TDateTime, TDateTime, int, int,
                             int, int, bool& replace) { replace = oldFN == "replaced.txt"; };
        EXPECT_EQ(w.Compress(), 3);  // new, replaced, unseen
        for (const Case& c : cases) {
            // Only the check against the archive read again keeps a source
            // it does not hold.
            const bool gone = c.gone || (!verify && std::string(c.name) == "unseen.txt");
            EXPECT_EQ(os::FileExists(Join(s.src, c.name)), !gone) << c.name;
        }
        const auto held = Contents(ReadAll(s.arc));
        EXPECT_EQ(held.at("kept.txt"), "kept.txt");
        EXPECT_EQ(held.at("replaced.txt"), "replaced.txt now");
        EXPECT_EQ(held.at("declined.txt"), "declined.txt");
        EXPECT_EQ(held.count("refused.txt") + held.count("x.tmp"), 0u);
    }

    // A move whose archive cannot be replaced deletes nothing, not even
    // what the old archive holds already.
    WriterSetup s("drv-move-fail");
    WriteAll(Join(s.src, "a.txt"), "A");
    WriteAll(Join(s.src, "c.txt"), "c");
    {
        TstWriter w;
        s.Prepare(w, swAdd, {"a.txt"});
        ASSERT_EQ(w.Compress(), 1);
    }
    TstWriter w2;
    s.Prepare(w2, swMove, {"*.txt"});
    std::string before = ReadAll(s.arc);
    w2.failRename = true;
    EXPECT_EQ(w2.Compress(), 0);
    EXPECT_TRUE(os::FileExists(Join(s.src, "a.txt")));
    EXPECT_TRUE(os::FileExists(Join(s.src, "c.txt")));
    EXPECT_EQ(ReadAll(s.arc), before);
}

TEST_F(DriversWriter, FailedRenameNamesWhatFailedAndKeepsTheTemporaryOnlyWhenItIsTheLastCopy) {
    struct Case {
        const char* name;
        bool oldArchive;  // an archive is updated (else a new one is made)
        bool lost;        // the old archive is gone by the time of the rename
    };
    for (const Case& c : {Case{"update", true, false}, Case{"new archive", false, false},
                          Case{"old archive lost", true, true}}) {
        SCOPED_TRACE(c.name);
        WriterSetup s(std::string("drv-rename-") + (c.oldArchive ? "old" : "new") + (c.lost ? "-lost" : ""));
        const std::string original = Build({{"a.txt", "A"}});
        if (c.oldArchive) WriteAll(s.arc, original);
        WriteAll(Join(s.src, "b.txt"), "B");
        TstWriter w;
        Log log;
        log.Attach(w);
        s.Prepare(w, swMove, {"b.txt"});
        w.failRename = true;
        w.loseTarget = c.lost;
        EXPECT_EQ(w.Compress(), 0);
        EXPECT_FALSE(w.Success());
        EXPECT_TRUE(os::FileExists(Join(s.src, "b.txt")));
        EXPECT_EQ(log.events.back(), "deactivate");
        ASSERT_GE(log.extras.size(), 1u);
        // What could not be written, not the temporary that was.
        EXPECT_EQ(SlashToBackslash(log.extras[0]), SlashToBackslash(TstWriter::Unreachable(s.arc)));
        if (!c.lost) {
            // The old archive (or the sources of a new one) holds all the
            // temporary held: it goes.
            EXPECT_EQ(log.errors, (std::vector<int>{25136}));
            EXPECT_EQ(ReadAll(s.arc), c.oldArchive ? original : std::string());
            EXPECT_EQ(TempFilesIn(s.tmp), 0);
            continue;
        }
        // The temporary is the one complete copy left: kept, and the report
        // says where.
        ASSERT_EQ(log.errors, (std::vector<int>{25136, 25350}));
        ASSERT_EQ(TempFilesIn(s.tmp), 1);
        EXPECT_EQ(SlashToBackslash(ExtractFilePath(log.extras[1])), AppendBackslash(SlashToBackslash(s.tmp)));
        EXPECT_EQ(Contents(ReadAll(log.extras[1])),
                  (std::map<std::string, std::string>{{"a.txt", "A"}, {"b.txt", "B"}}));
        // A later run's sweep of temporaries left by killed runs spares it,
        // however old it grows.
        os::FileTimes old;
        old.lastWrite = os::NowFileTime() - uint64_t{30} * 24 * 60 * 60 * 10000000;
        ASSERT_TRUE(os::SetTimes(log.extras[1], old));
        TstWriter later;
        s.Prepare(later, swAdd, {"b.txt"});
        later.Compress();
        EXPECT_TRUE(os::FileExists(log.extras[1]));
        os::SetAttributes(log.extras[1], os::faArchive);
        os::FileDelete(log.extras[1]);
    }
}

TEST_F(DriversWriter, TruncatedInputEndsTheRunWith25236AndKeepsTheArchive) {
    WriterSetup s("drv-cut");
    const std::string original = Build({{"a.txt", "A"}});
    WriteAll(s.arc, original);
    WriteAll(Join(s.src, "b.txt"), std::string(5000, 'b'));
    // The source shrinks between gathering and copying.
    {
        TstWriter w;
        Log log;
        log.Attach(w);
        s.Prepare(w, swAdd, {"b.txt"});
        w.OnBegin = [&](TObject*, const std::string&, int, bool&) { WriteAll(Join(s.src, "b.txt"), "short"); };
        EXPECT_EQ(RaisedCode([&] { w.Compress(); }), 25236);
        EXPECT_EQ(log.errors, (std::vector<int>{25236}));
        EXPECT_EQ(log.events.back(), "deactivate");
        EXPECT_EQ(ReadAll(s.arc), original);
        EXPECT_EQ(TempFilesIn(s.tmp), 0);
        EXPECT_EQ(w.ArchiveFile(), SlashToBackslash(s.arc));
        EXPECT_FALSE(w.InputFile().IsOpen());
    }
    // A kept entry that claims more than the old archive holds.
    std::string cut = Build({{"a.txt", std::string(1000, 'a')}});
    cut.resize(cut.size() - 10);
    WriteAll(s.arc, cut);
    {
        TstWriter w;
        s.Prepare(w, swAdd, {"b.txt"});
        EXPECT_EQ(RaisedCode([&] { w.Compress(); }), 25236);
        EXPECT_EQ(ReadAll(s.arc), cut);
        EXPECT_EQ(TempFilesIn(s.tmp), 0);
    }
}

TEST_F(DriversWriter, KeepsAnExecutableStubInFrontWhenUpdating) {
    WriterSetup s("drv-stub");
    std::string stub = "MZ" + std::string(300, '\x90');
    WriteAll(s.arc, Build({{"a.txt", "A"}}, stub));
    WriteAll(Join(s.src, "b.txt"), "B");
    TstWriter w;
    s.Prepare(w, swAdd, {"b.txt"});
    EXPECT_EQ(w.ScanPosition(), 1);  // not known before the run
    EXPECT_EQ(w.Compress(), 1);
    EXPECT_EQ(w.ScanPosition(), int64_t(stub.size()) + 1);
    std::string bytes = ReadAll(s.arc);
    ASSERT_GE(bytes.size(), stub.size());
    EXPECT_EQ(bytes.substr(0, stub.size()), stub);
    EXPECT_EQ(Contents(bytes, stub.size()), (std::map<std::string, std::string>{{"a.txt", "A"}, {"b.txt", "B"}}));

    // The reader finds both entries behind the stub.
    TstReader r;
    r.SetArchiveFile(s.arc);
    r.SetExtractDir(Join(s.dir, "out"));
    EXPECT_EQ(r.Extract(), 2);
    EXPECT_EQ(ReadAll(Join(Join(s.dir, "out"), "b.txt")), "B");
}

TEST_F(DriversWriter, GathersByAttributeFilterExcludesAndSubFolders) {
    WriterSetup s("drv-gather");
    WriteAll(Join(s.src, "a.txt"), "a");
    WriteAll(Join(s.src, "r.txt"), "r");
    os::SetAttributes(Join(s.src, "r.txt"), os::faReadOnly | os::faArchive);
    os::DirCreate(Join(s.src, "sub"));
    WriteAll(Join(Join(s.src, "sub"), "s.txt"), "s");
    os::DirCreate(Join(s.src, ".hidden"));
    WriteAll(Join(Join(s.src, ".hidden"), "h.txt"), "h");
    // The archive sits among its own sources and is never taken into itself.
    s.arc = Join(s.src, "self.txt");

    {
        TstWriter w;
        s.Prepare(w, swAdd, {"*.txt"});
        w.SetRecurseDirs(true);
        std::vector<std::string> recursed;
        w.OnRecurseDir = [&](TObject*, const std::string& d) { recursed.push_back(ExtractFileName(RemoveBackslash(d))); };
        EXPECT_EQ(w.Compress(), 3);
        EXPECT_EQ(recursed, std::vector<std::string>{"sub"});
        EXPECT_EQ(w.FileSpec()[0], os::FullPathName(Join(s.src, "*.txt")));
    }
    auto names = Contents(ReadAll(s.arc));
    EXPECT_EQ(names, (std::map<std::string, std::string>{{"a.txt", "a"}, {"r.txt", "r"}, {"sub\\s.txt", "s"}}));

    // Only read-only files: the archive bit alone does not pass.
    os::FileDelete(s.arc);
    {
        TstWriter w;
        s.Prepare(w, swAdd, {"*.txt"});
        w.FileAttribute().SetftFileAttr(os::faReadOnly);
        EXPECT_FALSE(w.FileAttribute().ftAnyFile());
        EXPECT_EQ(w.Compress(), 1);
    }
    EXPECT_EQ(Contents(ReadAll(s.arc)), (std::map<std::string, std::string>{{"r.txt", "r"}}));

    // Nothing matches: one report, no archive.
    os::FileDelete(s.arc);
    {
        TstWriter w;
        Log log;
        log.Attach(w);
        s.Prepare(w, swAdd, {"*.none"});
        w.SetRecurseDirs(true);
        EXPECT_EQ(w.Compress(), 0);
        EXPECT_EQ(log.errors, (std::vector<int>{25172}));
        EXPECT_FALSE(os::FileExists(s.arc));
    }
    os::SetAttributes(Join(s.src, "r.txt"), os::faArchive);
}

#ifdef _WIN32
// The process's error mode as it stands.
UINT ErrorModeNow() {
    const UINT mode = SetErrorMode(0);
    SetErrorMode(mode);
    return mode;
}
#endif

TEST_F(DriversWriter, GatheringKeepsTheBoxesOfDrivesWithoutADiskAway) {
#ifndef _WIN32
    GTEST_SKIP() << "the system's boxes for a drive without its disk are Windows'";
#else
    WriterSetup s("drv-quiet");
    WriteAll(Join(s.src, "a.txt"), "a");
    os::DirCreate(Join(s.src, "sub"));
    WriteAll(Join(Join(s.src, "sub"), "s.txt"), "s");
    const UINT saved = ErrorModeNow();
    // The mode the program had is kept beside the one gathering adds, and
    // is the mode again afterwards.
    for (UINT before : {UINT{0}, UINT{SEM_NOOPENFILEERRORBOX}}) {
        SCOPED_TRACE(before);
        os::FileDelete(s.arc);
        SetErrorMode(before);
        TstWriter w;
        s.Prepare(w, swAdd, {"*.txt"});
        w.SetRecurseDirs(true);
        std::vector<UINT> during;
        w.OnRecurseDir = [&](TObject*, const std::string&) { during.push_back(ErrorModeNow()); };
        EXPECT_EQ(w.Compress(), 2);
        EXPECT_EQ(during, std::vector<UINT>{before | SEM_FAILCRITICALERRORS});
        EXPECT_EQ(ErrorModeNow(), before);
    }
    SetErrorMode(saved);
#endif
}

TEST_F(DriversWriter, ATempDirSetWhileLoadingIsTakenWithoutAQuestion) {
    const std::string dir = ScratchDir("drv-tmp-loading");
    int asked = 0;
    os::AppHooks hooks = saved_;
    hooks.askYesNo = [&](const std::string&, const std::string&) {
        ++asked;
        return os::Answer::Yes;
    };
    os::SetAppHooks(hooks);
    TComponent form;
    form.BeginLoading();
    auto* w = new TstWriter(&form);  // freed with the form
    ASSERT_TRUE(w->ComponentState().contains(csLoading));
    const std::string stored = Join(dir, "stored");
    w->SetTempDir(stored);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(w->TempDir(), stored);
    EXPECT_FALSE(os::DirectoryExists(stored));

    // Loaded: a folder that is not there is asked about again.
    form.LoadedAll();
    const std::string later = Join(dir, "later");
    w->SetTempDir(later);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(w->TempDir(), later);
    EXPECT_TRUE(os::DirectoryExists(later));
}

TEST_F(DriversWriter, StoredDirNamesMapLocalPathsToStoredNames) {
    TstWriter w;
    w.SetBaseDir("C:\\Base\\Dir\\");
    const std::string path = "C:\\base\\dir\\sub\\f.txt";
    const std::pair<TStoredDirNames, std::string> cases[] = {
        {sdNone, "f.txt"},
        {sdAbsolute, "C:\\base\\dir\\sub\\f.txt"},
        {sdAbsoluteNoDrv, "\\base\\dir\\sub\\f.txt"},
        {sdRelative, "sub\\f.txt"},
        {sdRelativeStoreStart, "Dir\\sub\\f.txt"},
    };
    for (const auto& [mode, stored] : cases) {
        w.SetStoredDirNames(mode);
        EXPECT_EQ(w.ConvertFileName(path), stored) << int(mode);
    }
    w.SetStoredDirNames(sdAbsoluteNoDrv);
    EXPECT_EQ(w.ConvertFileName("\\\\srv\\share\\dir\\f.txt"), "\\dir\\f.txt");
    EXPECT_EQ(w.ConvertFileName("C:\\dir\\f.txt"), "\\dir\\f.txt");
    EXPECT_EQ(w.ConvertFileName("C:/dir/f.txt"), "\\dir\\f.txt");
    // Outside the base folder a relative name still carries no root.
    w.SetStoredDirNames(sdRelative);
    EXPECT_EQ(w.ConvertFileName("D:\\other\\g.txt"), "other\\g.txt");
    EXPECT_EQ(w.ConvertFileName("\\\\srv\\share\\x\\g.txt"), "x\\g.txt");
}

TEST_F(DriversWriter, SettersOfExtensionFoldersAndLevels) {
    std::string dir = ScratchDir("drv-setters");
    TstWriter w;
    EXPECT_EQ(w.DefaultExt(), ".TST");
    w.SetArchiveFile(Join(dir, "noext"));
    EXPECT_EQ(w.ArchiveFile(), SlashToBackslash(Join(dir, "noext.TST")));
    w.SetDefaultExt("ZIPPED");
    EXPECT_EQ(w.DefaultExt(), ".zip");
    EXPECT_EQ(w.ArchiveFile(), SlashToBackslash(Join(dir, "noext.zip")));  // the old default is replaced
    w.SetArchiveFile(Join(dir, "own.arc"));
    w.SetDefaultExt(".Bh");
    EXPECT_EQ(w.ArchiveFile(), SlashToBackslash(Join(dir, "own.arc")));  // another extension stays
    w.SetDefaultExt(".");
    EXPECT_EQ(w.DefaultExt(), ".TST");

    w.SetDefaultDir("   ");
    EXPECT_EQ(w.DefaultDir(), AppendBackslash(os::CurrentDir()));
    w.SetDefaultDir(Join(dir, "missing"));
    EXPECT_EQ(w.DefaultDir(), AppendBackslash(os::CurrentDir()));
    w.SetDefaultDir(dir);
    EXPECT_EQ(w.DefaultDir(), AppendBackslash(dir));

    std::vector<std::string> asked;
    os::Answer answer = os::Answer::No;
    os::AppHooks hooks = saved_;
    hooks.askYesNo = [&](const std::string& text, const std::string&) {
        asked.push_back(text);
        return answer;
    };
    os::SetAppHooks(hooks);
    w.SetTempDir("");
    EXPECT_EQ(w.TempDir(), GetSystemTempDir());
    w.SetTempDir(dir);
    EXPECT_EQ(w.TempDir(), dir);
    EXPECT_TRUE(asked.empty());
    std::string wanted = Join(Join(dir, "new"), "temp");
    w.SetTempDir(wanted);
    EXPECT_EQ(w.TempDir(), GetSystemTempDir());
    EXPECT_FALSE(os::DirectoryExists(wanted));
    answer = os::Answer::Yes;
    w.SetTempDir(wanted);
    EXPECT_EQ(w.TempDir(), wanted);
    EXPECT_TRUE(os::DirectoryExists(wanted));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], "Directory does not exist... Create?\r\r" + wanted);

    const std::pair<TDeflateType, uint16_t> flags[] = {
        {dtDeflateS, 6}, {dtDeflateF, 4}, {dtDeflateN, 0}, {dtDeflateX, 2}};
    for (auto [type, bits] : flags) {
        w.SetDeflateType(type);
        uint16_t f = 0x0009;
        w.DeflateFlags(f);
        EXPECT_EQ(f, uint16_t(0x0009 | bits)) << int(type);
    }
    w.SetCompressMethod(cmDeflate);
    EXPECT_EQ(w.CompressMethod(), cmStore);
}

}  // namespace
}  // namespace bramble
