// Stored names on their way to the user and to the disk: ZIP names kept as
// UTF-8 (flag bit 11, or Info-ZIP's on Unix) as the lister, the reader, the
// tester and the ZIP writer take them; names Windows keeps for devices,
// which ZIP, TAR and UU readers write under another name; and characters
// Windows refuses in a name, and the dots and blanks it drops at the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "engine/lister/dovex.h"
#include "engine/core/exception.h"
#include "engine/core/crc.h"
#include "engine/core/helpers.h"
#include "engine/formats/arc.h"
#include "engine/formats/lha.h"
#include "engine/core/os.h"
#include "engine/readers/zipcheck.h"
#include "engine/readers/readers.h"
#include "engine/readers/untar.h"
#include "engine/readers/uudecode.h"
#include "engine/readers/unzip.h"
#include "engine/writers/zip.h"
#include "support/testenv.h"
#include "support/zipbuild.h"

// Test archives name only the fields they need.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bramble {
namespace {

using test::BuildZip;
using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;
using test::ZItem;

// Every file below Dir, by path relative to it with '\' separators.
void Collect(const std::string& dir, const std::string& prefix, std::set<std::string>& out) {
    os::Finder f;
    os::FindData fd;
    for (int rc = f.First(Join(dir, "*"), fd); rc == 0; rc = f.Next(fd)) {
        if (fd.name == "." || fd.name == "..") continue;
        if (fd.attributes & os::faDirectory)
            Collect(Join(dir, fd.name), prefix + fd.name + "\\", out);
        else
            out.insert(prefix + fd.name);
    }
}
std::set<std::string> FilesBelow(const std::string& dir) {
    std::set<std::string> out;
    Collect(dir, "", out);
    return out;
}

struct Seen {
    std::vector<int> errors;
    std::vector<std::string> errorNames;
    std::vector<std::string> listed, tested;
    std::set<std::string> files;
    int raised = 0;
};

// Lists, tests and extracts Archive through the engine's components for
// its kind.
Seen ReadEveryWay(const std::string& archive, const std::string& dir) {
    Seen s;
    TDovex lister;
    lister.SetArchiveFile(archive);
    lister.FileSpec() = {"*.*"};
    lister.OnRead = [&](TObject*, int, int) { s.listed.push_back(lister.EntryInfo.FileName); };
    lister.ReadArchive();
    TZipCheck check;
    check.SetArchiveFile(archive);
    check.FileSpec() = {"*.*"};
    check.OnStatus = [&](TObject*, const std::string& fn, bool pass) {
        if (pass) s.tested.push_back(fn);
    };
    if (CanTestArcType(check.ArcType())) check.TestArchive();
    std::unique_ptr<TUnBase> reader = CreateReaderForKind(lister.ArcType());
    EXPECT_NE(reader, nullptr);
    if (!reader) return s;
    reader->OnError = [&](TObject*, const std::string& fn, const std::string&, const std::string&, int code) {
        s.errors.push_back(code);
        s.errorNames.push_back(fn);
    };
    reader->SetArchiveFile(archive);
    reader->SetExtractDir(dir);
    reader->FileSpec() = {"*.*"};
    try {
        reader->Extract();
    } catch (const E_RAISE& e) {
        s.raised = e.Code();
    }
    s.files = FilesBelow(dir);
    return s;
}

// The tests run with the Western ANSI code page (1252), natively and under
// Wine: e-acute is 0xE9 there.
TEST(Utf8Names, ZipNamesMarkedOrMadeOnUnixAreReadAsUtf8) {
    struct Case {
        const char* what;
        ZItem item;
        const char* listed;   // as the list (and the tester) shows it
        const char* written;  // the path below the target
    };
    auto item = [](const char* name, uint16_t flags, uint16_t madeBy) {
        ZItem it{name, "data\n"};
        it.flags = flags;
        it.madeBy = madeBy;
        return it;
    };
    const std::vector<Case> cases = {
        {"flag bit 11", item("caf\xC3\xA9.txt", 0x800, 20), "caf\xE9.txt", "caf\xE9.txt"},
        {"Info-ZIP on Unix, no flag", item("caf\xC3\xA9.txt", 0, 0x031E), "caf\xE9.txt", "caf\xE9.txt"},
        {"OEM from a DOS host", item("caf\x82.txt", 0, 20), "caf\xE9.txt", "caf\xE9.txt"},
        {"no ANSI form", item("\xE6\x97\xA5\xE6\x9C\xAC/x.txt", 0x800, 20), "__\\x.txt", "__\\x.txt"},
        {"bad UTF-8 under the flag", item("a\xC0\xAF..\xC0\xAF" "b.txt", 0x800, 20), "a__..__b.txt", "a__..__b.txt"},
        {"still kept inside the target", item("../..\\caf\xC3\xA9.txt", 0x800, 20), "..\\..\\caf\xE9.txt",
         "caf\xE9.txt"},
    };
    const std::string src = ScratchDir("utf8-src");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string archive = Join(src, "names.zip");
        WriteAll(archive, BuildZip({c.item}));
        const std::string dir = ScratchDir("utf8-out");
        const Seen s = ReadEveryWay(archive, dir);
        EXPECT_EQ(s.raised, 0);
        EXPECT_EQ(s.listed, std::vector<std::string>({c.listed}));
        EXPECT_EQ(s.tested, std::vector<std::string>({c.listed}));
        EXPECT_EQ(s.files, std::set<std::string>({c.written}));
        EXPECT_TRUE(s.errors.empty()) << ::testing::PrintToString(s.errors);
    }
}

TEST(Utf8Names, AnUpdateKeepsTheBytesAndTheFlagAndFindsTheNameToDelete) {
    const std::string dir = ScratchDir("utf8-update");
    const std::string archive = Join(dir, "u.zip");
    ZItem unix{"caf\xC3\xA9.txt", "old\n"};
    unix.madeBy = 0x031E;  // Info-ZIP on Unix: no flag
    ZItem marked{"na\xC3\xAFve.txt", "kept\n"};
    marked.flags = 0x800;
    WriteAll(archive, BuildZip({unix, marked, {"plain.txt", "plain\n"}}));
    // café.txt from disk replaces the entry of that name.
    const std::string src = Join(dir, "src");
    os::DirCreate(src);
    WriteAll(Join(src, "caf\xE9.txt"), "new\n");
    TZip w;
    w.SetDefaultDir(src);
    w.SetArchiveFile(archive);
    w.FileSpec() = {"caf\xE9.txt"};
    w.OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, int, int, int, int,
                         bool& replace) { replace = true; };
    EXPECT_EQ(w.Compress(), 1);
    // The stored bytes stay UTF-8, now with the flag that says so; the other
    // entries are kept as they were.
    const std::string bytes = ReadAll(archive);
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    const TZipEndRecord end = TZipEndRecord::Parse(b + bytes.size() - zip::kEndSize);
    ASSERT_EQ(end.TotalEntries, 3);
    std::vector<std::pair<std::string, uint16_t>> central;
    for (size_t at = end.CentralOffset, i = 0; i < 3; ++i) {
        const TZipCentralRecord r = TZipCentralRecord::Parse(b + at);
        central.emplace_back(bytes.substr(at + zip::kCentralSize, r.NameLength), r.Flags & zip::kFlagUtf8);
        at += static_cast<size_t>(r.TotalSize());
    }
    EXPECT_EQ(central, (std::vector<std::pair<std::string, uint16_t>>{
                           {"caf\xC3\xA9.txt", 0x800}, {"na\xC3\xAFve.txt", 0x800}, {"plain.txt", 0}}));
    const Seen s = ReadEveryWay(archive, Join(dir, "out"));
    EXPECT_EQ(ReadAll(Join(Join(dir, "out"), "caf\xE9.txt")), "new\n");
    EXPECT_EQ(ReadAll(Join(Join(dir, "out"), "na\xEFve.txt")), "kept\n");
    // Deleting by the name the list shows.
    TZip d;
    d.SetArchiveFile(archive);
    d.SetSwitch(swDelete);
    d.FileSpec() = {"na\xEFve.txt"};
    EXPECT_EQ(d.Compress(), 1);
    const Seen after = ReadEveryWay(archive, Join(dir, "out2"));
    EXPECT_EQ(after.listed, std::vector<std::string>({"caf\xE9.txt", "plain.txt"}));
}

#ifndef _WIN32
TEST(Utf8Names, WhatThePeersWriteExtractsUnderItsOwnName) {
    const std::string dir = ScratchDir("utf8-peers");
    const std::string q = "'" + dir + "'";
    // Info-ZIP in a UTF-8 locale (no flag, Unix host) and Python's zipfile
    // (flag bit 11).
    const std::string make = "cd " + q + " && printf hi > 'caf\xC3\xA9.txt' && LC_ALL=C.UTF-8 zip -q info.zip 'caf\xC3\xA9.txt'" +
                             " && python3 -c \"import zipfile; z=zipfile.ZipFile('py.zip','w'); "
                             "z.writestr('caf\xC3\xA9.txt','hi'); z.close()\"";
    ASSERT_EQ(std::system(make.c_str()), 0);
    for (const char* name : {"info.zip", "py.zip"}) {
        SCOPED_TRACE(name);
        const Seen s = ReadEveryWay(Join(dir, name), Join(dir, std::string("out-") + name));
        EXPECT_EQ(s.listed, std::vector<std::string>({"caf\xE9.txt"}));
        EXPECT_EQ(s.files, std::set<std::string>({"caf\xE9.txt"}));
    }
}
#endif

// ---- names Windows keeps for devices --------------------------------------------------

std::string Octal(int64_t v, int width) {
    std::string s(static_cast<size_t>(width - 1), '0');
    for (int i = width - 2; i >= 0 && v > 0; --i, v >>= 3) s[static_cast<size_t>(i)] = static_cast<char>('0' + (v & 7));
    return s + '\0';
}

std::string TarOf(const std::vector<std::pair<std::string, std::string>>& files) {
    std::string out;
    for (const auto& [name, data] : files) {
        std::string h(512, '\0');
        h.replace(0, name.size(), name);
        h.replace(100, 8, Octal(0644, 8));
        h.replace(124, 12, Octal(static_cast<int64_t>(data.size()), 12));
        h.replace(136, 12, Octal(981173106, 12));
        h[156] = '0';
        h.replace(148, 8, "        ");
        unsigned sum = 0;
        for (unsigned char c : h) sum += c;
        h.replace(148, 8, Octal(sum, 7) + " ");
        out += h + data + std::string((512 - data.size() % 512) % 512, '\0');
    }
    return out + std::string(1024, '\0');
}

TEST(DeviceNames, AreWrittenWithALeadingUnderscoreAndReported) {
    struct Case {
        const char* stored;
        const char* written;  // below the target, '\' separators
    };
    const std::vector<Case> cases = {
        {"CON", "_CON"},
        {"nul.txt", "_nul.txt"},
        {"dir/Aux.c", "dir\\_Aux.c"},
        {"com1 .log", "_com1 .log"},
        {"LPT9", "_LPT9"},
        {"prn/file.txt", "_prn\\file.txt"},
        {"CONSOLE.txt", "CONSOLE.txt"},  // not a device
        {"com0", "_com0"},
        {"lpt0.txt", "_lpt0.txt"},
        {"com10", "com10"},
        {"xnul", "xnul"},
    };
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<ZItem> items;
    std::set<std::string> written;
    int renamed = 0;
    for (const Case& c : cases) {
        files.emplace_back(c.stored, std::string("is ") + c.stored);
        items.push_back({c.stored, std::string("is ") + c.stored});
        written.insert(c.written);
        renamed += SlashToBackslash(c.stored) != c.written;
    }
    const std::string src = ScratchDir("devices-src");
    struct Kind {
        const char* file;
        std::string bytes;
        std::set<std::string> written;
        int renamed;
    };
    const std::vector<Kind> kinds = {
        {"devices.zip", BuildZip(items), written, renamed},
        {"devices.tar", TarOf(files), written, renamed},
        {"device.uue", "begin 644 con.txt\n#86)C\n`\nend\n", {"_con.txt"}, 1},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.file);
        const std::string archive = Join(src, k.file);
        WriteAll(archive, k.bytes);
        const std::string dir = ScratchDir("devices-out");
        const Seen s = ReadEveryWay(archive, dir);
        EXPECT_EQ(s.raised, 0);
        EXPECT_EQ(s.files, k.written);
        EXPECT_EQ(static_cast<int>(std::count(s.errors.begin(), s.errors.end(), 25243)), k.renamed)
            << ::testing::PrintToString(s.errors);
        // What went into a renamed file is the entry's own.
        if (k.written.count("_CON")) {
            EXPECT_EQ(ReadAll(Join(dir, "_CON")), "is CON");
        }
        // A test writes nothing, so it renames nothing.
        if (k.renamed > 1) {
            EXPECT_EQ(s.tested.size(), k.written.size());
        }
    }
}

// ---- names the output cannot take ------------------------------------------------

// What an extraction or a test of Archive ends with, entry by entry, and the
// messages said.
struct Ends {
    std::vector<std::pair<std::string, bool>> ends;  // file-name part, passed
    std::vector<int> errors;
};
Ends RunReader(const std::string& archive, const std::string& dir) {
    Ends r;
    TDovex kind;
    kind.SetArchiveFile(archive);
    std::unique_ptr<TUnBase> reader = CreateReaderForKind(kind.ArcType());
    EXPECT_NE(reader, nullptr) << archive;
    if (!reader) return r;
    reader->OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        r.errors.push_back(code);
    };
    reader->OnEnd = [&](TObject*, const std::string& fn, bool pass) { r.ends.emplace_back(ExtractFileName(fn), pass); };
    reader->SetArchiveFile(archive);
    reader->FileSpec() = {"*.*"};
    reader->SetConfirmOverwrites(false);
    if (dir.empty()) {
        reader->Test();
    } else {
        reader->SetExtractDir(dir);
        reader->Extract();
    }
    return r;
}

// A gzip member holding Data in one stored deflate block, with no name.
std::string GzipOf(const std::string& data) {
    std::string g("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    const auto n = static_cast<uint16_t>(data.size());
    g += '\x01';
    g += static_cast<char>(n & 0xFF);
    g += static_cast<char>(n >> 8);
    g += static_cast<char>(~n & 0xFF);
    g += static_cast<char>((~n >> 8) & 0xFF);
    g += data;
    uint32_t crc = 0xFFFFFFFF;
    Crc32Block(data.data(), data.size(), crc);
    for (uint32_t v : {~crc, static_cast<uint32_t>(data.size())})
        for (int i = 0; i < 4; ++i) g += static_cast<char>((v >> (8 * i)) & 0xFF);
    return g;
}

// A .Z file whose 9-bit codes are Data's bytes, one each.
std::string CompressOf(const std::string& data) {
    std::string z("\x1f\x9d\x90", 3);
    uint32_t bits = 0;
    int count = 0;
    for (unsigned char c : data) {
        bits |= uint32_t{c} << count;
        for (count += 9; count >= 8; count -= 8, bits >>= 8) z += static_cast<char>(bits & 0xFF);
    }
    if (count > 0) z += static_cast<char>(bits & 0xFF);
    return z;
}

// An entry whose output would be the archive itself, extracted beside it
// with overwriting on, would empty the archive while it is read (and a
// compress file would then pass as an empty one): it fails, and the
// archive stays as it was. The single-entry kinds meet it by their own
// naming rule: the archive's name less an extension it does not have.
TEST(OutputNames, AnEntryThatWouldOverwriteItsOwnArchiveFails) {
    struct Case {
        const char* archive;
        std::string bytes;
        std::vector<std::pair<std::string, bool>> ends;
    };
#ifdef _WIN32
    const std::string zipSelf = "SELF.ZIP";  // the same file in another case
#else
    const std::string zipSelf = "self.zip";
#endif
    const std::vector<Case> cases = {
        {"gzdata", GzipOf("gzip data\n"), {{"gzdata", false}}},
        {"zdata", CompressOf("compress data\n"), {{"zdata", false}}},
        {"self.tar", TarOf({{"self.tar", "not the archive"}, {"other.txt", "other"}}),
         {{"self.tar", false}, {"other.txt", true}}},
        {"self.zip", BuildZip({{zipSelf, "not the archive"}, {"other.txt", "other"}}),
         {{zipSelf, false}, {"other.txt", true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        const std::string dir = ScratchDir("self-named");
        const std::string archive = Join(dir, c.archive);
        WriteAll(archive, c.bytes);
        Ends run = RunReader(archive, dir);
        EXPECT_EQ(ReadAll(archive), c.bytes);
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), 25171), 1) << ::testing::PrintToString(run.errors);
        EXPECT_EQ(run.ends, c.ends);
        // Elsewhere, or in a test, the same entry is no danger.
        const Ends tested = RunReader(archive, "");
        EXPECT_TRUE(std::all_of(tested.ends.begin(), tested.ends.end(), [](const auto& e) { return e.second; }));
    }
}

// An entry left with no name inside the target ("..") fails in every
// reader, in a test as in an extraction, and the next entry is read.
TEST(OutputNames, AnEntryWithNoNameInsideTheTargetFailsInEveryKind) {
    const std::string data = "entry data\n";
    uint16_t crc16 = 0;
    Crc16Block(data.data(), data.size(), crc16);
    auto lha = [&](const std::string& name) {
        lha::TLevel0 h;
        h.PackedSize = h.UnpackedSize = static_cast<uint32_t>(data.size());
        h.Name = name;
        h.Crc = crc16;
        const std::vector<uint8_t> b = lha::MakeLevel0(h);
        return std::string(b.begin(), b.end()) + data;
    };
    auto arcEntry = [&](const std::string& name) {
        arc::THeader h;
        h.Method = 2;
        h.Name = name;
        h.PackedSize = h.UnpackedSize = static_cast<uint32_t>(data.size());
        h.Crc = crc16;
        const std::vector<uint8_t> b = arc::MakeHeader(h);
        return std::string(b.begin(), b.end()) + data;
    };
    const std::vector<std::pair<const char*, std::string>> kinds = {
        {"dots.zip", BuildZip({{"..", data}, {"next.txt", data}})},
        {"dots.tar", TarOf({{"..", data}, {"next.txt", data}})},
        {"dots.lzh", lha("..") + lha("next.txt") + '\0'},
        {"dots.arc", arcEntry("..") + arcEntry("NEXT.TXT") + "\x1a\x00"},
    };
    for (const auto& [file, bytes] : kinds) {
        SCOPED_TRACE(file);
        const std::string dir = ScratchDir("no-name");
        WriteAll(Join(dir, file), bytes);
        for (const std::string& out : {Join(dir, "out"), std::string()}) {
            const Ends run = RunReader(Join(dir, file), out);
            ASSERT_EQ(run.ends.size(), 2u) << ::testing::PrintToString(run.ends);
            EXPECT_FALSE(run.ends[0].second);
            EXPECT_TRUE(run.ends[1].second);
            EXPECT_EQ(run.errors, std::vector<int>{25243});
        }
    }
}

// ---- what else Windows refuses or changes in a name ---------------------------

TEST(WindowsNames, AliasesForbiddenCharactersAndTrailingDotsBecomeWhatWindowsWrites) {
    struct Case {
        const char* stored;   // ANSI, '/' between folders
        const char* written;  // below the target
        bool reported;        // 25243: written under another name than its own
    };
    const std::vector<Case> cases = {
        {"CONIN$", "_CONIN$", true},
        {"conout$.txt", "_conout$.txt", true},
        {"COM\xB9", "_COM\xB9", true},  // superscript one
        {"lpt\xB2.log", "_lpt\xB2.log", true},
        {"dir/Com\xB3 .x", "dir\\_Com\xB3 .x", true},
        {"COM\xB4", "COM\xB4", false},  // an accent, no digit
        {"CONIN", "CONIN", false},
        {"CONOUT$$", "CONOUT$$", false},
        {"trail.", "trail", false},
        {"trail ", "trail", false},
        {"dir. ./f. .", "dir\\f", false},
        {"nul. ", "_nul", true},
        {"a?b*c.txt", "a_b_c.txt", true},
        {"q\"<>|.txt", "q____.txt", true},
        {"tab\there\x1F.txt", "tab_here_.txt", true},
        {"dir?/f.txt", "dir_\\f.txt", true},
        {"a\x7F~#%&.txt", "a\x7F~#%&.txt", false},  // allowed
    };
    // Without stored folders only the file's own part counts.
    const std::vector<Case> flat = {
        {"dir?/f.txt", "f.txt", false},
        {"con/x", "x", false},
        {"dir/Com\xB3 .x", "_Com\xB3 .x", true},
        {"dir/trail .", "trail", false},
    };
    for (bool storedDirs : {true, false}) {
        TZipCommon c;
        c.OutputTarget = otFile;
        c.SetUseStoredDirs(storedDirs);
        int reports = 0;
        c.OnError = [&reports](TObject*, const std::string&, const std::string&, const std::string&, int code) {
            reports += code == 25243;
        };
        c.SetExtractDir(ScratchDir("windows-names"));
        const std::string root = c.ExtractDir();
        for (const Case& k : storedDirs ? cases : flat) {
            SCOPED_TRACE(std::string(k.stored) + (storedDirs ? " with folders" : " flat"));
            reports = 0;
            EXPECT_EQ(c.ConvertAnsiName(k.stored), root + k.written);
            EXPECT_EQ(c.OutputName(), root + k.written);
            EXPECT_EQ(reports, k.reported ? 1 : 0);
        }
    }
}

TEST(WindowsNames, AnArchiveOfSuchNamesIsExtractedUnderTheNamesItReports) {
    struct Case {
        const char* stored;  // UTF-8
        const char* written;
    };
    const std::vector<Case> cases = {
        {"CONIN$", "_CONIN$"},          {"conout$.txt", "_conout$.txt"}, {"COM\xC2\xB9", "_COM\xB9"},
        {"LPT\xC2\xB3.log", "_LPT\xB3.log"}, {"trail.", "trail"},          {"blank ", "blank"},
        {"what?.txt", "what_.txt"},     {"a<b>.txt", "a_b_.txt"},        {"ctl\x01.txt", "ctl_.txt"},
        {"last.txt", "last.txt"},
    };
    std::vector<ZItem> items;
    std::set<std::string> expected;
    for (const Case& k : cases) {
        ZItem it{k.stored, std::string("is ") + k.written};
        it.flags = 0x800;
        items.push_back(it);
        expected.insert(k.written);
    }
    const std::string dir = ScratchDir("windows-names-zip");
    const std::string archive = Join(dir, "names.zip");
    WriteAll(archive, BuildZip(items));
    const std::string target = Join(dir, "out");
    std::unique_ptr<TUnBase> reader = CreateReaderForKind(atZip);
    std::set<std::string> begun;
    int failed = 0;
    reader->OnBegin = [&](TObject*, const std::string& fn, int, bool&) { begun.insert(ExtractFileName(fn)); };
    reader->OnEnd = [&](TObject*, const std::string&, bool pass) { failed += !pass; };
    reader->SetArchiveFile(archive);
    reader->SetExtractDir(target);
    reader->FileSpec() = {"*.*"};
    EXPECT_EQ(reader->Extract(), static_cast<int>(cases.size()));
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(begun, expected);
    EXPECT_EQ(FilesBelow(target), expected);
    for (const Case& k : cases) EXPECT_EQ(ReadAll(Join(target, k.written)), std::string("is ") + k.written);
}

}  // namespace
}  // namespace bramble
