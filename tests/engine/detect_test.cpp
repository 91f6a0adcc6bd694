// Archive-kind detection against archives the peer tools made for this run,
// the shared corpus of real-world archives, and hand-made headers for the
// kinds no tool here writes.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>
#include <string>

#include "engine/core/crc.h"
#include "engine/core/os.h"
#include "engine/lister/dovex.h"
#include "support/testenv.h"

using namespace bramble;
using namespace bramble::test;

namespace {

struct Found {
    TArcType kind;
    int64_t offset;
    uint8_t flags;
};

Found Detect(const std::string& path) {
    TDovex d;
    d.SetArchiveFile(path);
    return {d.ArcType(), d.ArcOffset(), d.ZipHeadFlags()};
}

std::string Fixture(const std::string& name) { return Join(FixturesDir(), name); }

// Makes every drive removable while it lives, optionally with a label.
class RemovableDrive {
public:
    explicit RemovableDrive(std::string label = {}) : label_(std::move(label)) {
        provider_.driveType = [](const std::string&) { return unsigned{os::dtRemovable}; };
        provider_.volumeInfo = [this](const std::string&, os::VolumeInfo& info) {
            info.label = label_;
            info.serial = 0x1234ABCD;
            info.fileSystem = "FAT";
            return true;
        };
        provider_.diskSpace = [](const std::string&, os::DiskSpace& s) {
            s = {1, 512, 2000, 2880};
            return true;
        };
        os::SetDriveProvider(&provider_);
    }
    ~RemovableDrive() { os::SetDriveProvider(nullptr); }

    // A name of the file on the drive: natively the drive letter is what
    // makes the engine ask the drive at all (the OS layer ignores it when
    // opening); under Wine the fixtures already sit on drive Z:.
    static std::string OnDrive(const std::string& path) {
#ifdef _WIN32
        return path;
#else
        return "A:" + path;
#endif
    }

private:
    std::string label_;
    os::DriveProvider provider_;
};

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s.push_back(static_cast<char>(v));
    return s;
}

}  // namespace

TEST(Detect, PeerMadeArchivesGetTheirKinds) {
    const std::map<std::string, TArcType> expected = {
        {"plain.zip", atZip},        {"stored.zip", atZip},       {"comment.zip", atZip},
        {"encrypted.zip", atZip},    {"python.zip", atZip},       {"7z.zip", atZip},
        {"zeros_prefixed.zip", atZip}, {"spanned.z01", atZip},   {"app.jar", atJar},
        {"APP2.JAR", atJar},         {"sfx.exe", atZipExe},       {"sfx_unadjusted.exe", atZipExe},
        {"sfx_15770.exe", atZipExe}, {"stub_0050.exe", atUnknown}, {"hello.txt.gz", atGZip},
        {"named.gz", atGZip},        {"tarball.tar.gz", atGZip},  {"hello.txt.Z", atGZip},
        {"hello12.Z", atGZip},       {"about12.Z", atGZip},       {"v7.tar", atTar},
        {"ustar.tar", atTar},        {"gnu.tar", atTar},          {"posix.tar", atTar},
        {"bsd.tar", atTar},          {"labelled.tar", atTar},     {"plain.arj", atArj},
        {"volumes.arj", atArj},      {"volumes.a01", atArj},      {"sfx_arj.exe", atArjExe},
        {"sfx_arj_small.exe", atArjExe}, {"plain.arc", atArc},    {"stored.arc", atArc},
        {"squashed.arc", atArc},     {"plain.cab", atCab},        {"mszip.cab", atCab},
        {"hello.uue", atUue},        {"preamble.uue", atUue},     {"xx.xxe", atUue},
        {"late_begin.uue", atUnknown}, {"plain.lzh", atLha},      {"level0.lzh", atLha},
        {"level1.lzh", atLha},       {"plain.lha", atLha},        {"sevenz.7z", atUnknown},
        {"notarchive.txt", atUnknown}, {"empty.bin", atFileOpenErr}, {"short19.bin", atFileOpenErr},
        {"short20.bin", atGZip},
    };
    for (const auto& [name, kind] : expected) {
        Found f = Detect(Fixture(name));
        EXPECT_EQ(ArcTypeName(f.kind), ArcTypeName(kind)) << name;
    }
}

TEST(Detect, FirstHeaderPositions) {
    // Through the end record the position is the central directory's, as
    // stored (from 0); everything else counts from 1.
    std::string zip = ReadAll(Fixture("plain.zip"));
    ASSERT_GT(zip.size(), 22u);
    const uint8_t* end = reinterpret_cast<const uint8_t*>(zip.data()) + zip.size() - 22;
    int64_t central = end[16] | end[17] << 8 | end[18] << 16 | int64_t{end[19]} << 24;
    Found f = Detect(Fixture("plain.zip"));
    EXPECT_EQ(f.offset, central);
    EXPECT_EQ(f.flags, 0x19);

    f = Detect(Fixture("zeros_prefixed.zip"));  // offsets in its records are 16 off
    EXPECT_EQ(f.kind, atZip);
    EXPECT_EQ(f.offset, 16);
    EXPECT_EQ(f.flags & 0x10, 0x10);

    EXPECT_EQ(Detect(Fixture("sfx_unadjusted.exe")).offset, 20000);
    f = Detect(Fixture("sfx_15770.exe"));
    EXPECT_EQ(f.offset, 15770);
    EXPECT_EQ(f.flags, 0x10);
    EXPECT_EQ(Detect(Fixture("sfx_arj.exe")).offset, 20001);
    EXPECT_EQ(Detect(Fixture("sfx_arj_small.exe")).offset, 6001);
    EXPECT_EQ(Detect(Fixture("labelled.tar")).offset, 513);
    EXPECT_EQ(Detect(Fixture("ustar.tar")).offset, 1);
    EXPECT_EQ(Detect(Fixture("plain.arj")).offset, 1);
}

TEST(Detect, EmptyNameShortFilesAndMissingFiles) {
    TDovex d;
    d.SetArchiveFile("");
    EXPECT_EQ(d.ArcType(), atNA);
    d.SetArchiveFile(Join(ScratchDir("detect-missing"), "nothing-here.zip"));
    EXPECT_EQ(d.ArcType(), atFileOpenErr);
    EXPECT_EQ(d.ArcFileDate(), 29221);

    // 19 bytes are too few whatever they hold; 20 are classified.
    std::string dir = ScratchDir("detect-short");
    std::string zip = ReadAll(Fixture("stored.zip"));
    WriteAll(Join(dir, "a19.zip"), zip.substr(0, 19));
    WriteAll(Join(dir, "a20.zip"), zip.substr(0, 20));
    EXPECT_EQ(Detect(Join(dir, "a19.zip")).kind, atFileOpenErr);
    EXPECT_EQ(Detect(Join(dir, "a20.zip")).kind, atZip);
}

TEST(Detect, JarByExtensionOnly) {
    std::string dir = ScratchDir("detect-jar");
    std::string zip = ReadAll(Fixture("plain.zip"));
    WriteAll(Join(dir, "x.zip"), zip);
    WriteAll(Join(dir, "x.Jar"), zip);
    EXPECT_EQ(Detect(Join(dir, "x.zip")).kind, atZip);
    EXPECT_EQ(Detect(Join(dir, "x.Jar")).kind, atJar);
}

TEST(Detect, ValidKindsKeepTheFileDate) {
    TDovex d;
    d.SetArchiveFile(Fixture("plain.zip"));
    EXPECT_NE(d.ArcFileDate(), 29221);
    EXPECT_GT(d.ArcFileDate(), 0x00210000);  // after 1980-01-01
}

TEST(Detect, SpannedSetsOnRemovableDisks) {
    // On a fixed disk the first part of a split set is just a ZIP; on a
    // floppy it is one disk of a spanned set, and so is a disk holding only
    // the end of the set.
    EXPECT_EQ(Detect(Fixture("spanned.z01")).kind, atZip);
    RemovableDrive floppy("PKBACK# 002");
    EXPECT_EQ(Detect(RemovableDrive::OnDrive(Fixture("spanned.z01"))).kind, atZipMV);
    EXPECT_EQ(Detect(RemovableDrive::OnDrive(Fixture("spanned.zip"))).kind, atZipMV);
    // A whole archive on a floppy stays a ZIP: its end record is there.
    EXPECT_EQ(Detect(RemovableDrive::OnDrive(Fixture("plain.zip"))).kind, atZip);
}

TEST(Detect, ExecutableStubs) {
    std::string dir = ScratchDir("detect-stubs");
    std::string stub = ReadAll(Fixture("sfx.exe")).substr(0, 20000);
    ASSERT_EQ(stub.size(), 20000u);

    // A cabinet behind a stub is known but not handled there.
    std::string cab = "MSCF" + std::string(60, '\0');
    WriteAll(Join(dir, "cab.exe"), stub + cab);
    EXPECT_EQ(Detect(Join(dir, "cab.exe")).kind, atUnsupported);

    // 0x0050 at offset 2 marks a program that is never an archive.
    std::string zip = ReadAll(Fixture("stored.zip"));
    std::string marked = stub;
    marked[2] = 0x50;
    marked[3] = 0;
    WriteAll(Join(dir, "marked.exe"), marked + zip);
    EXPECT_EQ(Detect(Join(dir, "marked.exe")).kind, atUnknown);

    // Signatures the scan finds past 17000 bytes of stub.
    auto scanned = [&](const std::string& name, const std::string& payload) {
        std::string s = stub.substr(0, 18000);
        s[2] = 0; s[3] = 0; s[4] = 0; s[5] = 0;  // no image size to follow
        WriteAll(Join(dir, name), s + payload + std::string(64, '\0'));
        return Detect(Join(dir, name));
    };
    Found f = scanned("rar.exe", "Rar!" + Bytes({0x1A, 7, 0}));
    EXPECT_EQ(f.kind, atRarExe);
    EXPECT_EQ(f.offset, 18001);
    f = scanned("ace.exe", Bytes({0x12, 0x34, 0x20, 0, 0, 0, 0}) + "**ACE**");
    EXPECT_EQ(f.kind, atAceExe);
    EXPECT_EQ(f.offset, 18001);
    f = scanned("lha.exe", Bytes({0x20, 0x11}) + "-lh5-");
    EXPECT_EQ(f.kind, atLhaExe);
    EXPECT_EQ(f.offset, 18001);
    f = scanned("bh.exe", Bytes({0x42, 0x48, 0x05, 0x07, 1, 2, 3, 4}));
    EXPECT_EQ(f.kind, atBhExe);
    EXPECT_EQ(f.offset, 18001);

    // An ARJ header is taken only whole, with its CRC: the same two bytes in
    // a program's code leave the search to go on to the ZIP behind it.
    const std::string basic = Bytes({0x1E, 0x0B, 0x01, 0x02, 0x00, 0x02}) + std::string(24, 'x');
    uint32_t crc = 0xFFFFFFFF;
    Crc32Block(basic.data(), basic.size(), crc);
    crc = ~crc;
    const std::string arj = Bytes({0x60, 0xEA, static_cast<uint8_t>(basic.size()), 0}) + basic +
                            Bytes({static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8),
                                   static_cast<uint8_t>(crc >> 16), static_cast<uint8_t>(crc >> 24)});
    f = scanned("arj.exe", arj);
    EXPECT_EQ(f.kind, atArjExe);
    EXPECT_EQ(f.offset, 18001);
    std::string code = arj;
    code[10] ^= 1;  // the header no longer matches its CRC
    f = scanned("code-then-zip.exe", code + zip);
    EXPECT_EQ(f.kind, atZipExe);
}

TEST(Detect, HandMadeHeadersOfKindsNoToolHereWrites) {
    std::string dir = ScratchDir("detect-handmade");
    auto kindOf = [&](const std::string& name, const std::string& head) {
        WriteAll(Join(dir, name), head + std::string(64, '\x01'));
        return Detect(Join(dir, name)).kind;
    };
    EXPECT_EQ(kindOf("a.rar", "Rar!" + Bytes({0x1A, 7, 0, 0xCF, 0x90, 0x73})), atRar);
    EXPECT_EQ(kindOf("a.ace", Bytes({0x12, 0x34, 0x20, 0, 0, 0, 0}) + "**ACE**"), atACE);
    EXPECT_EQ(kindOf("a.ha", "HA" + Bytes({1, 0})), atHa);
    EXPECT_EQ(kindOf("a.zoo", "ZOO 2.10 Archive." + Bytes({0x1A, 0, 0, 0xDC, 0xA7, 0xC4, 0xFD})), atZoo);
    EXPECT_EQ(kindOf("a.bh", Bytes({0x42, 0x48, 0x05, 0x07})), atBh);
    EXPECT_EQ(kindOf("a.msgz", Bytes({0x13, 0x5D, 0x65, 0x8C})), atMsGZ);
    EXPECT_EQ(kindOf("a.pak", Bytes({0x1A, 0x0A}) + "HELLO.TXT" + std::string(4, '\0')), atPak);
    EXPECT_EQ(kindOf("a.cab", "MSCF" + std::string(4, '\0')), atCab);
    // An ARC archive whose first member is squeezed: recognised by a sound
    // header, not by the method byte alone.
    std::string arcHead = Bytes({0x1A, 0x04}) + "HELLO.TXT" + std::string(4, '\0') + Bytes({10, 0, 0, 0});
    EXPECT_EQ(kindOf("sq.arc", arcHead), atArc);
    EXPECT_EQ(kindOf("junk.arc", Bytes({0x1A, 0x04, 0x01, 0x02, 0x03})), atUnknown);
}

TEST(Detect, VolumeNumbersFromExtensions) {
    std::string dir = ScratchDir("detect-volumes");
    std::string rar = "Rar!" + Bytes({0x1A, 7, 0}) + std::string(40, '\x01');
    std::string arj = ReadAll(Fixture("plain.arj"));
    struct Case {
        std::string name;
        const std::string* bytes;
        int number;
        char letter;
    } cases[] = {
        {"x.r05", &rar, 6, 'r'}, {"x.rar", &rar, 0, 'q'}, {"x.r99", &rar, 100, 'r'},
        {"x.a01", &arj, 2, 'a'}, {"x.arj", &arj, 1, 'a'}, {"x.123456789012", &arj, 100000000, '1'},
    };
    for (const Case& c : cases) {
        WriteAll(Join(dir, c.name), *c.bytes);
        TDovex d;
        d.SetArchiveFile(Join(dir, c.name));
        EXPECT_EQ(d.VolumeNumber(), c.number) << c.name;
        EXPECT_EQ(d.VolumeLetter(), c.letter) << c.name;
    }
    TDovex zip;  // other kinds carry no volume number
    zip.SetArchiveFile(Fixture("plain.zip"));
    EXPECT_EQ(zip.VolumeNumber(), 0);
}

TEST(Detect, EveryCorpusFileIsClassifiedWithoutHarm) {
    BRAMBLE_NEED_CORPUS();
    // The corpus holds real archives of every kind, also deliberately broken
    // ones: each must end as some kind, and the common extensions as theirs.
    std::map<std::string, int> byKind;
    std::function<void(const std::string&)> walk = [&](const std::string& dir) {
        os::Finder finder;
        os::FindData fd;
        for (int rc = finder.First(Join(dir, "*"), fd); rc == 0; rc = finder.Next(fd)) {
            if (fd.name == "." || fd.name == "..") continue;
            std::string path = Join(dir, fd.name);
            if (fd.attributes & os::faDirectory) {
                walk(path);
                continue;
            }
            Found f = Detect(path);
            byKind[ArcTypeName(f.kind)]++;
            std::string ext = fd.name.substr(fd.name.find_last_of('.') == std::string::npos
                                                 ? fd.name.size()
                                                 : fd.name.find_last_of('.'));
            for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            // Deliberately broken files, and files too short to be told
            // apart from noise, are only required not to do harm. So are
            // archives with junk in front that shifts every recorded offset.
            if (fd.name.rfind("test_fuzz", 0) == 0 || fd.name.find("negative") != std::string::npos ||
                fd.name.find("padded") != std::string::npos || fd.size <= 19)
                continue;
            if (ext == ".zip" || ext == ".jar") {
                EXPECT_TRUE(f.kind == atZip || f.kind == atJar || f.kind == atZipExe) << path;
            } else if (ext == ".tar") {
                EXPECT_EQ(ArcTypeName(f.kind), ArcTypeName(atTar)) << path;
            } else if (ext == ".gz" || ext == ".tgz" || ext == ".z") {
                EXPECT_EQ(ArcTypeName(f.kind), ArcTypeName(atGZip)) << path;
            } else if (ext == ".cab") {
                EXPECT_EQ(ArcTypeName(f.kind), ArcTypeName(atCab)) << path;
            } else if (ext == ".arj") {
                EXPECT_EQ(ArcTypeName(f.kind), ArcTypeName(atArj)) << path;
            } else if (ext == ".lzh" || ext == ".lha") {
                EXPECT_TRUE(f.kind == atLha) << path << " " << ArcTypeName(f.kind);
            }
        }
    };
    walk(CorpusDir());
    EXPECT_GT(byKind.size(), 8u);
}
