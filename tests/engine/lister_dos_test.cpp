// The lister's own header walks (LHA, BH, ARJ, ARC/PAK, ZOO, HA, RAR, ACE):
// listings of real archives against what the peer tools list (written next
// to the fixtures by make-fixtures), and hand-made headers for the kinds no
// tool here writes and for damaged input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/lister/dovex.h"
#include "engine/core/crc.h"
#include "engine/core/exception.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "support/testenv.h"

namespace bramble {
namespace {

using test::CorpusAbsent;
using test::CorpusDir;
using test::CorpusPresent;
using test::FixturesDir;
using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

struct Row {
    std::string name;  // '/' separators
    int64_t size = 0;
    int64_t packed = 0;
    TEntryInfo info;
};

struct Listing {
    TArcType kind = atNA;
    std::vector<Row> rows;
    int fileCount = 0;
    bool raised = false;
    int volumesAsked = 0;
};

bool IsMyKind(TArcType t) {
    switch (t) {
        case atLha: case atLhaExe: case atLzh: case atLzhExe: case atBh: case atBhExe: case atArj:
        case atArjExe: case atArc: case atArcExe: case atPak: case atPakExe: case atZoo: case atHa:
        case atRar: case atRarExe: case atACE: case atAceExe: return true;
        default: return false;
    }
}

// The next volume of a set named NAME.partN.rar (any digit count).
std::string NextPartName(const std::string& current) {
    std::string lower = current;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t part = lower.rfind(".part");
    size_t dot = lower.rfind(".rar");
    if (part == std::string::npos || dot == std::string::npos || dot <= part + 5) return {};
    std::string digits = current.substr(part + 5, dot - part - 5);
    if (!IsDigits(digits)) return {};
    std::string next = std::to_string(std::stoi(digits) + 1);
    while (next.size() < digits.size()) next = "0" + next;
    return current.substr(0, part + 5) + next + current.substr(dot);
}

Listing List(const std::string& path, bool showDirs = false, std::vector<std::string> spec = {"*.*"}) {
    Listing out;
    TDovex d;
    d.SetArchiveFile(path);
    out.kind = d.ArcType();
    d.SetFileSpec(spec);
    d.SetShowBlankDirs(showDirs);
    std::string current = path;
    d.OnNextVolume = [&](TObject*, std::string& name, const std::string&, bool exists, bool& cancel) {
        ++out.volumesAsked;
        if (!exists) {
            std::string next = NextPartName(current);
            if (!next.empty() && os::FileExists(next)) name = next;
        }
        if (os::FileExists(name)) {
            cancel = false;
            current = name;
        }
    };
    d.OnRead = [&](TObject*, int, int) {
        Row r;
        r.name = BackslashToSlash(d.EntryInfo.FileName);
        r.size = d.EntryInfo.UnpackedSize;
        r.packed = d.EntryInfo.PackedSize;
        r.info = d.EntryInfo;
        out.rows.push_back(r);
    };
    try {
        d.ReadArchive();
    } catch (const E_RAISE&) {
        out.raised = true;
    }
    out.fileCount = d.FileCount();
    return out;
}

// ---- peer listings ------------------------------------------------------------------

struct PeerRow {
    std::string name;
    int64_t size = 0;
    int64_t packed = -1;
};

// NAME<TAB>SIZE<TAB>PACKED<TAB>KIND lines; folders and empty names left out.
std::vector<PeerRow> ReadPeer(const std::string& file) {
    std::vector<PeerRow> rows;
    std::string text = ReadAll(file);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        std::vector<std::string> f;
        size_t s = 0;
        for (size_t t; (t = line.find('\t', s)) != std::string::npos; s = t + 1) f.push_back(line.substr(s, t - s));
        f.push_back(line.substr(s));
        if (f.size() < 4 || f[3] == "d" || f[0].empty() || f[0].back() == '/') continue;
        PeerRow r;
        r.name = f[0];
        r.size = std::stoll(f[1]);
        r.packed = f[2] == "-" ? -1 : std::stoll(f[2]);
        rows.push_back(r);
    }
    return rows;
}

// Names the peers print as they are: ASCII without the '?' they put for
// characters they cannot show.
bool Ascii(const std::string& s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) {
                           unsigned char u = static_cast<unsigned char>(c);
                           return u >= 0x20 && u < 0x7F && u != '?';
                       });
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Empty when the listing agrees with the peer's, name for name (ASCII names;
// lhasa lower-cases DOS names, so without case) and size for size.
std::string Disagreement(const Listing& ours, const std::vector<PeerRow>& peer, bool comparePacked) {
    if (ours.rows.size() != peer.size())
        return "entries " + std::to_string(ours.rows.size()) + " vs " + std::to_string(peer.size());
    for (size_t i = 0; i < peer.size(); ++i) {
        const Row& o = ours.rows[i];
        const PeerRow& p = peer[i];
        if (Ascii(o.name) && Ascii(p.name) && Lower(o.name) != Lower(p.name))
            return "name " + o.name + " vs " + p.name;
        if (o.size != p.size) return o.name + ": size " + std::to_string(o.size) + " vs " + std::to_string(p.size);
        if (comparePacked && p.packed >= 0 && o.packed != p.packed)
            return o.name + ": packed " + std::to_string(o.packed) + " vs " + std::to_string(p.packed);
    }
    return {};
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Every file under dir, as paths relative to it with '/' between parts.
void Walk(const std::string& dir, const std::string& rel, std::vector<std::string>& out) {
    os::Finder finder;
    os::FindData fd;
    for (int rc = finder.First(Join(dir, "*"), fd); rc == 0; rc = finder.Next(fd)) {
        if (fd.name == "." || fd.name == "..") continue;
        std::string r = rel.empty() ? fd.name : rel + "/" + fd.name;
        if (fd.attributes & os::faDirectory)
            Walk(Join(dir, fd.name), r, out);
        else
            out.push_back(r);
    }
    finder.Close();
}

std::string Native(const std::string& root, const std::string& rel) {
    std::string path = root;
    size_t s = 0;
    for (size_t t; (t = rel.find('/', s)) != std::string::npos; s = t + 1) path = Join(path, rel.substr(s, t - s));
    return Join(path, rel.substr(s));
}

// Archives the comparison leaves out, with the reason.
const std::map<std::string, std::string>& Excluded() {
    static const std::map<std::string, std::string> m = {
        // Header level 3 is not read (the walk stops at such a header).
        {"lha/lha_os2_208/h3_lfn.lzh", "level 3"},
        {"lha/lha_os2_208/h3_lh0.lzh", "level 3"},
        {"lha/lha_os2_208/h3_lh5.lzh", "level 3"},
        {"lha/lha_os2_208/h3_subdir.lzh", "level 3"},
        {"libarchive/test_read_format_lha_header3.lzh", "level 3"},
        // Deliberately malformed RAR test archives that lsar repairs.
        {"libarchive/test_read_format_rar_overflow.rar", "no main header"},
        {"libarchive/test_read_format_rar_symlink_huge.rar", "malformed"},
        {"libarchive/test_read_format_rar_ppmd_use_after_free.rar", "malformed"},
        {"libarchive/test_read_format_rar_ppmd_use_after_free2.rar", "malformed"},
        {"libarchive/test_read_format_rar_seek_data_cursor0.rar", "two markers"},
        // RAR format 5 is not walked.
        {"misc/patool-p.rar", "format 5"},
        // Detection takes a "-lhd-" text in the program stub for the first
        // header.
        {"lha/explzh_723/declha_sfx_ansi.exe", "detection"},
        {"lha/explzh_723/declha_sfx_unicode.exe", "detection"},
    };
    return m;
}

TEST(ListerDosPeers, ListingsAgreeWithLhaLhasaAndLsarOnCorpusAndFixtures) {
    const std::string peers = Join(FixturesDir(), "peers");
    std::vector<std::string> files;
    Walk(peers, "", files);
    // archive (root, rel) -> listing files of its peers
    std::map<std::pair<std::string, std::string>, std::vector<std::string>> byArchive;
    for (const std::string& f : files) {
        std::string rel = f, root = FixturesDir();
        bool corpus = rel.rfind("corpus/", 0) == 0;
        if (corpus) {
            rel = rel.substr(7);
            root = CorpusDir();
        }
        std::string archive;
        if (EndsWith(rel, ".lhasa.tsv"))
            archive = rel.substr(0, rel.size() - 10);
        else if (EndsWith(rel, ".lha.tsv"))
            archive = rel.substr(0, rel.size() - 8);
        else if (EndsWith(Lower(rel), ".tsv")) {
            archive = rel.substr(0, rel.size() - 4);
            std::string ext = Lower(archive.substr(archive.find_last_of('.') + 1));
            if (ext != "arj" && ext != "arc" && ext != "zoo" && ext != "rar" && ext != "exe" && ext != "a01")
                continue;  // the other lister's kinds
        } else {
            continue;
        }
        if (archive == "volumes.a01") continue;  // summed into volumes.arj below
        byArchive[{root, archive}].push_back(Join(peers, "") + f);
    }
    const bool corpus = CorpusPresent();
    ASSERT_GT(byArchive.size(), corpus ? 230u : 8u) << "peer listings missing in " << peers;

    int compared = 0, lhaCompared = 0, rarVolumeSets = 0;
    for (const auto& [key, peerFiles] : byArchive) {
        const auto& [root, rel] = key;
        if (Excluded().count(rel)) continue;
        const std::string path = Native(root, rel);
        Listing ours = List(path);
        // Detection decides the kind; archives it does not give to these
        // walks (PMA, some self-extractors) are not theirs to list.
        if (!IsMyKind(ours.kind)) continue;
        EXPECT_FALSE(ours.raised) << rel;

        bool lha = false;
        std::vector<std::string> why;
        bool agreed = false;
        for (const std::string& pf : peerFiles) {
            std::vector<PeerRow> peer = ReadPeer(pf);
            bool lhaPeer = EndsWith(pf, ".lha.tsv") || EndsWith(pf, ".lhasa.tsv");
            lha = lha || lhaPeer;
            if (rel == "volumes.arj") {
                // The split entry is listed once with the sizes of both parts.
                std::vector<PeerRow> second = ReadPeer(Join(peers, "volumes.a01.tsv"));
                for (const PeerRow& p : second) {
                    auto same = std::find_if(peer.begin(), peer.end(), [&](const PeerRow& q) { return q.name == p.name; });
                    if (same != peer.end()) {
                        same->size += p.size;
                        same->packed += p.packed;
                    } else {
                        peer.push_back(p);
                    }
                }
            }
            std::string d = Disagreement(ours, peer, !lhaPeer);
            if (d.empty()) agreed = true;
            why.push_back(pf + ": " + d);
        }
        std::string all;
        for (const std::string& w : why) all += "\n  " + w;
        EXPECT_TRUE(agreed) << rel << all;
        ++compared;
        if (lha) ++lhaCompared;
        if (NextPartName(path) != "") ++rarVolumeSets;
    }
    if (!corpus) GTEST_SKIP() << "compared the fixtures only: " << CorpusAbsent();
    EXPECT_GT(lhaCompared, 190);
    EXPECT_GT(compared - lhaCompared, 30);
    EXPECT_GE(rarVolumeSets, 4);
}

TEST(ListerDosPeers, SplitArjEntryIsListedOnceAndARefusedVolumeEndsQuietly) {
    const std::string path = Join(FixturesDir(), "volumes.arj");
    Listing set = List(path);
    ASSERT_EQ(set.rows.size(), 2u);
    EXPECT_EQ(set.rows[0].name, "big.bin");
    EXPECT_EQ(set.rows[0].size, 102400);
    EXPECT_EQ(set.rows[1].name, "hello.txt");
    EXPECT_EQ(set.volumesAsked, 1);
    EXPECT_EQ(set.fileCount, 2);

    // Without anyone to answer for the next volume the walk stops where the
    // set goes on, without an error.
    TDovex d;
    d.SetArchiveFile(path);
    d.SetFileSpec({"*.*"});
    int listed = 0, errors = 0;
    d.OnRead = [&](TObject*, int, int) { ++listed; };
    d.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int) { ++errors; };
    EXPECT_NO_THROW(d.ReadArchive());
    EXPECT_EQ(listed, 0);
    EXPECT_EQ(errors, 0);

    // A second run numbers the volumes from the start again.
    Listing again = List(path);
    EXPECT_EQ(again.rows.size(), 2u);
}

TEST(ListerDosPeers, OldStyleRarVolumesFollowFromRarToR00AndR01) {
    BRAMBLE_NEED_CORPUS();
    // The libarchive set renamed the way older RAR versions name volumes.
    std::string dir = ScratchDir("lister_rar_volumes");
    const char* parts[] = {"set.rar", "set.r00", "set.r01"};
    for (int i = 0; i < 3; ++i)
        WriteAll(Join(dir, parts[i]),
                 ReadAll(Native(CorpusDir(), "libarchive/test_rar_multivolume_single_file.part" +
                                                 std::to_string(i + 1) + ".rar")));
    Listing l = List(Join(dir, "set.rar"));
    ASSERT_EQ(l.kind, atRar);
    ASSERT_EQ(l.rows.size(), 1u);
    EXPECT_EQ(l.rows[0].name, "LibarchiveAddingTest.html");
    EXPECT_EQ(l.rows[0].size, 20111);
    int64_t packed = 0;
    for (int i = 0; i < 3; ++i) packed += static_cast<int64_t>(ReadAll(Join(dir, parts[i])).size());
    EXPECT_GT(l.rows[0].packed, 20111 / 2);
    EXPECT_LT(l.rows[0].packed, packed);
    EXPECT_EQ(l.volumesAsked, 2);
}

// ---- hand-made archives ------------------------------------------------------------

void Put16(std::string& s, size_t at, uint32_t v) {
    if (s.size() < at + 2) s.resize(at + 2);
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, size_t at, uint32_t v) {
    Put16(s, at, v & 0xFFFF);
    Put16(s, at + 2, v >> 16);
}
std::string Le16(uint32_t v) {
    std::string s;
    Put16(s, 0, v);
    return s;
}
std::string Le32(uint32_t v) {
    std::string s;
    Put32(s, 0, v);
    return s;
}

std::string Stamp(TDateTime t) {
    int y, mo, d, h, mi, se;
    DecodeDateTime(t, y, mo, d, h, mi, se);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, se);
    return buf;
}

constexpr uint32_t kDos2001 = (21u << 25) | (2u << 21) | (3u << 16) | (4u << 11) | (5u << 5) | 3u;

std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = Join(ScratchDir("lister_dos"), name);
    WriteAll(path, bytes);
    return path;
}

std::string BhEntry(const std::string& name, const std::string& data, uint8_t flags, uint8_t method) {
    std::string h(37, '\0');
    Put32(h, 0, 0x07054842);
    Put16(h, 4, 37 + static_cast<uint32_t>(name.size()));
    h[6] = 37;
    h[7] = 20;
    h[8] = 10;
    h[9] = static_cast<char>(flags);
    h[10] = static_cast<char>(method);
    Put32(h, 11, kDos2001);
    Put32(h, 15, static_cast<uint32_t>(data.size()));
    Put32(h, 19, 1000);
    Put32(h, 23, 0xCAFEBABE);
    Put16(h, 27, 0x21);
    Put16(h, 33, static_cast<uint32_t>(name.size()));
    return h + name + data;
}

TEST(ListerDosHandMade, BhEntriesGiveTheirFieldsAndAZeroSizeHeaderIsPassedOver) {
    std::string hidden = BhEntry("HIDDEN.TXT", "xyz", 0, 0);
    Put16(hidden, 4, 0);
    std::string bytes = BhEntry("DOCS\\A.TXT", std::string(100, 'a'), 0x07, 8) + hidden +
                        BhEntry("B.TXT", std::string(12 + 5, 'b'), 0x00, 1);
    Listing l = List(Write("two.bh", bytes));
    ASSERT_EQ(l.kind, atBh);
    ASSERT_EQ(l.rows.size(), 2u);
    const TEntryInfo& a = l.rows[0].info;
    EXPECT_EQ(a.FileName, "DOCS\\A.TXT");
    EXPECT_TRUE(a.Encrypted);
    EXPECT_EQ(a.MethodCode, 8);
    EXPECT_EQ(a.MethodName, "DeflateS");
    EXPECT_EQ(a.PackedSize, 100);
    EXPECT_EQ(a.UnpackedSize, 1000);
    EXPECT_EQ(a.CRC, 0xCAFEBABEu);
    EXPECT_EQ(a.VersionMadeBy, 20);
    EXPECT_EQ(a.VersionNeeded, 10);
    EXPECT_EQ(a.Attr, 0x21);
    EXPECT_EQ(Stamp(a.DateTime), "2001-02-03 04:05:06");
    EXPECT_EQ(l.rows[1].info.FileName, "B.TXT");
    EXPECT_EQ(l.rows[1].info.MethodName, "Fused");
}


// ZOO: archive header, then a chain of 58-byte entries with a variable part.
std::string ZooArchive(const std::vector<std::string>& entries) {
    std::string a = "ZOO 2.10 Archive.\x1a";
    a.resize(20, '\0');
    a += Le32(0xFDC4A7DC) + Le32(42) + Le32(static_cast<uint32_t>(-42)) + "\x02\x01\x01";
    a.resize(42, '\0');
    for (const std::string& e : entries) a += e;
    return a;
}

std::string ZooEntry(uint32_t next, const std::string& shortName, const std::string& dir, uint32_t size,
                     uint8_t deleted = 0, const std::string& longName = "") {
    std::string e(58, '\0');
    Put32(e, 0, 0xFDC4A7DC);
    e[4] = 2;
    e[5] = 1;
    Put32(e, 6, next);
    Put32(e, 14, SwapWords(kDos2001));
    Put16(e, 18, 0x1234);
    Put32(e, 20, size);
    Put32(e, 24, size / 2);
    e[28] = 2;
    e[29] = 1;
    e[30] = static_cast<char>(deleted);
    for (size_t i = 0; i < shortName.size() && i < 12; ++i) e[38 + i] = shortName[i];
    Put16(e, 51, static_cast<uint32_t>(longName.size() + dir.size() + 2));
    e[56] = static_cast<char>(longName.size());
    e[57] = static_cast<char>(dir.size());
    return e + longName + dir;
}

TEST(ListerDosHandMade, ZooChainListsForwardAndEndsAtABackOrSelfPointer) {
    // Entries at 42, 42+58+8=108, ...: docs/old + A.TXT, then B.TXT, then
    // the empty end entry.
    std::string e1 = ZooEntry(108, "A.TXT", "docs/old", 100);
    ASSERT_EQ(42 + e1.size(), 108u);
    std::string e2 = ZooEntry(166, "B.TXT", "", 50);
    std::string end = ZooEntry(0, "", "", 0);
    Listing l = List(Write("chain.zoo", ZooArchive({e1, e2, end})));
    ASSERT_EQ(l.kind, atZoo);
    ASSERT_EQ(l.rows.size(), 2u);
    EXPECT_EQ(l.rows[0].info.FileName, "docs\\old\\A.TXT");
    EXPECT_EQ(l.rows[0].info.CRC, 0x1234u);
    EXPECT_EQ(l.rows[0].info.PackedSize, 50);
    EXPECT_EQ(l.rows[0].info.MethodName, "Fastest");
    EXPECT_EQ(Stamp(l.rows[0].info.DateTime), "2001-02-03 04:05:06");
    EXPECT_EQ(l.rows[1].info.FileName, "B.TXT");

    // The second entry points back to the first, or to itself: each entry
    // is listed once and the walk ends.
    for (uint32_t target : {42u, 108u}) {
        std::string loop = ZooEntry(target, "B.TXT", "", 50);
        Listing bad = List(Write("loop.zoo", ZooArchive({e1, loop, end})));
        EXPECT_FALSE(bad.raised);
        ASSERT_EQ(bad.rows.size(), 2u) << target;
    }
    // A deleted entry is not listed; a long name wins over the short one.
    std::string del = ZooEntry(166, "GONE.TXT", "", 5, 1);
    std::string lng = ZooEntry(108, "LONGNA~1.TXT", "", 7, 0, "long name.txt");
    Listing mixed = List(Write("mixed.zoo", ZooArchive({lng, del, end})));
    ASSERT_EQ(mixed.rows.size(), 1u);
    EXPECT_EQ(mixed.rows[0].info.FileName, "long name.txt");

    // The first-entry offset and its negated copy must add up to 0.
    std::string broken = ZooArchive({e1, e2, end});
    Put32(broken, 28, 0);
    EXPECT_TRUE(List(Write("broken.zoo", broken)).rows.empty());
}

std::string HaEntry(uint8_t type, const std::string& path, const std::string& name, const std::string& data,
                    uint32_t size) {
    std::string h(17, '\0');
    h[0] = static_cast<char>(0x20 | type);
    Put32(h, 1, static_cast<uint32_t>(data.size()));
    Put32(h, 5, size);
    Put32(h, 9, 0xDEADBEEF);
    Put32(h, 13, 981173106);  // 2001-02-03 04:05:06 UTC
    return h + path + '\0' + name + '\0' + "\x01\x20" + data;
}

TEST(ListerDosHandMade, HaEntriesJoinPathAndNameAndKeepTheirStoredTime) {
    std::string bytes = std::string("HA") + Le16(3) + HaEntry(2, "", "A.TXT", "packed", 40) +
                        HaEntry(14, "", "SUB", "", 0) + HaEntry(0, std::string("SUB") + '\xff', "B.TXT", "bb", 2);
    Listing l = List(Write("three.ha", bytes));
    ASSERT_EQ(l.kind, atHa);
    ASSERT_EQ(l.rows.size(), 2u);
    EXPECT_EQ(l.rows[0].info.FileName, "A.TXT");
    EXPECT_EQ(l.rows[0].info.MethodName, "HSC");
    EXPECT_EQ(l.rows[0].info.PackedSize, 6);
    EXPECT_EQ(l.rows[0].info.UnpackedSize, 40);
    EXPECT_EQ(l.rows[0].info.CRC, 0xDEADBEEFu);
    EXPECT_EQ(l.rows[0].info.VersionMadeBy, 2);
    EXPECT_EQ(l.rows[0].info.DateTime, UnixToDateTime(981173106));
    EXPECT_EQ(l.rows[1].info.FileName, "SUB\\B.TXT");
    EXPECT_EQ(l.rows[1].info.MethodName, "Cpy");
    // The folder entry only on demand.
    Listing dirs = List(Write("three.ha", bytes), true);
    ASSERT_EQ(dirs.rows.size(), 3u);
    EXPECT_EQ(dirs.rows[1].info.FileName, "SUB");
    EXPECT_EQ(dirs.fileCount, 3);  // a listed folder counts, as every kind but ZIP has it
}

std::string AceMain(uint16_t flags = 0) {
    std::string body;
    body += '\0';  // type
    body += Le16(flags);
    body += "**ACE**";
    body += "\x14\x14\x02\x00";  // versions 20, host, volume number
    body += Le32(0) + std::string(8, '\0');
    body += "\x04" "ABCD";  // an authenticity text inside the header
    return Le16(0) + Le16(static_cast<uint32_t>(body.size())) + body;
}

std::string AceFile(const std::string& name, const std::string& data, uint32_t size, uint16_t flags,
                    uint32_t attr = 0x20) {
    std::string body;
    body += '\x01';
    body += Le16(flags | 0x0001);
    body += Le32(static_cast<uint32_t>(data.size())) + Le32(size) + Le32(kDos2001) + Le32(attr) + Le32(0x01020304);
    body += "\x01\x03" + Le16(0) + Le16(0) + Le16(static_cast<uint32_t>(name.size())) + name;
    return Le16(0) + Le16(static_cast<uint32_t>(body.size())) + body + data;
}

TEST(ListerDosHandMade, AceFilesListAcrossVolumesWithSummedPackedSizes) {
    std::string dir = ScratchDir("lister_ace");
    std::string first = Join(dir, "set.ace");
    WriteAll(first, AceMain(0x0800) + AceFile("A.TXT", "aaaa", 4, 0x4000) + AceFile("SUB", "", 0, 0, 0x10) +
                        AceFile("SUB\\BIG.BIN", std::string(10, 'x'), 25, 0x2000));
    // The volumes of an ACE set are named .c00, .c01, ...
    WriteAll(Join(dir, "set.C00"), AceMain(0x0800) + AceFile("SUB\\BIG.BIN", std::string(15, 'y'), 25, 0x1000) +
                                       AceFile("Z.TXT", "z", 1, 0));
    Listing l = List(first);
    ASSERT_EQ(l.kind, atACE);
    ASSERT_EQ(l.rows.size(), 3u);
    EXPECT_EQ(l.rows[0].info.FileName, "A.TXT");
    EXPECT_TRUE(l.rows[0].info.Encrypted);
    EXPECT_EQ(l.rows[0].info.CRC, 0x01020304u);
    EXPECT_EQ(l.rows[0].info.VersionMadeBy, 20);
    EXPECT_EQ(l.rows[0].info.MethodName, "Fast");
    EXPECT_EQ(l.rows[1].info.FileName, "SUB\\BIG.BIN");
    EXPECT_EQ(l.rows[1].packed, 25);
    EXPECT_EQ(l.rows[1].size, 25);
    EXPECT_EQ(l.rows[2].info.FileName, "Z.TXT");
    EXPECT_EQ(l.volumesAsked, 1);
}

// The first file header of an ARJ archive made a folder (file type 3), its
// header check value made anew.
std::string ArjFirstEntryAsFolder(std::string arj) {
    const size_t mainSize = static_cast<uint8_t>(arj[2]) | static_cast<uint8_t>(arj[3]) << 8;
    const size_t file = 4 + mainSize + 4 + 2;
    const size_t size = static_cast<uint8_t>(arj[file + 2]) | static_cast<uint8_t>(arj[file + 3]) << 8;
    arj[file + 4 + 6] = 3;
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = file + 4; i < file + 4 + size; ++i) crc = Crc32Step(crc, static_cast<uint8_t>(arj[i]));
    Put32(arj, file + 4 + size, ~crc);
    return arj;
}

// Every kind counts the folders it shows, as it counts its files; only ZIP
// folders are shown without being counted.
TEST(ListerDosHandMade, ShownFoldersAreCountedInEveryKindButZip) {
    struct Case {
        const char* what;
        std::string path;
        int files, withFolders;
    };
    const std::string dir = ScratchDir("lister_counted_dirs");
    const std::string ace = Join(dir, "dirs.ace");
    WriteAll(ace, AceMain() + AceFile("A.TXT", "aaaa", 4, 0) + AceFile("SUB", "", 0, 0, 0x10) +
                      AceFile("SUB\\B.TXT", "b", 1, 0));
    const std::string arj = Join(dir, "dirs.arj");
    WriteAll(arj, ArjFirstEntryAsFolder(ReadAll(Join(FixturesDir(), "plain.arj"))));
    const int arjFiles = static_cast<int>(List(Join(FixturesDir(), "plain.arj")).rows.size()) - 1;
    std::vector<Case> cases = {{"ace", ace, 2, 3}, {"arj", arj, arjFiles, arjFiles + 1}};
    if (CorpusPresent()) cases.push_back({"rar", Native(CorpusDir(), "libarchive/test_read_format_rar.rar"), 3, 5});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Listing files = List(c.path);
        EXPECT_EQ(files.fileCount, c.files);
        EXPECT_EQ(static_cast<int>(files.rows.size()), c.files);
        const Listing all = List(c.path, true);
        EXPECT_EQ(static_cast<int>(all.rows.size()), c.withFolders);
        EXPECT_EQ(all.fileCount, c.withFolders);
    }
}

std::string ArcEntry(uint8_t method, const std::string& name, const std::string& data, uint32_t size,
                     uint32_t dateTime = SwapWords(kDos2001)) {
    std::string h(29, '\0');
    h[0] = 0x1A;
    h[1] = static_cast<char>(method);
    for (size_t i = 0; i < name.size() && i < 12; ++i) h[2 + i] = name[i];
    Put32(h, 15, static_cast<uint32_t>(data.size()));
    Put32(h, 19, dateTime);
    Put16(h, 23, 0xBEEF);
    Put32(h, 25, size);
    if (method == 1) h.resize(25);  // the oldest stored entries have no size field
    return h + data;
}

TEST(ListerDosHandMade, PakFoldersPrefixTheirEntriesUntilTheEndMarker) {
    std::string bytes = ArcEntry(30, "DOCS", "", 0) + ArcEntry(8, "A.TXT", "aaa", 10) + ArcEntry(30, "OLD", "", 0) +
                        ArcEntry(2, "B.TXT", "bb", 2) + "\x1a\x1f" + "\x1a\x1f" + ArcEntry(1, "C.TXT", "ccc", 0) +
                        ArcEntry(9, "D.TXT", "d", 5, 0xFFFFFFFF) + "\x1a\x00";
    Listing l = List(Write("dirs.arc", bytes));
    ASSERT_EQ(l.kind, atArc);
    ASSERT_EQ(l.rows.size(), 4u);
    EXPECT_EQ(l.rows[0].info.FileName, "DOCS\\A.TXT");
    EXPECT_EQ(l.rows[0].info.MethodName, "Crunched");
    EXPECT_EQ(l.rows[0].info.CRC, 0xBEEFu);
    EXPECT_EQ(Stamp(l.rows[0].info.DateTime), "2001-02-03 04:05:06");
    EXPECT_EQ(l.rows[1].info.FileName, "DOCS\\OLD\\B.TXT");
    EXPECT_EQ(l.rows[2].info.FileName, "C.TXT");
    EXPECT_EQ(l.rows[2].size, 3);  // method 1: the packed size is the size
    EXPECT_EQ(l.rows[3].info.FileName, "D.TXT");  // an impossible date lists
    EXPECT_EQ(l.rows[3].info.MethodName, "Squashed");

    Listing dirs = List(Write("dirs.arc", bytes), true);
    ASSERT_EQ(dirs.rows.size(), 6u);
    EXPECT_EQ(dirs.rows[0].info.FileName, "DOCS\\");
    EXPECT_EQ(dirs.rows[0].info.Attr, 16);
    EXPECT_EQ(dirs.rows[2].info.FileName, "DOCS\\OLD\\");
    EXPECT_EQ(dirs.fileCount, 6);
}

// An LHA level-2 header: base, then extended headers (type, data) ended by
// a size of 0.
std::string Lha2(const std::string& method, const std::vector<std::pair<uint8_t, std::string>>& ext,
                 const std::string& data, uint32_t size, uint32_t unixTime) {
    std::string h(24, '\0');
    for (size_t i = 0; i < 5; ++i) h[2 + i] = method[i];
    Put32(h, 7, static_cast<uint32_t>(data.size()));
    Put32(h, 11, size);
    Put32(h, 15, unixTime);
    h[19] = 0x20;
    h[20] = 2;
    Put16(h, 21, 0x4321);
    h[23] = 'U';
    for (const auto& [type, body] : ext) {
        h += Le16(static_cast<uint32_t>(body.size() + 3));
        h += static_cast<char>(type);
        h += body;
    }
    h += Le16(0);
    Put16(h, 0, static_cast<uint32_t>(h.size()));
    return h + data;
}

std::string Lha0(const std::string& method, const std::string& name, const std::string& data, uint32_t size) {
    std::string h(22, '\0');
    for (size_t i = 0; i < 5; ++i) h[2 + i] = method[i];
    Put32(h, 7, static_cast<uint32_t>(data.size()));
    Put32(h, 11, size);
    Put32(h, 15, kDos2001);
    h[19] = 0x20;
    h[20] = 0;
    h[21] = static_cast<char>(name.size());
    h += name + Le16(0x1111);
    h[0] = static_cast<char>(h.size() - 2);
    return h + data;
}

TEST(ListerDosHandMade, LhaLevel2TakesNameDirectoryAndUnixTimeFromItsHeaders) {
    std::string bytes = Lha2("-lh5-", {{0x00, "\x12\x34"}, {0x01, "file.txt"}, {0x02, std::string("a\xff" "b\xff")}},
                             "12345", 20, 981173106) +
                        Lha2("-lhd-", {{0x02, "a/"}}, "", 0, 981173106) +
                        Lha0("-lh0-", std::string("OLD/NAME.TXT\0comment", 20), "xy", 2) +
                        Lha0("-lh6-", "B.TXT", "bigger than size", 4) + std::string(1, '\0');
    Listing l = List(Write("mixed.lzh", bytes));
    ASSERT_EQ(l.kind, atLha);
    ASSERT_EQ(l.rows.size(), 3u);
    EXPECT_EQ(l.rows[0].info.FileName, "a\\b\\file.txt");
    EXPECT_EQ(l.rows[0].info.DateTime, UnixToDateTime(981173106));
    EXPECT_EQ(l.rows[0].info.CRC, 0x4321u);
    EXPECT_EQ(l.rows[0].info.MethodName, "Frozen-5");
    EXPECT_EQ(l.rows[0].packed, 5);
    EXPECT_EQ(l.rows[1].info.FileName, "OLD\\NAME.TXT");
    EXPECT_EQ(Stamp(l.rows[1].info.DateTime), "2001-02-03 04:05:06");
    EXPECT_EQ(l.rows[1].info.CRC, 0x1111u);
    EXPECT_EQ(l.rows[2].info.MethodName, "Frozen-6");
    EXPECT_EQ(l.rows[2].packed, 4);  // the smaller of packed and size
    // A 128-byte prefix before the first header is skipped.
    Listing prefixed = List(Write("prefixed.lzh", std::string(128, '\0') + bytes));
    EXPECT_EQ(prefixed.rows.size(), 3u);
}

// ---- damaged input -----------------------------------------------------------------------

TEST(ListerDosDamaged, TruncatedArchivesEndCleanlyWithTheEntriesBeforeTheCut) {
    std::vector<std::string> sources = {"plain.lzh", "level0.lzh", "level1.lzh", "plain.arj", "plain.arc",
                                        "stored.arc", "squashed.arc"};
    if (CorpusPresent()) {
        for (const char* c : {"misc/patool-t.zoo", "misc/patool-t.ace", "misc/patool-t.rar",
                              "libarchive/test_read_format_rar.rar"})
            sources.push_back(std::string("corpus:") + c);
    }
    for (const std::string& s : sources) {
        std::string path = s.rfind("corpus:", 0) == 0 ? Native(CorpusDir(), s.substr(7)) : Join(FixturesDir(), s);
        std::string whole = ReadAll(path);
        ASSERT_FALSE(whole.empty()) << path;
        size_t full = List(path).rows.size();
        std::string ext = path.substr(path.find_last_of('.'));
        for (size_t cut = 20; cut < whole.size(); cut += std::max<size_t>(1, whole.size() / 97)) {
            Listing l = List(Write("cut" + ext, whole.substr(0, cut)));
            if (!IsMyKind(l.kind)) continue;
            // The first ARJ header itself cut short is the one raised error.
            EXPECT_TRUE(!l.raised || l.kind == atArj) << s << " cut at " << cut;
            EXPECT_LE(l.rows.size(), full) << s << " cut at " << cut;
        }
    }
    if (!CorpusPresent()) GTEST_SKIP() << "ZOO, ACE and RAR cuts: " << CorpusAbsent();
}

TEST(ListerDosDamaged, HugeStoredLengthsAreBoundedByTheHeaderAndTheFile) {
    // LHA level 0 whose name length runs past its header size.
    std::string lha = Lha0("-lh0-", "A.TXT", "x", 1);
    lha[21] = '\xff';
    Listing l = List(Write("longname.lzh", lha));
    EXPECT_FALSE(l.raised);
    EXPECT_LE(l.rows.size(), 1u);
    if (!l.rows.empty()) {
        EXPECT_LE(l.rows[0].info.FileName.size(), 255u);
    }

    // LHA level 2 with an extended header larger than the file.
    std::string big = Lha2("-lh0-", {{0x01, "a.txt"}}, "x", 1, 0);
    Put16(big, 24, 0xFFF0);
    EXPECT_FALSE(List(Write("bigext.lzh", big)).raised);

    // BH, ZOO, RAR and ACE names and sizes far beyond the file.
    std::string bh = BhEntry("A.TXT", "a", 0, 0);
    Put16(bh, 33, 0xFFFF);
    Put32(bh, 15, 0xFFFFFFFF);
    Listing b = List(Write("huge.bh", bh));
    EXPECT_FALSE(b.raised);
    EXPECT_TRUE(b.rows.empty());  // its name runs past the end of the file

    std::string zoo = ZooArchive({ZooEntry(0x7FFFFFFF, "A.TXT", std::string(200, 'd'), 1), ZooEntry(0, "", "", 0)});
    zoo.resize(zoo.size() - 150);
    EXPECT_FALSE(List(Write("huge.zoo", zoo)).raised);

    std::string ace = AceMain() + AceFile("A.TXT", "a", 1, 0);
    Put16(ace, AceMain().size() + 33, 0xFFFF);
    Put16(ace, AceMain().size() + 2, 0xFFFF);
    EXPECT_FALSE(List(Write("huge.ace", ace)).raised);

    if (!CorpusPresent()) GTEST_SKIP() << "the RAR case: " << CorpusAbsent();
    std::string rar = ReadAll(Native(CorpusDir(), "misc/patool-t.rar"));
    ASSERT_GT(rar.size(), 60u);
    // The first file block's name size and packed size set to their maximum.
    size_t file = 7 + static_cast<unsigned char>(rar[12]);
    Put16(rar, file + 26, 0xFFFF);
    Put32(rar, file + 7, 0xFFFFFFFF);
    EXPECT_FALSE(List(Write("huge.rar", rar)).raised);
}

}  // namespace
}  // namespace bramble
