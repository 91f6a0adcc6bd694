// The ZIP writer: round trips through our reader at every level, with and
// without a password, stored folder names, updates, deletes and moves,
// self-extracting stubs, the size and count limits, and damaged archives.
// Natively the peers check our archives (unzip, 7z, Python's zipfile) and
// archives of the peers survive our updates intact.
#include <gtest/gtest.h>

#include "engine/core/messages.h"
#include "engine/zip_writer_support.h"

namespace bramble {
namespace {

using namespace zipwtest;

// ---- round trips ----------------------------------------------------------------------

TEST(ZipWriter, RoundTripsAtEveryLevelWithAndWithoutPassword) {
    const std::string src = ScratchDir("zipw-rt-src");
    const Tree files = {{"text.txt", Text(150000)},  {"noise.bin", Noise(70000, 7)}, {"empty.txt", ""},
                        {"tiny.bin", Noise(100, 3)}, {"packed.zip", Text(5000)},     {"prog.exe", Text(5000)}};
    Plant(src, files);
#ifndef _WIN32
    WriteAll(Join(src, "compare.py"), kPyCompare);
#endif
    const char* levels = "SFNX";
    const uint16_t levelBits[] = {6, 4, 0, 2};
    for (int level = 0; level < 4; ++level) {
        for (const std::string password : {"", "s3cret"}) {
            SCOPED_TRACE(std::string(1, levels[level]) + " password '" + password + "'");
            const std::string out = ScratchDir("zipw-rt-out");
            const std::string archive = Join(out, "rt.zip");
            const WriteRun run = Write(archive, src, {"*.txt", "*.bin", "*.zip", "*.exe"}, swAdd, [&](TZip& w) {
                w.SetDeflateType(static_cast<TDeflateType>(level));
                w.SetPassword(password);
            });
            ASSERT_EQ(run.raised, 0);
            EXPECT_EQ(run.count, 6);
            EXPECT_TRUE(run.errors.empty());
            EXPECT_EQ(run.ends.size(), 6u);
            for (const auto& [name, pass] : run.ends) EXPECT_TRUE(pass) << name;
            EXPECT_EQ(std::set<std::string>(run.reads.begin(), run.reads.end()),
                      (std::set<std::string>{"text.txt", "noise.bin", "empty.txt", "tiny.bin", "packed.zip",
                                             "prog.exe"}));

            const std::string bytes = ReadAll(archive);
            const Parsed p = Parse(bytes);
            ASSERT_TRUE(p.ok);
            EXPECT_EQ(p.end.TotalEntries, 6);
            EXPECT_EQ(p.end.EntriesOnDisk, 6);
            EXPECT_EQ(p.end.ThisDisk, 0);
            EXPECT_EQ(p.end.CentralDisk, 0);
            EXPECT_EQ(p.end.CommentLength, 0);
            EXPECT_EQ(p.end.CentralOffset + p.end.CentralSize + 22u, bytes.size());
            for (const CEntry& e : p.entries) {
                SCOPED_TRACE(e.name);
                const TZipLocalHeader h = p.Local(bytes, e);
                ASSERT_TRUE(h.Valid());
                EXPECT_EQ(h.VersionNeeded, 20);
                EXPECT_EQ(e.rec.VersionMadeBy, 20);
                EXPECT_EQ(e.rec.VersionNeeded, 9);
                EXPECT_EQ(e.rec.InternalAttr, 0);
                EXPECT_EQ(e.rec.ExtraLength, 0);
                EXPECT_EQ(h.ExtraLength, 0);
                EXPECT_EQ(e.rec.Flags, h.Flags);
                EXPECT_EQ(e.rec.Method, h.Method);
                EXPECT_EQ(e.rec.CRC, h.CRC);
                EXPECT_EQ(e.rec.PackedSize, h.PackedSize);
                EXPECT_EQ(e.rec.UnpackedSize, files.at(e.name).size());
                EXPECT_EQ(e.rec.ExternalAttr & ~0x27u, 0u);
                if (e.name == "empty.txt") {
                    // No encryption header, no data, nothing to say.
                    EXPECT_EQ(h.Method, 0);
                    EXPECT_EQ(h.Flags, 0);
                    EXPECT_EQ(h.CRC, 0u);
                    EXPECT_EQ(h.PackedSize, 0u);
                    continue;
                }
                const uint16_t crypt = password.empty() ? 0 : 1;
                if (e.name == "packed.zip") {
                    // An archive extension is stored, without level bits.
                    EXPECT_EQ(h.Method, 0);
                    EXPECT_EQ(h.Flags, crypt);
                    EXPECT_EQ(h.PackedSize, 5000u + 12u * crypt);
                } else {
                    EXPECT_EQ(h.Flags, crypt | levelBits[level]);
                    // Text (also behind .exe) shrinks; what does not is stored.
                    if (e.name == "text.txt" || e.name == "prog.exe") {
                        EXPECT_EQ(h.Method, 8);
                    }
                    if (e.name == "tiny.bin") {
                        EXPECT_EQ(h.Method, 0);
                    }
                    if (h.Method == 0) {
                        EXPECT_EQ(h.PackedSize, e.rec.UnpackedSize + 12u * crypt);
                    }
                }
            }

            const std::string back = ScratchDir("zipw-rt-back");
            const Back b = Extract(archive, back, password);
            EXPECT_EQ(b.raised, 0);
            EXPECT_TRUE(b.errors.empty());
            EXPECT_TRUE(b.AllPassed());
            EXPECT_TRUE(ReadTree(back) == files);
#ifndef _WIN32
            const std::string pw = password.empty() ? "" : " -P " + password;
            EXPECT_EQ(Shell("unzip -tq" + pw + " " + Quote(archive)), 0);
            EXPECT_EQ(Shell("7z t -p" + Quote(password) + " " + Quote(archive)), 0);
            EXPECT_EQ(Shell("python3 " + Quote(Join(src, "compare.py")) + " " + Quote(archive) + " " + Quote(src) +
                            (password.empty() ? "" : " " + password)),
                      0);
#endif
        }
    }
}

TEST(ZipWriter, StoresFolderNamesByEachMode) {
    const std::string src = ScratchDir("zipw-dirs-src");
    Plant(src, {{"top/a.txt", "alpha\n"}, {"top/sub/b.txt", Text(3000)}, {"other.txt", "no"}});
    const std::string top = Join(src, "top");
    struct Mode {
        TStoredDirNames mode;
        std::set<std::string> names;  // exact, or the tails of absolute names
        bool absolute;
    };
    const std::vector<Mode> modes = {
        {sdNone, {"a.txt", "b.txt"}, false},
        {sdRelative, {"a.txt", "sub/b.txt"}, false},
        {sdRelativeStoreStart, {"top/a.txt", "top/sub/b.txt"}, false},
        {sdAbsoluteNoDrv, {"/top/a.txt", "/top/sub/b.txt"}, true},
        {sdAbsolute, {"/top/a.txt", "/top/sub/b.txt"}, true},
    };
    for (const Mode& m : modes) {
        SCOPED_TRACE(static_cast<int>(m.mode));
        const std::string out = ScratchDir("zipw-dirs-out");
        const std::string archive = Join(out, "dirs.zip");
        const WriteRun run = Write(archive, src, {Join(top, "*.txt")}, swAdd, [&](TZip& w) {
            w.SetStoredDirNames(m.mode);
            w.SetRecurseDirs(true);
        });
        ASSERT_EQ(run.raised, 0);
        EXPECT_EQ(run.count, 2);
        const std::vector<std::string> names = Names(Parse(ReadAll(archive)));
        ASSERT_EQ(names.size(), 2u);
        std::set<std::string> got;
        for (const std::string& n : names) {
            EXPECT_EQ(n.find('\\'), std::string::npos) << n;
            if (!m.absolute) {
                got.insert(n);
                continue;
            }
            const size_t at = n.rfind("/top/");
            ASSERT_NE(at, std::string::npos) << n;
            got.insert(n.substr(at));
            const bool drive = n.size() > 1 && n[1] == ':';
#ifdef _WIN32
            // Only sdAbsolute keeps the drive.
            EXPECT_EQ(drive, m.mode == sdAbsolute) << n;
#else
            EXPECT_FALSE(drive) << n;
#endif
            if (m.mode == sdAbsoluteNoDrv) {
                EXPECT_EQ(n[0], '/') << n;
            }
        }
        EXPECT_EQ(got, m.names);

        // Whatever the stored path, the reader puts the files back inside
        // its folder with their contents.
        const std::string back = ScratchDir("zipw-dirs-back");
        const Back b = Extract(archive, back);
        EXPECT_EQ(b.count, 2);
        EXPECT_TRUE(b.AllPassed());
        std::map<std::string, std::string> byName;
        for (const auto& [name, data] : ReadTree(back)) byName[ExtractFileName(name)] = data;
        EXPECT_EQ(byName, (std::map<std::string, std::string>{{"a.txt", "alpha\n"}, {"b.txt", Text(3000)}}));
#ifndef _WIN32
        EXPECT_EQ(Shell("unzip -tq " + Quote(archive)), 0);
#endif
    }
}

// ---- updating --------------------------------------------------------------------------

void SetDate(const std::string& path, int year) {
    os::FileTimes t;
    t.lastWrite = DosDateToFileTime(static_cast<uint32_t>((year - 1980) << 25 | 1 << 21 | 1 << 16));
    ASSERT_TRUE(os::SetTimes(path, t));
}

TEST(ZipWriter, UpdatesReplacesDeletesAndMovesKeepingTheOtherEntries) {
    const std::string src = ScratchDir("zipw-up-src");
    Plant(src, {{"a.txt", Text(20000)}, {"b.txt", Text(9000)}, {"c.txt", "gamma\n"}});
    for (const char* n : {"a.txt", "b.txt", "c.txt"}) SetDate(Join(src, n), 2001);
    const std::string archive = Join(ScratchDir("zipw-up"), "up.zip");
    ASSERT_EQ(Write(archive, src, {"*.txt"}).count, 3);
    const std::string first = ReadAll(archive);

    // Unchanged sources leave their entries alone; a changed one is
    // replaced only when OnReplaceFile says so.
    WriteAll(Join(src, "b.txt"), "a new b\n");
    SetDate(Join(src, "b.txt"), 2003);
    WriteRun run = Write(archive, src, {"b.txt"});
    EXPECT_EQ(run.count, 0);
    EXPECT_EQ(ReadAll(archive), first);
    int asked = 0;
    run = Write(archive, src, {"*.txt"}, swAdd, [&](TZip& w) {
        w.OnReplaceFile = [&](TObject*, const std::string& oldFN, const std::string&, TDateTime, TDateTime, int oldSize,
                              int newSize, int, int, bool& replace) {
            ++asked;
            EXPECT_EQ(oldFN, "b.txt");
            EXPECT_EQ(oldSize, 9000);
            EXPECT_EQ(newSize, 8);
            replace = true;
        };
    });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(run.count, 1);
    Parsed p = Parse(ReadAll(archive));
    EXPECT_EQ(Names(p), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));  // in its place
    std::string back = ScratchDir("zipw-up-back");
    Back b = Extract(archive, back);
    EXPECT_TRUE(b.AllPassed());
    EXPECT_TRUE(ReadTree(back) == (Tree{{"a.txt", Text(20000)}, {"b.txt", "a new b\n"}, {"c.txt", "gamma\n"}}));

    // Deleting the middle entry lowers the last one's offset by exactly
    // what the deleted one took.
    const std::string before = ReadAll(archive);
    p = Parse(before);
    const CEntry bEntry = *Find(p, "b.txt");
    const uint32_t cOffset = Find(p, "c.txt")->rec.LocalOffset;
    run = Write(archive, src, {"b.txt"}, swDelete);
    EXPECT_EQ(run.count, 1);
    EXPECT_TRUE(run.reads.empty());
    p = Parse(ReadAll(archive));
    EXPECT_EQ(Names(p), (std::vector<std::string>{"a.txt", "c.txt"}));
    EXPECT_EQ(p.end.TotalEntries, 2);
    EXPECT_EQ(Find(p, "c.txt")->rec.LocalOffset, cOffset - (30 + 5 + bEntry.rec.PackedSize));
    back = ScratchDir("zipw-up-back2");
    b = Extract(archive, back);
    EXPECT_TRUE(ReadTree(back) == (Tree{{"a.txt", Text(20000)}, {"c.txt", "gamma\n"}}));

    // A move deletes the sources that went in, and only those.
    Plant(src, {{"m1.dat", "one"}, {"m2.dat", "two"}});
    run = Write(archive, src, {"*.dat"}, swMove, [](TZip& w) {
        w.SetDeleteOptions(doFinal);
        w.OnBegin = [](TObject*, const std::string& fn, int, bool& extract) {
            extract = ExtractFileName(fn) != "m2.dat";
        };
    });
    EXPECT_EQ(run.count, 1);
    EXPECT_FALSE(os::FileExists(Join(src, "m1.dat")));
    EXPECT_TRUE(os::FileExists(Join(src, "m2.dat")));
    EXPECT_EQ(Names(Parse(ReadAll(archive))), (std::vector<std::string>{"a.txt", "c.txt", "m1.dat"}));
#ifndef _WIN32
    EXPECT_EQ(Shell("unzip -tq " + Quote(archive)), 0);
#endif
}

TEST(ZipWriter, DeletingEveryEntryRemovesTheArchive) {
    const std::string src = ScratchDir("zipw-all-src");
    Plant(src, {{"a.txt", "A"}, {"b.txt", "B"}});
    const std::string archive = Join(ScratchDir("zipw-all"), "all.zip");
    ASSERT_EQ(Write(archive, src, {"*.txt"}).count, 2);
    const std::string made = ReadAll(archive);

    // Nothing matches: the archive stays as it was.
    WriteRun run = Write(archive, src, {"zzz.txt"}, swDelete);
    EXPECT_EQ(run.count, 0);
    EXPECT_FALSE(run.removed);
    EXPECT_EQ(ReadAll(archive), made);

    run = Write(archive, src, {"*.*"}, swDelete, [](TZip& w) { w.SetDeleteOptions(doFinal); });
    EXPECT_EQ(run.raised, 0);
    EXPECT_EQ(run.count, 2);
    EXPECT_TRUE(run.success);
    EXPECT_TRUE(run.removed);
    EXPECT_FALSE(os::FileExists(archive));

    // And a delete on what is no longer there has nothing to do.
    run = Write(archive, src, {"*.*"}, swDelete);
    EXPECT_EQ(run.raised, 26859);
}

#ifdef _WIN32
// Wine's Recycle Bin: the freedesktop trash of the Linux user, by the
// Windows name of its folder; empty when it cannot be told.
std::string WineTrash() {
    char value[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("XDG_DATA_HOME", value, sizeof value);
    if (n > 0 && n < sizeof value && value[0] == '/') return SlashToBackslash("Z:" + std::string(value)) + "\\Trash";
    const DWORD h = GetEnvironmentVariableA("WINEHOMEDIR", value, sizeof value);
    std::string home = h > 0 && h < sizeof value ? value : "";
    if (home.rfind("\\??\\", 0) == 0) home.erase(0, 4);
    return home.empty() ? std::string() : home + "\\.local\\share\\Trash";
}

// The files of the trash whose names begin with Stem (the trash adds to a
// name already there).
std::vector<std::string> TrashedAs(const std::string& trash, const std::string& stem) {
    std::vector<std::string> found;
    os::Finder f;
    os::FindData fd;
    for (int rc = f.First(Join(Join(trash, "files"), stem + "*"), fd); rc == 0; rc = f.Next(fd))
        found.push_back(fd.name);
    return found;
}
#endif

TEST(ZipWriter, DeletingEveryEntryPutsTheArchiveInTheRecycleBinWhenUndoIsAllowed) {
#ifndef _WIN32
    GTEST_SKIP() << "natively a file is only ever deleted outright";
#else
    if (!test::RunningUnderWine()) GTEST_SKIP() << "the Recycle Bin is looked into as Wine keeps it";
    const std::string trash = WineTrash();
    if (trash.empty() || !os::DirectoryExists(trash)) GTEST_SKIP() << "Wine keeps no trash folder here";
    const std::string src = ScratchDir("zipw-undo-src");
    Plant(src, {{"a.txt", "A"}});
    for (TDeleteOptions how : {doAllowUndo, doFinal}) {
        SCOPED_TRACE(how == doAllowUndo ? "undo allowed" : "final");
        // A name no other run puts in the trash.
        uint8_t tag[4];
        os::RandomBytes(tag, sizeof tag);
        char stem[40];
        std::snprintf(stem, sizeof stem, "bramble-undo-%02x%02x%02x%02x", tag[0], tag[1], tag[2], tag[3]);
        const std::string archive = Join(ScratchDir("zipw-undo"), std::string(stem) + ".zip");
        ASSERT_EQ(Write(archive, src, {"a.txt"}).count, 1);
        const std::string made = ReadAll(archive);
        const WriteRun run = Write(archive, src, {"*.*"}, swDelete, [how](TZip& w) { w.SetDeleteOptions(how); });
        EXPECT_EQ(run.count, 1);
        EXPECT_TRUE(run.removed);
        EXPECT_FALSE(os::FileExists(archive));
        const std::vector<std::string> trashed = TrashedAs(trash, stem);
        if (how == doFinal) {
            EXPECT_TRUE(trashed.empty());
            continue;
        }
        ASSERT_EQ(trashed.size(), 1u);
        const std::string kept = Join(Join(trash, "files"), trashed[0]);
        EXPECT_TRUE(ReadAll(kept) == made);
        // The test's own leavings go.
        os::FileDelete(kept);
        os::FileDelete(Join(Join(trash, "info"), trashed[0] + ".trashinfo"));
    }
#endif
}

// Aims the final rename at a folder that is not there, so the archive
// cannot take the new one's place.
class TZipNotReplaced : public TZip {
public:
    bool RenameTempArchive(const std::string& TempName, const std::string& Target) override {
        return TZip::RenameTempArchive(TempName, Join(Join(Target + "-none", "x"), "y"));
    }
};

TEST(ZipWriter, AnArchiveThatCannotBeReplacedEndsTheRunWith25136) {
    const std::string src = ScratchDir("zipw-norename-src");
    Plant(src, {{"a.txt", "A"}, {"b.txt", "B"}});
    for (bool update : {false, true}) {
        SCOPED_TRACE(update ? "update" : "new archive");
        const std::string dir = ScratchDir(update ? "zipw-norename-old" : "zipw-norename-new");
        const std::string archive = Join(dir, "a.zip");
        if (update) {
            ASSERT_EQ(Write(archive, src, {"a.txt"}).count, 1);
        }
        const std::string before = ReadAll(archive);
        TZipNotReplaced w;
        std::vector<int> errors;
        std::vector<std::string> events;
        w.OnActivate = [&](TObject*) { events.push_back("activate"); };
        w.OnDeactivate = [&](TObject*) { events.push_back("deactivate"); };
        w.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
            errors.push_back(code);
        };
        w.SetDefaultDir(src);
        w.SetTempDir(dir);
        w.SetArchiveFile(archive);
        w.FileSpec() = {"b.txt"};
        int raised = 0;
        try {
            w.Compress();
        } catch (const E_RAISE& e) {
            raised = e.Code();
        }
        // Told once, then raised; the run still ends as every run does.
        EXPECT_EQ(raised, 25136);
        EXPECT_EQ(errors, std::vector<int>{25136});
        EXPECT_EQ(events, (std::vector<std::string>{"activate", "deactivate"}));
        EXPECT_FALSE(w.Success());
        EXPECT_EQ(w.FilesAdded(), 0);
        EXPECT_EQ(ReadAll(archive), before);
        EXPECT_EQ(RunningComponent(), nullptr);
        // Nothing is left of the temporary: the old archive, or the sources
        // of a new one, hold all it held.
        os::Finder f;
        os::FindData fd;
        EXPECT_NE(f.First(Join(dir, "dvx*"), fd), 0) << fd.name;
    }
}

TEST(ZipWriter, KeepsTheStubOfASelfExtractingArchive) {
    const std::string src = ScratchDir("zipw-sfx-src");
    Plant(src, {{"added.txt", Text(4000)}});
    for (const char* name : {"sfx.exe", "sfx_unadjusted.exe", "sfx_15770.exe"}) {
        SCOPED_TRACE(name);
        BRAMBLE_NEED_FIXTURE(name);
        const std::string original = ReadAll(Fixture(name));
        ASSERT_FALSE(original.empty());
        const std::string archive = Join(ScratchDir("zipw-sfx"), name);
        WriteAll(archive, original);
        TZip probe;
        probe.SetArchiveFile(archive);
        EXPECT_EQ(probe.ArcType(), atZip);
        const int64_t stub = probe.ArcOffset() - 1;
        EXPECT_GT(stub, 15000);

        WriteRun run = Write(archive, src, {"added.txt"});
        EXPECT_EQ(run.count, 1);
        std::string now = ReadAll(archive);
        EXPECT_EQ(now.substr(0, static_cast<size_t>(stub)), original.substr(0, static_cast<size_t>(stub)));
        // Offsets count the stub, as a self-extractor's must.
        const Parsed p = Parse(now);
        ASSERT_TRUE(p.ok);
        for (const CEntry& e : p.entries) EXPECT_TRUE(p.Local(now, e).Valid()) << e.name;
        const std::string back = ScratchDir("zipw-sfx-back");
        const Back b = Extract(archive, back);
        EXPECT_TRUE(b.AllPassed());
        EXPECT_EQ(b.count, 4);
        EXPECT_EQ(ReadTree(back).at("added.txt"), Text(4000));

        run = Write(archive, src, {"sub\\nested.txt"}, swDelete);
        EXPECT_EQ(run.count, 1);
        now = ReadAll(archive);
        EXPECT_EQ(now.substr(0, static_cast<size_t>(stub)), original.substr(0, static_cast<size_t>(stub)));
#ifndef _WIN32
        // Not a byte out of place: unzip has nothing to warn about.
        EXPECT_EQ(Shell("unzip -t " + Quote(archive)), 0);
#endif
    }
}

// ---- limits ----------------------------------------------------------------------------

// An archive of Count stored empty entries, built here.
std::string ManyEntries(int count) {
    std::string locals, central;
    for (int i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "e%05d", i);
        TZipLocalHeader h;
        h.NameLength = 6;
        TZipCentralRecord c;
        c.NameLength = 6;
        c.LocalOffset = static_cast<uint32_t>(locals.size());
        auto hb = h.Bytes();
        auto cb = c.Bytes();
        locals.append(reinterpret_cast<const char*>(hb.data()), hb.size()).append(name, 6);
        central.append(reinterpret_cast<const char*>(cb.data()), cb.size()).append(name, 6);
    }
    TZipEndRecord end;
    end.EntriesOnDisk = end.TotalEntries = static_cast<uint16_t>(count);
    end.CentralOffset = static_cast<uint32_t>(locals.size());
    end.CentralSize = static_cast<uint32_t>(central.size());
    auto eb = end.Bytes();
    return locals + central + std::string(reinterpret_cast<const char*>(eb.data()), eb.size());
}

TEST(ZipWriter, RefusesFilesOfTwoGigabytesAndMoreThan65535Entries) {
    const std::string src = ScratchDir("zipw-big-src");
    Plant(src, {{"small.txt", "small"}});
    {
        // A sparse file: its size is what counts, nothing is read.
        os::File f;
        ASSERT_TRUE(f.Open(Join(src, "huge.bin"), os::OpenMode::Create));
        ASSERT_TRUE(f.Seek(TZip::kMaxFileSize));
        ASSERT_TRUE(f.Truncate());
    }
    const std::string archive = Join(ScratchDir("zipw-big"), "big.zip");
    WriteRun run = Write(archive, src, {"*.*"});
    EXPECT_EQ(run.count, 1);
    EXPECT_EQ(run.Errors(25256), 1);
    EXPECT_FALSE(run.ends.at("huge.bin"));
    EXPECT_TRUE(run.ends.at("small.txt"));
    EXPECT_EQ(Names(Parse(ReadAll(archive))), (std::vector<std::string>{"small.txt"}));
    os::FileDelete(Join(src, "huge.bin"));

    // 65535 entries are the most an end record counts: one more is refused
    // before anything is written, with the message that says the count is
    // the limit (not a size); one less is fine.
    const std::string many = ManyEntries(65535);
    WriteAll(archive, many);
    run = Write(archive, src, {"small.txt"});
    EXPECT_EQ(run.raised, 25257);
    EXPECT_NE(MessageText(25257).find("65535"), std::string::npos) << MessageText(25257);
    EXPECT_NE(MessageText(25257).find("entries"), std::string::npos) << MessageText(25257);
    EXPECT_EQ(ReadAll(archive), many);
    run = Write(archive, src, {"e00007"}, swDelete);
    EXPECT_EQ(run.count, 1);
    run = Write(archive, src, {"small.txt"});
    EXPECT_EQ(run.count, 1);
    const Parsed p = Parse(ReadAll(archive));
    EXPECT_EQ(p.end.TotalEntries, 65535);
    EXPECT_EQ(p.entries.back().name, "small.txt");
}

// ---- damaged archives ------------------------------------------------------------------

TEST(ZipWriter, DamagedArchivesAreRefusedUnchangedNeverCrashing) {
    const std::string src = ScratchDir("zipw-bad-src");
    Plant(src, {{"a.txt", Text(3000)}, {"b.txt", "bee"}, {"c.txt", "sea"}});
    const std::string dir = ScratchDir("zipw-bad");
    const std::string good = Join(dir, "good.zip");
    ASSERT_EQ(Write(good, src, {"*.txt"}).count, 3);
    const std::string ok = ReadAll(good);
    const Parsed p = Parse(ok);
    const size_t endAt = ok.size() - 22, cd = p.end.CentralOffset;
    auto patched = [&](size_t at, const std::string& bytes) {
        std::string s = ok;
        s.replace(at, bytes.size(), bytes);
        return s;
    };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"truncated", ok.substr(0, ok.size() / 2)},
        {"directory cut", ok.substr(0, cd + 60) + ok.substr(endAt)},
        {"directory far away", patched(endAt + 16, std::string("\xF0\xFF\xFF\x7F", 4))},
        {"too many entries", patched(endAt + 8, std::string("\xFF\x00\xFF\x00", 4))},
        {"long name", patched(cd + 28, std::string("\xFF\xFF", 2))},
        {"bad local header", patched(0, "XX")},
        {"local offset past directory", patched(cd + 42, std::string("\x00\x00\x00\x70", 4))},
        {"huge packed size", patched(cd + 20, std::string("\x00\x00\xF0\x7F", 4))},
        {"end record alone", std::string("PK\x05\x06", 4) + std::string(18, '\xFF')},
        {"noise", Noise(5000, 99)},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        const std::string archive = Join(dir, "bad.zip");
        WriteAll(archive, bytes);
        WriteRun run = Write(archive, src, {"c.txt"});
        EXPECT_NE(run.raised, 0);
        EXPECT_EQ(ReadAll(archive), bytes);
        run = Write(archive, src, {"a.txt"}, swDelete);
        EXPECT_NE(run.raised, 0);
        EXPECT_EQ(ReadAll(archive), bytes);
        // Listing through the writer stops quietly.
        Write(archive, src, {"*.*"}, swRead);
    }
}

// ---- archives of other writers -----------------------------------------------------------

#ifndef _WIN32
// Lists, per entry, everything an update must carry over: name bytes,
// flags, method, CRC, sizes, both extra fields, comment, and the data
// (with its descriptor) byte for byte; then the archive comment.
const char* kPyDump = R"(
import sys, zipfile, struct
z = zipfile.ZipFile(sys.argv[1]); raw = open(sys.argv[1], 'rb').read()
out = open(sys.argv[2], 'w')
for i in z.infolist():
    o = i.header_offset
    n, x = struct.unpack('<HH', raw[o + 26:o + 30])
    data = raw[o + 30 + n + x:o + 30 + n + x + i.compress_size + (16 if i.flag_bits & 8 else 0)]
    out.write('%s %x %d %08x %d %d %s %s %s %s %d\n' % (i.orig_filename.encode('cp437', 'replace').hex(), i.flag_bits,
              i.compress_type, i.CRC, i.compress_size, i.file_size, i.extra.hex(),
              raw[o + 30 + n:o + 30 + n + x].hex(), i.comment.hex(), data.hex()[:64], len(data)))
out.write('comment ' + z.comment.hex() + '\n')
)";

std::map<std::string, std::string> DumpEntries(const std::string& archive, const std::string& script) {
    const std::string out = archive + ".dump";
    EXPECT_EQ(Shell("python3 " + Quote(script) + " " + Quote(archive) + " " + Quote(out)), 0);
    std::map<std::string, std::string> lines;
    std::string all = ReadAll(out);
    for (size_t at = 0; at < all.size();) {
        size_t nl = all.find('\n', at);
        std::string line = all.substr(at, nl - at);
        lines[line.substr(0, line.find(' '))] = line;
        at = nl == std::string::npos ? all.size() : nl + 1;
    }
    return lines;
}

std::string Hex(const std::string& s) {
    std::string h;
    char b[3];
    for (unsigned char c : s) {
        std::snprintf(b, sizeof b, "%02x", c);
        h += b;
    }
    return h;
}

TEST(ZipWriterInterop, UpdatesPeerArchivesKeepingEveryRecordOfTheKeptEntries) {
    const std::string src = ScratchDir("zipw-peer-src");
    Plant(src, {{"a.txt", Text(30000)}, {"b.txt", Text(7000)}, {"c.bin", Noise(4000, 5)}, {"dir/d.txt", "dee\n"}});
    const std::string newSrc = ScratchDir("zipw-peer-new");
    Plant(newSrc, {{"new.txt", Text(2000)}});
    const std::string dir = ScratchDir("zipw-peer");
    const std::string dump = Join(dir, "dump.py");
    WriteAll(dump, kPyDump);
    const std::string py = Join(dir, "make.py");
    // Entry comments, an extra field of its own, an archive comment, a
    // name outside ASCII, and (written to a pipe) data descriptors.
    WriteAll(py, R"(
import sys, zipfile, os
os.chdir(sys.argv[1])
z = zipfile.ZipFile(sys.stdout.buffer if sys.argv[2] == '-' else sys.argv[2], 'w', zipfile.ZIP_DEFLATED)
for n in ['a.txt', 'b.txt', 'c.bin', 'dir/d.txt']:
    i = zipfile.ZipInfo(n, (2001, 2, 3, 4, 5, 6))
    i.comment = ('comment of ' + n).encode()
    i.extra = b'\xfe\xca\x04\x00abcd'
    i.compress_type = zipfile.ZIP_DEFLATED
    z.writestr(i, open(n, 'rb').read())
z.writestr(zipfile.ZipInfo('caf\u00e9.txt', (2001, 2, 3, 4, 5, 6)), b'utf-8 name')
z.comment = b'the archive comment'
z.close()
)");
    struct Peer {
        const char* name;
        std::string command;  // makes ARCHIVE from the files in src
    };
    const std::vector<Peer> peers = {
        {"infozip.zip", "cd " + Quote(src) + " && zip -q -r ARCHIVE a.txt b.txt c.bin dir && zip -q -z ARCHIVE <<< 'note'"},
        {"infozip-stream.zip", "cd " + Quote(src) + " && zip -q -r - a.txt b.txt c.bin dir | cat > ARCHIVE"},
        {"sevenzip.zip", "cd " + Quote(src) + " && 7z a -tzip ARCHIVE a.txt b.txt c.bin dir"},
        {"python.zip", "python3 " + Quote(py) + " " + Quote(src) + " ARCHIVE"},
        {"python-stream.zip", "python3 " + Quote(py) + " " + Quote(src) + " - | cat > ARCHIVE"},
    };
    for (const Peer& peer : peers) {
        SCOPED_TRACE(peer.name);
        const std::string archive = Join(dir, peer.name);
        std::string cmd = peer.command;
        for (size_t at; (at = cmd.find("ARCHIVE")) != std::string::npos;) cmd.replace(at, 7, Quote(archive));
        const std::string script = archive + ".sh";
        WriteAll(script, cmd + "\n");
        ASSERT_EQ(Shell("bash " + Quote(script)), 0) << cmd;
        ASSERT_EQ(Shell("unzip -tq " + Quote(archive)), 0);
        const auto before = DumpEntries(archive, dump);
        ASSERT_GE(before.size(), 5u);
        // Written to a pipe, the peers put the sizes behind the data.
        if (std::string(peer.name).find("stream") != std::string::npos) {
            EXPECT_EQ(before.at(Hex("a.txt")).substr(11, 2), "8 ") << before.at(Hex("a.txt"));
        }

        WriteRun run = Write(archive, newSrc, {"new.txt"});
        EXPECT_EQ(run.count, 1);
        EXPECT_EQ(Shell("unzip -tq " + Quote(archive)), 0);
        run = Write(archive, newSrc, {"b.txt"}, swDelete);
        EXPECT_EQ(run.count, 1);
        EXPECT_EQ(Shell("unzip -tq " + Quote(archive)), 0);
        EXPECT_EQ(Shell("7z t " + Quote(archive)), 0);

        auto after = DumpEntries(archive, dump);
        EXPECT_EQ(after.count(Hex("b.txt")), 0u);
        EXPECT_EQ(after.count(Hex("new.txt")), 1u);
        for (const auto& [name, line] : before) {
            if (name == Hex("b.txt")) continue;
            EXPECT_EQ(after[name], line) << name;
        }
        const std::string back = ScratchDir("zipw-peer-back");
        ASSERT_EQ(Shell("unzip -q " + Quote(archive) + " -d " + Quote(back)), 0);
        EXPECT_EQ(ReadAll(Join(back, "a.txt")), Text(30000));
        EXPECT_EQ(ReadAll(Join(Join(back, "dir"), "d.txt")), "dee\n");
        EXPECT_EQ(ReadAll(Join(back, "new.txt")), Text(2000));
    }
}
#endif

// ---- the writer table --------------------------------------------------------------------

TEST(Writers, TheTableHandsOutTheWriterOfEachWritableKind) {
    auto zip = CreateWriterForKind(atZipExe);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(zip->ArcType(), atZip);
    EXPECT_NE(dynamic_cast<TZip*>(zip.get()), nullptr);
    auto jar = CreateWriterForKind(atJar);
    ASSERT_NE(jar, nullptr);
    EXPECT_EQ(jar->ArcType(), atJar);
    EXPECT_EQ(jar->DefaultExt(), ".JAR");
    EXPECT_EQ(CreateWriterForKind(atGZip)->ArcType(), atGZip);
    EXPECT_EQ(CreateWriterForKind(atTar)->ArcType(), atTar);
    EXPECT_EQ(CreateWriterForKind(atCab)->ArcType(), atCab);
    for (TArcType t : {atRar, atArj, atUnknown, atNA}) EXPECT_EQ(CreateWriterForKind(t), nullptr) << int(t);
    // A JAR takes its own extension; only the two ZIP methods are allowed.
    TJar j;
    j.SetArchiveFile(Join(ScratchDir("zipw-jar"), "lib"));
    EXPECT_EQ(ExtractFileExt(j.ArchiveFile()), ".JAR");
    j.SetCompressMethod(cmTarred);
    EXPECT_EQ(j.CompressMethod(), cmDeflate);
    j.SetCompressMethod(cmStore);
    EXPECT_EQ(j.CompressMethod(), cmStore);
}

TEST(Writers, EachWriterHasItsOwnExtensionAsWrittenAndKnowsItInAnyCase) {
    struct Case {
        TArcType kind;
        const char* ext;
        bool added;  // an archive name without an extension gets it
    };
    const Case cases[] = {{atZip, ".ZIP", true}, {atJar, ".JAR", true}, {atGZip, ".GZ", true},
                          {atTar, ".TAR", true}, {atLha, ".LHA", true}, {atBh, ".BH", true},
                          {atCab, ".CAB", true}};
    const std::string dir = ScratchDir("writers-ext");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ext);
        auto w = CreateWriterForKind(c.kind);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->DefaultExt(), c.ext);
        w->SetArchiveFile(Join(dir, "plain"));
        EXPECT_EQ(w->ArchiveFile(), SlashToBackslash(Join(dir, c.added ? std::string("plain") + c.ext : "plain")));
        // A writer is always of its own kind, whether or not the file is
        // there yet.
        EXPECT_EQ(w->ArcType(), c.kind);
        // A name that has the extension in the other case has it already.
        std::string lower = c.ext;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        const std::string named = SlashToBackslash(Join(dir, "named" + lower));
        w->SetArchiveFile(named);
        EXPECT_EQ(w->ArchiveFile(), named);
        // It is the writer's own that a new one replaces, whatever its case.
        w->SetDefaultExt("new");
        EXPECT_EQ(w->DefaultExt(), ".new");
        EXPECT_EQ(w->ArchiveFile(), SlashToBackslash(Join(dir, "named.new")));
        w->SetDefaultExt("");
        EXPECT_EQ(w->DefaultExt(), c.ext);
    }
}

}  // namespace
}  // namespace bramble
