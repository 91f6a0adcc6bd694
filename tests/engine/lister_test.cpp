// The lister's ZIP, TAR, gzip/compress, UUE, cabinet and MsGZ walks:
// listings compared with what the peer tools list for the same archives
// (made at test time and from the shared corpus), the events and filters
// around every entry, and hand-made headers for the cases no tool writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/formats/zip.h"
#include "support/testenv.h"

using namespace bramble;
using namespace bramble::test;

namespace {

struct Listed {
    TEntryInfo info;
    int offset = 0;
    int filenum = 0;
};

struct Listing {
    std::vector<Listed> entries;
    std::vector<int> errors;
    std::vector<std::string> events;
    int totals = -1;  // OnTotals' count, -1 when it did not fire
    int fileCount = 0;
    int raised = 0;   // id of a raised E_RAISE
    bool cancel = false;
};

using ListSetup = std::function<void(TDovex&)>;

// Lists an archive with "*.*" unless the setup changes it; every event is
// written down.
Listing List(const std::string& path, const ListSetup& setup = {}) {
    Listing l;
    TDovex d;
    d.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        l.errors.push_back(code);
    };
    d.SetArchiveFile(path);
    d.SetFileSpec({"*.*"});
    d.OnReadFile = [&](TObject*, const std::string& name) { l.events.push_back("file " + name); };
    d.OnReadBegin = [&](TObject*) { l.events.push_back("begin"); };
    d.OnRead = [&](TObject*, int offset, int filenum) {
        l.events.push_back("read " + std::to_string(filenum));
        l.entries.push_back({d.EntryInfo, offset, filenum});
    };
    d.OnReadEnd = [&](TObject*) { l.events.push_back("end"); };
    d.OnTotals = [&](TObject*, int n) {
        l.events.push_back("totals " + std::to_string(n));
        l.totals = n;
    };
    if (setup) setup(d);
    try {
        d.ReadArchive();
    } catch (const E_RAISE& e) {
        l.raised = e.Code();
    }
    l.fileCount = d.FileCount();
    l.cancel = d.Cancel();
    return l;
}

std::vector<std::string> Names(const Listing& l) {
    std::vector<std::string> out;
    for (const auto& e : l.entries) out.push_back(e.info.FileName);
    return out;
}

std::string Fixture(const std::string& name) { return Join(FixturesDir(), name); }

// Accepts every next volume that exists, as a user who has all of them.
void AcceptVolumes(TDovex& d) {
    d.OnNextVolume = [](TObject*, std::string& name, const std::string&, bool exists, bool& cancel) {
        cancel = !exists;
    };
}

void Put16(std::string& s, size_t at, uint16_t v) {
    if (s.size() < at + 2) s.resize(at + 2);
    s[at] = static_cast<char>(v);
    s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& s, size_t at, uint32_t v) {
    Put16(s, at, static_cast<uint16_t>(v));
    Put16(s, at + 2, static_cast<uint16_t>(v >> 16));
}

// ---- peer listings ---------------------------------------------------------------

struct PeerRow {
    std::string name, size, packed;
    char kind = 'f';
};

std::vector<PeerRow> ReadPeerListing(const std::string& path) {
    std::vector<PeerRow> rows;
    std::istringstream in(ReadAll(path));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        size_t start = 0;
        for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            f.push_back(line.substr(start, tab - start));
        f.push_back(line.substr(start));
        if (f.size() != 4) continue;
        rows.push_back({f[0], f[1], f[2], f[3].empty() ? 'l' : f[3][0]});
    }
    return rows;
}

std::vector<std::string> FilesIn(const std::string& dir, const std::string& pattern) {
    std::vector<std::string> out;
    os::Finder finder;
    os::FindData fd;
    for (int rc = finder.First(Join(dir, pattern), fd); rc == 0; rc = finder.Next(fd))
        if (!(fd.attributes & os::faDirectory)) out.push_back(fd.name);
    std::sort(out.begin(), out.end());
    return out;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Names the engine and the peers can be held to byte for byte: plain ASCII
// (the peers print other bytes in code pages of their own), and for TAR only
// what fits the header's 100-byte name field, which is all the lister reads.
bool PlainAscii(const std::string& name) {
    return std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}
bool ComparableName(const std::string& peer, const std::string& ours, bool tar) {
    if (tar && peer.size() > 99) return false;
    // "#U8868": a character the peer could not print either.
    if (peer.find("#U") != std::string::npos) return false;
    return PlainAscii(peer) && PlainAscii(ours);
}

// The kinds whose walks these tests hold to the peers; the peer listings of
// other kinds sit in the same folder.
bool ListedKind(const std::string& archive) {
    const std::string lower = Lower(archive);
    for (const char* ext : {".zip", ".jar", ".tar", ".gz", ".tgz", ".z", ".cab"})
        if (EndsWith(lower, ext)) return true;
    return false;
}

// Compares the lister's listing of an archive with a peer's, entry by entry
// in archive order: names (where comparable), sizes, and for ZIP the packed
// sizes. Folders and other non-files are what neither side lists.
void ExpectListingMatchesPeer(const std::string& archive, const std::string& listing) {
    SCOPED_TRACE(archive);
    const std::string lower = Lower(archive);
    const bool tar = EndsWith(lower, ".tar");
    const bool zip = EndsWith(lower, ".zip") || EndsWith(lower, ".jar");
    const bool gzip = EndsWith(lower, ".gz") || EndsWith(lower, ".tgz");

    std::vector<PeerRow> expected;
    for (const auto& row : ReadPeerListing(listing))
        if (row.kind == 'f' || row.kind == 'h') expected.push_back(row);
    const Listing ours = List(archive, AcceptVolumes);
    ASSERT_EQ(ours.raised, 0);
    ASSERT_EQ(ours.entries.size(), expected.size()) << ::testing::PrintToString(Names(ours));
    EXPECT_EQ(ours.totals, ours.fileCount);
    for (size_t i = 0; i < expected.size(); ++i) {
        const TEntryInfo& e = ours.entries[i].info;
        std::string name = SlashToBackslash(expected[i].name);
        // gzip names a .tgz member ".tar"; the lister only drops the extension.
        const bool nameByRule = gzip && EndsWith(lower, ".tgz");
        if (ComparableName(name, e.FileName, tar) && !nameByRule) {
            EXPECT_EQ(e.FileName, name) << "entry " << i;
        }
        // 32-bit fields of a Zip64 archive say 0xFFFFFFFF; the peer reads
        // the real size from the extra field.
        const bool zip64 = zip && (e.UnpackedSize == 0xFFFFFFFF || e.PackedSize == 0xFFFFFFFF);
        const bool link = expected[i].kind == 'h';
        if (expected[i].size != "-" && !zip64 && !link) {
            EXPECT_EQ(std::to_string(e.UnpackedSize), expected[i].size) << name;
        }
        if (zip && expected[i].packed != "-" && !zip64) {
            EXPECT_EQ(std::to_string(e.PackedSize), expected[i].packed) << name;
        }
    }
}

}  // namespace

// ---- agreement with the peers -----------------------------------------------------

namespace {

// Archives whose listing differs from the peers' by the lister's own rules,
// and why.
const std::map<std::string, std::string> kDiffersByRule = {
    {"spanned.zip", "the last part of a split set on a fixed drive is no archive by itself"},
    {"test_read_format_cab_multi.p2.cab", "an entry continued from the previous cabinet is listed with that one"},
    {"test_read_format_gtar_sparse_1_13.tar", "GNU sparse members ('S') are not plain files"},
    {"test_read_format_gtar_sparse_1_17.tar", "GNU sparse members ('S') are not plain files"},
    {"test_read_format_gtar_sparse_reuse.tar", "GNU sparse members ('S') are not plain files"},
    {"test_read_format_tar_invalid_pax_size.tar", "a pax header that cannot be read ends the walk"},
    {"test_read_pax_empty_val_no_nl.tar", "a pax header that cannot be read ends the walk"},
    {"test_read_format_zip_with_invalid_traditional_eocd.zip", "Zip64: the 32-bit fields say 0xFFFFFFFF"},
};

}  // namespace

TEST(Lister, ListingsAgreeWithPeersOnArchivesTheyMade) {
    const std::string peers = Join(FixturesDir(), "peers");
    const std::vector<std::string> listings = FilesIn(peers, "*.tsv");
    ASSERT_GE(listings.size(), 25u) << "peer listings missing in " << peers;
    for (const auto& listing : listings) {
        const std::string archive = listing.substr(0, listing.size() - 4);
        if (!ListedKind(archive) || kDiffersByRule.count(archive)) continue;
        ExpectListingMatchesPeer(Fixture(archive), Join(peers, listing));
    }
}

TEST(Lister, ListingsAgreeWithPeersOnTheSharedCorpus) {
    BRAMBLE_NEED_CORPUS();
    // Archives the engine does not take for what the peers take them for;
    // their listings are not the lister's to match.
    const std::set<std::string> otherKinds = {
        // A ZIP behind 64 KB of padding: the end record is past the tail
        // that detection searches.
        "test_read_format_zip_padded1.zip", "test_read_format_zip_padded2.zip",
        "test_read_format_zip_padded3.zip",
        // 19 bytes or fewer: too short for detection to classify.
        "test_read_format_raw.data.Z", "patool-t.txt.Z",
    };
    int compared = 0;
    for (const std::string dir : {"libarchive", "misc"}) {
        const std::string peers = Join(Join(Join(FixturesDir(), "peers"), "corpus"), dir);
        for (const auto& listing : FilesIn(peers, "*.tsv")) {
            const std::string name = listing.substr(0, listing.size() - 4);
            if (!ListedKind(name)) continue;
            const std::string archive = Join(Join(CorpusDir(), dir), name);
            TDovex probe;
            probe.SetArchiveFile(archive);
            if (otherKinds.count(name) || kDiffersByRule.count(name)) continue;
            if (!IsValidArcType(probe.ArcType())) {
                ADD_FAILURE() << name << ": not recognised (" << ArcTypeName(probe.ArcType()) << ")";
                continue;
            }
            ExpectListingMatchesPeer(archive, Join(peers, listing));
            ++compared;
        }
    }
    EXPECT_GE(compared, 60);
}

TEST(Lister, EveryCorpusArchiveListsWithoutRaising) {
    BRAMBLE_NEED_CORPUS();
    // The deliberately broken ones included: a damaged header ends the walk
    // with at most a reported error.
    for (const std::string dir : {"libarchive", "misc"}) {
        for (const auto& name : FilesIn(Join(CorpusDir(), dir), "*")) {
            const std::string archive = Join(Join(CorpusDir(), dir), name);
            TDovex probe;
            probe.SetArchiveFile(archive);
            switch (probe.ArcType()) {
                case atZip: case atZipExe: case atJar: case atTar: case atGZip: case atCab: case atUue:
                    break;
                default:
                    continue;
            }
            const Listing l = List(archive);
            EXPECT_EQ(l.raised, 0) << name;
            EXPECT_EQ(l.totals, l.fileCount) << name;
        }
    }
}

// ---- the walks' own rules ------------------------------------------------------------

TEST(Lister, FileSpecDecidesWhichEntriesAreListed) {
    for (const std::string archive : {"plain.zip", "ustar.tar", "plain.cab", "nocentral.zip"}) {
        SCOPED_TRACE(archive);
        const Listing none = List(Fixture(archive), [](TDovex& d) { d.SetFileSpec({}); });
        EXPECT_TRUE(none.entries.empty());
        EXPECT_EQ(none.totals, 0);
        // Every entry was still seen.
        EXPECT_GE(std::count_if(none.events.begin(), none.events.end(),
                                [](const std::string& e) { return e.rfind("file ", 0) == 0; }),
                  2);

        const Listing all = List(Fixture(archive));
        EXPECT_GE(all.entries.size(), 2u);
        EXPECT_EQ(all.totals, static_cast<int>(all.entries.size()));

        const Listing some = List(Fixture(archive), [](TDovex& d) { d.SetFileSpec({"hello.txt", "*.bin"}); });
        std::vector<std::string> names = Names(some);
        EXPECT_TRUE(std::find(names.begin(), names.end(), "hello.txt") != names.end());
        for (const auto& n : names) EXPECT_TRUE(n == "hello.txt" || EndsWith(n, ".bin")) << n;
    }
}

TEST(Lister, EventsFollowTheEntryOrderAndTotalsCloseTheRun) {
    const Listing l = List(Fixture("ustar.tar"), [](TDovex& d) { d.SetFileSpec({"*.txt"}); });
    const std::vector<std::string> expected = {
        "file about.txt", "begin", "read 1", "end",
        "file big.bin",  // seen, then filtered out
        "file hello.txt", "begin", "read 2", "end",
        "file sub\\nested.txt", "begin", "read 3", "end",
        "totals 3",
    };
    EXPECT_EQ(l.events, expected);
    ASSERT_EQ(l.entries.size(), 3u);
    // Offsets are those of the headers, numbers count the listed entries.
    EXPECT_EQ(l.entries[0].offset, 0);
    EXPECT_EQ(l.entries[1].offset, 512 + 11776 + 512 + 102400);
    EXPECT_EQ(l.entries[0].info.MethodName, "Tarred");
    EXPECT_EQ(l.entries[0].info.Ratio, 0);

    // ZIP: the offset is that of the entry's local header, the record full.
    const Listing z = List(Fixture("stored.zip"));
    ASSERT_EQ(z.entries.size(), 3u);
    EXPECT_EQ(z.entries[0].offset, 0);
    EXPECT_EQ(z.entries[1].offset, 30 + 9 + 11360);
    const TEntryInfo& e = z.entries[1].info;
    EXPECT_EQ(e.FileName, "hello.txt");
    EXPECT_EQ(e.CRC, 0xD360EAA4u);
    EXPECT_EQ(e.MethodName, "Stored");
    EXPECT_EQ(e.VersionNeeded, 10);
    EXPECT_FALSE(e.Encrypted);
    int y, mo, d, h, mi, s;
    DecodeDateTime(e.DateTime, y, mo, d, h, mi, s);
    EXPECT_EQ(std::vector<int>({y, mo, d, h, mi, s}), std::vector<int>({2001, 2, 3, 4, 5, 6}));

    const Listing enc = List(Fixture("encrypted.zip"));
    ASSERT_EQ(enc.entries.size(), 2u);
    EXPECT_TRUE(enc.entries[0].info.Encrypted);
    EXPECT_EQ(enc.entries[0].info.PackedSize, 64);  // 12-byte encryption header included
    EXPECT_GT(enc.entries[1].info.Ratio, 90);
}

TEST(Lister, FindEntryInfoLooksUpOneEntrySilentlyAndRestoresEverything) {
    const std::string copy = Join(ScratchDir("lister-find"), "find.zip");
    WriteAll(copy, ReadAll(Fixture("plain.zip")));
    TDovex d;
    int reads = 0, activations = 0, totals = 0;
    d.OnRead = [&](TObject*, int, int) { ++reads; };
    d.OnActivate = [&](TObject*) { ++activations; };
    d.OnTotals = [&](TObject*, int) { ++totals; };
    d.SetArchiveFile(copy);
    d.SetFileSpec({"*.txt"});

    EXPECT_TRUE(d.FindEntryInfo("sub\\nested.txt"));
    EXPECT_EQ(d.EntryInfo.FileName, "sub\\nested.txt");
    EXPECT_EQ(d.EntryInfo.UnpackedSize, 12);
    EXPECT_TRUE(d.FindEntryInfo("big.bin"));
    EXPECT_EQ(d.EntryInfo.UnpackedSize, 102400);
    EXPECT_FALSE(d.FindEntryInfo("missing.txt"));
    EXPECT_FALSE(d.FindEntryInfo(""));
    EXPECT_EQ(reads + activations + totals, 0);
    EXPECT_EQ(d.FileSpec(), std::vector<std::string>({"*.txt"}));
    EXPECT_EQ(d.ScanMode(), TDovex::smList);

    // A look-up that fails with an error still gives the handlers back.
    os::FileDelete(copy);
    EXPECT_THROW(d.FindEntryInfo("big.bin"), E_RAISE);
    WriteAll(copy, ReadAll(Fixture("plain.zip")));
    EXPECT_TRUE(d.ReadArchive());
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(totals, 1);
    // The listing's counts and totals stay the whole archive's.
    const int64_t packed = d.TotalPacked(), unpacked = d.TotalUnpacked();
    const int count = d.FileCount();
    const uint8_t ratio = d.TotalRatio();
    EXPECT_TRUE(d.FindEntryInfo("hello.txt"));
    EXPECT_EQ(d.TotalPacked(), packed);
    EXPECT_EQ(d.TotalUnpacked(), unpacked);
    EXPECT_EQ(d.FileCount(), count);
    EXPECT_EQ(d.TotalRatio(), ratio);

    // The single-entry kinds answer by name too.
    TDovex g;
    g.SetArchiveFile(Fixture("named.gz"));
    EXPECT_TRUE(g.FindEntryInfo("hello.txt"));
    EXPECT_FALSE(g.FindEntryInfo("other.txt"));
    g.SetArchiveFile(Fixture("hello.uue"));
    EXPECT_TRUE(g.FindEntryInfo("hello.txt"));
    EXPECT_FALSE(g.FindEntryInfo("other.txt"));
}

TEST(Lister, ZipFoldersShowOnlyOnRequestAndAreNotCounted) {
    EXPECT_EQ(Names(List(Fixture("dirs.zip"))), std::vector<std::string>({"top\\full\\hello.txt"}));
    const Listing only = List(Fixture("onlydirs.zip"));
    EXPECT_TRUE(only.entries.empty());
    EXPECT_EQ(only.totals, 0);

    const ListSetup show = [](TDovex& d) { d.SetShowBlankDirs(true); };
    const Listing dirs = List(Fixture("dirs.zip"), show);
    EXPECT_EQ(Names(dirs), std::vector<std::string>({"top\\", "top\\full\\", "top\\full\\hello.txt",
                                                     "top\\empty\\", "alone\\"}));
    EXPECT_EQ(dirs.fileCount, 1);
    EXPECT_EQ(dirs.totals, 1);
    EXPECT_EQ(dirs.entries[0].filenum, 0);
    EXPECT_EQ(dirs.entries[2].filenum, 1);
    EXPECT_EQ(dirs.entries[0].info.MethodName, "Stored");
    EXPECT_EQ(dirs.entries[0].info.ExternalAttr & 0x10, 0x10u);

    const Listing onlyShown = List(Fixture("onlydirs.zip"), show);
    EXPECT_EQ(Names(onlyShown), std::vector<std::string>({"top\\empty\\", "alone\\"}));
    EXPECT_EQ(onlyShown.fileCount, 0);
    EXPECT_EQ(onlyShown.totals, 0);
}

TEST(Lister, DamagedZipHeadersAskTheHandlerAndLocalHeadersStandIn) {
    // No end record: the handler hears the detection flags.
    int asked = 0, flags = -1;
    const Listing cancelled = List(Fixture("nocentral.zip"), [&](TDovex& d) {
        d.OnCorruptZipHeader = [&](TObject*, uint8_t f, bool& cancel) {
            ++asked;
            flags = f;
            EXPECT_TRUE(cancel);  // preset
        };
    });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(flags, 0x10);
    EXPECT_TRUE(cancelled.entries.empty());
    EXPECT_EQ(cancelled.totals, 0);
    EXPECT_TRUE(cancelled.errors.empty());

    // Going on walks the local headers; the sizes of streamed entries come
    // from the descriptors behind their data.
    const Listing local = List(Fixture("nocentral.zip"), [](TDovex& d) {
        d.OnCorruptZipHeader = [](TObject*, uint8_t, bool& cancel) { cancel = false; };
    });
    ASSERT_EQ(Names(local), std::vector<std::string>({"hello.txt", "about.txt"}));
    EXPECT_EQ(local.entries[0].info.UnpackedSize, 56);
    EXPECT_EQ(local.entries[0].info.CRC, 0xD360EAA4u);
    EXPECT_EQ(local.entries[1].info.UnpackedSize, 11360);
    EXPECT_EQ(local.entries[1].info.CRC, 0xCFEAAE9Eu);

    // A whole archive never asks.
    asked = 0;
    List(Fixture("streamed.zip"), [&](TDovex& d) {
        d.OnCorruptZipHeader = [&](TObject*, uint8_t, bool&) { ++asked; };
    });
    EXPECT_EQ(asked, 0);

    // A descriptor that never comes: the entry is listed, the walk ends.
    std::string cut = ReadAll(Fixture("nocentral.zip"));
    cut.resize(cut.find("PK\x07\x08"));
    const std::string path = Join(ScratchDir("lister-cut"), "cut.zip");
    WriteAll(path, cut);
    EXPECT_EQ(Names(List(path)), std::vector<std::string>({"hello.txt"}));
}

TEST(Lister, BadZipHeadersEndTheWalkAndInvalidDatesDoNotThrow) {
    const std::string dir = ScratchDir("lister-badzip");
    std::string zip = ReadAll(Fixture("stored.zip"));
    const size_t central = zip.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);

    // Dates no calendar has, a name length running past the end, a second
    // record that is garbage.
    std::string dates = zip;
    Put16(dates, central + 12, 0xFFFF);  // time 31:63:62
    Put16(dates, central + 14, 0xFFFF);  // date 2107-15-31
    WriteAll(Join(dir, "dates.zip"), dates);
    const Listing d = List(Join(dir, "dates.zip"));
    EXPECT_EQ(d.raised, 0);
    ASSERT_EQ(d.entries.size(), 3u);
    int y, mo, dd, h, mi, s;
    DecodeDateTime(d.entries[0].info.DateTime, y, mo, dd, h, mi, s);
    EXPECT_EQ(y, 2107);

    std::string second = zip;
    const size_t next = zip.find("PK\x01\x02", central + 4);
    second[next + 2] = 'X';
    WriteAll(Join(dir, "second.zip"), second);
    const Listing sec = List(Join(dir, "second.zip"));
    EXPECT_EQ(Names(sec), std::vector<std::string>({"about.txt"}));
    EXPECT_TRUE(sec.errors.empty());  // something was listed

    // Without a central record where the end record points, the local
    // headers are walked.
    std::string first = zip;
    first[central + 2] = 'X';
    WriteAll(Join(dir, "first.zip"), first);
    EXPECT_EQ(Names(List(Join(dir, "first.zip"))),
              std::vector<std::string>({"about.txt", "hello.txt", "sub\\nested.txt"}));
    // A first header that is not one is reported; the set marker in front
    // of it does not count as one.
    WriteAll(Join(dir, "garbage.zip"), std::string("PK\x07\x08", 4) + std::string(100, 'x'));
    const Listing g = List(Join(dir, "garbage.zip"));
    EXPECT_TRUE(g.entries.empty());
    EXPECT_EQ(g.errors, std::vector<int>({25108}));
    EXPECT_EQ(g.totals, 0);

    std::string longName = zip.substr(0, zip.find("PK\x05\x06"));
    Put16(longName, central + 28, 0xFFFF);
    longName += std::string(zip, zip.find("PK\x05\x06"));
    WriteAll(Join(dir, "longname.zip"), longName);
    const Listing ln = List(Join(dir, "longname.zip"));
    EXPECT_EQ(ln.raised, 0);
    EXPECT_LE(ln.entries.size(), 1u);
}

TEST(Lister, SelfExtractingZipsListFromWhereTheArchiveStarts) {
    for (const std::string name : {"sfx.exe", "sfx_unadjusted.exe", "sfx_15770.exe"}) {
        SCOPED_TRACE(name);
        const Listing l = List(Fixture(name));
        EXPECT_EQ(Names(l), std::vector<std::string>({"about.txt", "hello.txt", "sub\\nested.txt"}));
        ASSERT_FALSE(l.entries.empty());
        EXPECT_EQ(l.entries[0].offset, name == "sfx_15770.exe" ? 15770 : 20000);
        EXPECT_TRUE(l.errors.empty());
    }
}

TEST(Lister, SpannedZipOnRemovableDisksListsAsOneArchive) {
    // Disks are files copied in under the archive's name, with the
    // labels the writer gives them.
    const std::string dir = ScratchDir("lister-span");
    std::string label;
    os::DriveProvider provider;
    provider.driveType = [](const std::string&) { return unsigned{os::dtRemovable}; };
    provider.volumeInfo = [&](const std::string&, os::VolumeInfo& info) {
        info.label = label;
        info.serial = 0x1234;
        return true;
    };
    struct Restore {
        ~Restore() { os::SetDriveProvider(nullptr); }
    } restore;
    os::SetDriveProvider(&provider);
#ifdef _WIN32
    const std::string archive = Join(dir, "set.zip");
#else
    const std::string archive = "A:" + Join(dir, "set.zip");
    const std::string file = Join(dir, "set.zip");
#endif
    const std::string parts[] = {ReadAll(Fixture("spanmany.z01")), ReadAll(Fixture("spanmany.zip"))};
    auto insert = [&](int disk) {
#ifdef _WIN32
        WriteAll(archive, parts[disk - 1]);
#else
        WriteAll(file, parts[disk - 1]);
#endif
        label = zip::VolumeLabel(disk);
    };
    std::vector<std::string> asked;
    insert(1);
    const Listing l = List(archive, [&](TDovex& d) {
        EXPECT_EQ(d.ArcType(), atZipMV);
        d.OnGetZipLastDisk = [&](TObject*, bool& cancel) {
            asked.push_back("last");
            insert(2);
            cancel = false;
        };
        d.OnGetZipNextDisk = [&](TObject*, const std::string& volume, bool& cancel) {
            asked.push_back(volume);
            insert(std::stoi(volume));
            cancel = false;
        };
    });
    EXPECT_EQ(asked, std::vector<std::string>({"last", "1", "2"}));
    EXPECT_EQ(l.raised, 0);
    EXPECT_TRUE(l.errors.empty()) << ::testing::PrintToString(l.errors);
    const Listing whole = List(Fixture("many.zip"));
    ASSERT_EQ(l.entries.size(), 1000u);
    ASSERT_EQ(whole.entries.size(), 1000u);
    for (size_t i = 0; i < 1000; i += 37) {
        EXPECT_EQ(l.entries[i].info.FileName, whole.entries[i].info.FileName);
        EXPECT_EQ(l.entries[i].info.UnpackedSize, whole.entries[i].info.UnpackedSize);
        EXPECT_EQ(l.entries[i].info.CRC, whole.entries[i].info.CRC);
    }
    EXPECT_EQ(l.entries.back().info.FileName, "f0999.txt");

    // Refusing a disk ends the listing quietly with Cancel set.
    insert(1);
    asked.clear();
    const Listing refused = List(archive, [&](TDovex& d) {
        d.OnGetZipLastDisk = [&](TObject*, bool&) { asked.push_back("last"); };
    });
    EXPECT_EQ(asked, std::vector<std::string>({"last"}));
    EXPECT_TRUE(refused.entries.empty());
    EXPECT_TRUE(refused.cancel);
    EXPECT_EQ(refused.totals, 0);
}

TEST(Lister, SingleEntryKindsNameTheirEntry) {
    // gzip without a stored name: the archive's name without ".gz".
    Listing l = List(Fixture("hello.txt.gz"));
    ASSERT_EQ(l.entries.size(), 1u);
    EXPECT_EQ(l.entries[0].info.FileName, "hello.txt");
    EXPECT_EQ(l.entries[0].info.UnpackedSize, 56);
    EXPECT_EQ(l.entries[0].info.CRC, 0xD360EAA4u);
    EXPECT_EQ(l.entries[0].info.MethodName, "Deflate");
    EXPECT_EQ(l.entries[0].info.PackedSize, static_cast<int64_t>(ReadAll(Fixture("hello.txt.gz")).size()) - 18);
    EXPECT_EQ(l.totals, 1);

    const std::string renamed = Join(ScratchDir("lister-gz"), "report.data.gz");
    WriteAll(renamed, ReadAll(Fixture("hello.txt.gz")));
    EXPECT_EQ(Names(List(renamed)), std::vector<std::string>({"report.data"}));
    // A stored name wins; its MTIME is the date.
    l = List(Fixture("named.gz"));
    ASSERT_EQ(l.entries.size(), 1u);
    EXPECT_EQ(l.entries[0].info.FileName, "hello.txt");
    EXPECT_EQ(l.entries[0].info.PackedSize, static_cast<int64_t>(ReadAll(Fixture("named.gz")).size()) - 28);

    for (const std::string z : {"hello.txt.Z", "hello12.Z"}) {
        l = List(Fixture(z));
        ASSERT_EQ(l.entries.size(), 1u) << z;
        EXPECT_EQ(l.entries[0].info.FileName, z.substr(0, z.size() - 2));
        EXPECT_EQ(l.entries[0].info.MethodName, "LzwMAGIC");
    }

    // UU and XX text: the name from the "begin " line, one entry.
    for (const auto& [file, name] : std::map<std::string, std::string>{
             {"hello.uue", "hello.txt"}, {"preamble.uue", "about.txt"}, {"xx.xxe", "hello.txt"}}) {
        l = List(Fixture(file));
        ASSERT_EQ(l.entries.size(), 1u) << file;
        EXPECT_EQ(l.entries[0].info.FileName, name);
        EXPECT_EQ(l.entries[0].info.UnpackedSize, static_cast<int64_t>(ReadAll(Fixture(file)).size()));
        EXPECT_EQ(l.entries[0].info.ExternalAttr, 32u);
        EXPECT_EQ(l.totals, 1);
    }
}

TEST(Lister, GzipAndUuFilesListTheirOneEntryByTheirOwnRules) {
    const std::string dir = ScratchDir("lister-single");
    // The one entry is listed and counted whatever FileSpec says; only a
    // look-up asks for its name.
    for (const std::string file : {"hello.txt.gz", "hello.txt.Z", "hello.uue"}) {
        for (const std::vector<std::string>& spec : {std::vector<std::string>{}, {"*.zip"}}) {
            SCOPED_TRACE(file + " with " + ::testing::PrintToString(spec));
            const Listing l = List(Fixture(file), [&](TDovex& d) { d.SetFileSpec(spec); });
            EXPECT_EQ(l.events, std::vector<std::string>({"file hello.txt", "begin", "read 1", "end", "totals 1"}));
            EXPECT_EQ(l.fileCount, 1);
        }
        TDovex d;
        d.SetArchiveFile(Fixture(file));
        d.SetFileSpec({"*.*"});
        EXPECT_EQ(d.CollectNames(), std::vector<std::string>({"hello.txt"})) << file;
    }

    // Extra field, name, comment and header CRC are passed over: the packed
    // size is what lies between them and the 8-byte trailer.
    const std::string extra = ReadAll(Join(Fixture("gztar"), "extra.gz"));
    const size_t header = 10 + 2 + 8 + sizeof("commented.txt") +
                          sizeof("A comment that runs on for a while, as comments do.") + 2;
    Listing l = List(Join(Fixture("gztar"), "extra.gz"));
    ASSERT_EQ(l.entries.size(), 1u);
    EXPECT_EQ(l.entries[0].info.FileName, "commented.txt");
    EXPECT_EQ(l.entries[0].info.PackedSize, static_cast<int64_t>(extra.size() - header - 8));
    EXPECT_EQ(l.entries[0].info.UnpackedSize, 11360);
    EXPECT_EQ(l.entries[0].info.CRC, 0xCFEAAE9Eu);
    EXPECT_EQ(l.entries[0].info.MethodCode, 8);
    EXPECT_FALSE(l.entries[0].info.Encrypted);

    // Flag 0x20 marks the member encrypted.
    std::string flagged = ReadAll(Fixture("hello.txt.gz"));
    flagged[3] = static_cast<char>(flagged[3] | 0x20);
    WriteAll(Join(dir, "flagged.txt.gz"), flagged);
    l = List(Join(dir, "flagged.txt.gz"));
    ASSERT_EQ(l.entries.size(), 1u);
    EXPECT_TRUE(l.entries[0].info.Encrypted);
    EXPECT_EQ(l.entries[0].info.FileName, "flagged.txt");

    // Without a stored time (gzip -n), and always for compress, the date is
    // the archive file's own; a stored MTIME is the date otherwise.
    auto dated = [&](const std::string& file) {
        const std::string copy = Join(dir, file);
        WriteAll(copy, ReadAll(Fixture(file)));
        os::FileTimes t;
        t.lastWrite = DosDateToFileTime(0x3A8A5000);  // 2009-04-10 10:00:00
        EXPECT_TRUE(os::SetTimes(copy, t));
        const Listing one = List(copy);
        EXPECT_EQ(one.entries.size(), 1u) << file;
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
        if (!one.entries.empty()) DecodeDateTime(one.entries[0].info.DateTime, y, mo, d, h, mi, s);
        return std::vector<int>({y, mo, d, h, mi, s});
    };
    EXPECT_EQ(dated("hello.txt.gz"), std::vector<int>({2009, 4, 10, 10, 0, 0}));
    EXPECT_EQ(dated("hello.txt.Z"), std::vector<int>({2009, 4, 10, 10, 0, 0}));
    EXPECT_EQ(dated("hello.uue"), std::vector<int>({2009, 4, 10, 10, 0, 0}));
    l = List(Fixture("named.gz"));
    ASSERT_EQ(l.entries.size(), 1u);
    EXPECT_DOUBLE_EQ(l.entries[0].info.DateTime, UnixToDateTime(981173106));

    // The older members of the family: the method is named by the
    // signature, the sizes are the file's.
    for (const auto& [sig, name] : std::map<std::string, std::string>{{"\x1f\x1e", "PackMAGIC"}, {"\x1f\xa0", "LzhMAGIC"}}) {
        SCOPED_TRACE(name);
        const std::string path = Join(dir, "old.z");
        WriteAll(path, sig + std::string("\x55\x01", 2) + std::string(60, '\x33'));
        l = List(path);
        ASSERT_EQ(l.entries.size(), 1u);
        EXPECT_EQ(l.entries[0].info.FileName, "old");
        EXPECT_EQ(l.entries[0].info.MethodName, name);
        EXPECT_EQ(l.entries[0].info.PackedSize, 64);
        EXPECT_EQ(l.entries[0].info.UnpackedSize, 64);
        EXPECT_EQ(l.entries[0].info.CRC, 0u);
    }

    // UU text: the first "begin " that starts a line names the entry, up
    // to the end of the line or a blank, at most 255 characters; the entry
    // is the whole file. (Detection looks for the line in the first 2500
    // bytes, well inside the 32768 the lister reads.)
    const ListSetup uue = [](TDovex& d) { d.SetArcType(atUue); };
    struct UuCase {
        std::string text;
        std::vector<std::string> names;
    };
    const std::string body = "M9&5L;&\\L('=O<FQD+@H*\n`\nend\n";
    const std::vector<UuCase> cases = {
        {"begin 644 crlf.txt\r\n" + body, {"crlf.txt"}},
        {"xbegin 644 not.txt\nbegin 600 yes.txt trailing words\n" + body, {"yes.txt"}},
        {"begin 644 " + std::string(300, 'n') + "\n" + body, {std::string(255, 'n')}},
        {std::string(2400, '-') + "\nbegin 644 late.txt\n" + body, {"late.txt"}},
    };
    for (const UuCase& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        const std::string path = Join(dir, "case.uue");
        WriteAll(path, c.text);
        l = List(path, uue);
        EXPECT_EQ(l.raised, 0);
        EXPECT_EQ(Names(l), c.names);
        EXPECT_EQ(l.totals, static_cast<int>(c.names.size()));
        if (l.entries.empty()) continue;
        const TEntryInfo& e = l.entries[0].info;
        EXPECT_EQ(e.PackedSize, static_cast<int64_t>(c.text.size()));
        EXPECT_EQ(e.UnpackedSize, static_cast<int64_t>(c.text.size()));
        EXPECT_EQ(e.CRC, 0u);
        EXPECT_EQ(e.MethodCode, 0);
        EXPECT_EQ(e.MethodName, "");
        EXPECT_EQ(e.Attr, 32);
    }
}

namespace {

// A tar header with a name, a size field as given and a type flag, its
// checksum filled in.
std::string TarHeader(const std::string& name, const std::string& sizeField, char type) {
    std::string h(512, '\0');
    h.replace(0, name.size(), name);
    h.replace(100, 7, "0000644");
    h.replace(124, sizeField.size(), sizeField);
    h.replace(136, 12, "07346545362 ");
    h[156] = type;
    h.replace(148, 8, "        ");
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    h.replace(148, 8, IntToOctal(sum, 7, false) + std::string(1, '\0'));
    return h;
}

}  // namespace

TEST(Lister, TarHeadersAreTakenAsStoredAndBoundedByTheFile) {
    const std::string dir = ScratchDir("lister-tar");
    // Written without end blocks, the last header flush with the end of
    // the file; GNU's binary size form; a link; a folder and a symlink
    // that are not files.
    std::string binarySize(12, '\0');
    binarySize[0] = static_cast<char>(0x80);
    binarySize[11] = 3;
    std::string tar = TarHeader("a.txt", "00000000005", '0') + std::string(512, 'x') +
                      TarHeader("bin.dat", binarySize, 0) + std::string(512, 'y') +
                      TarHeader("dir/", "0", '5') + TarHeader("sym", "0", '2') +
                      TarHeader("link.txt", "0", '1') + TarHeader("empty.txt", "0", '0');
    WriteAll(Join(dir, "flush.tar"), tar);
    Listing l = List(Join(dir, "flush.tar"), [](TDovex& d) { d.SetArcType(atTar); });
    EXPECT_EQ(Names(l), std::vector<std::string>({"a.txt", "bin.dat", "link.txt", "empty.txt"}));
    ASSERT_EQ(l.entries.size(), 4u);
    EXPECT_EQ(l.entries[1].info.UnpackedSize, 3);
    EXPECT_EQ(l.entries[3].offset, 512 * 7);

    // A size far beyond the file ends the walk after its entry.
    std::string huge = TarHeader("huge.bin", "77777777777", '0') + TarHeader("after.txt", "0", '0');
    WriteAll(Join(dir, "huge.tar"), huge);
    l = List(Join(dir, "huge.tar"), [](TDovex& d) { d.SetArcType(atTar); });
    EXPECT_EQ(Names(l), std::vector<std::string>({"huge.bin"}));

    // A header whose checksum does not hold ends the walk.
    std::string bad = TarHeader("one.txt", "0", '0') + TarHeader("two.txt", "0", '0');
    bad[512 + 1] = 'X';
    WriteAll(Join(dir, "bad.tar"), bad + std::string(1024, '\0'));
    l = List(Join(dir, "bad.tar"), [](TDovex& d) { d.SetArcType(atTar); });
    EXPECT_EQ(Names(l), std::vector<std::string>({"one.txt"}));
}

TEST(Lister, TarNamesAreTrimmedAndEntriesCarryTheHeaderChecksumAndTime) {
    const std::string dir = ScratchDir("lister-tar-fields");
    // Blanks around a name go; a name filling all 100 bytes has no NUL;
    // '/' becomes '\'.
    const std::string full(100, 'n');
    const std::string tar = TarHeader("  spaced name.txt  ", "00000000003", '0') + std::string(512, 'z') +
                            TarHeader(full, "0", '0') + TarHeader("dir/sub/file.txt", "0", 0) +
                            std::string(1024, '\0');
    WriteAll(Join(dir, "fields.tar"), tar);
    const Listing l = List(Join(dir, "fields.tar"), [](TDovex& d) { d.SetArcType(atTar); });
    ASSERT_EQ(Names(l), std::vector<std::string>({"spaced name.txt", full, "dir\\sub\\file.txt"}));
    for (size_t i = 0; i < l.entries.size(); ++i) {
        const TEntryInfo& e = l.entries[i].info;
        const size_t at = i == 0 ? 0 : 512 * (i + 1);
        EXPECT_EQ(e.CRC, static_cast<uint32_t>(OctalToInt(std::string_view(tar).substr(at + 148, 8))));
        EXPECT_DOUBLE_EQ(e.DateTime, UnixToDateTime(07346545362));
        EXPECT_EQ(e.MethodName, "Tarred");
        EXPECT_EQ(e.MethodCode, 0);
        EXPECT_EQ(e.Attr, 0);
        EXPECT_EQ(e.ExternalAttr, 0u);
        EXPECT_FALSE(e.Encrypted);
        EXPECT_EQ(l.entries[i].offset, static_cast<int>(at));
    }
    EXPECT_EQ(l.entries[0].info.UnpackedSize, 3);
    EXPECT_EQ(l.entries[0].info.PackedSize, 3);
}

namespace {

struct CabFile {
    std::string name;
    uint16_t folder = 0;
    uint32_t size = 10;
};

// A cabinet of headers only (no data blocks are needed to list one).
std::string MakeCab(uint16_t setId, uint16_t index, const std::string& next, const std::vector<CabFile>& files,
                    uint16_t method = 1) {
    std::string names;
    if (!next.empty()) names = next + '\0' + "disk" + '\0';
    std::string c(36, '\0');
    c.replace(0, 4, "MSCF");
    const uint32_t firstFile = static_cast<uint32_t>(36 + names.size() + 8);
    Put32(c, 16, firstFile);
    c[24] = 3;
    c[25] = 1;
    Put16(c, 26, 1);
    Put16(c, 28, static_cast<uint16_t>(files.size()));
    Put16(c, 30, next.empty() ? 0 : 2);
    Put16(c, 32, setId);
    Put16(c, 34, index);
    c += names;
    std::string folder(8, '\0');
    Put16(folder, 6, method);
    c += folder;
    for (const auto& f : files) {
        std::string r(16, '\0');
        Put32(r, 0, f.size);
        Put16(r, 8, f.folder);
        Put16(r, 10, 0x2A43);  // 2001-02-03
        Put16(r, 12, 0x20A3);  // 04:05:06
        Put16(r, 14, 0x20);
        c += r + f.name + '\0';
    }
    Put32(c, 8, static_cast<uint32_t>(c.size()));
    return c;
}

}  // namespace

TEST(Lister, CabinetChainsGoOnOnlyToTheNextCabinetOfTheSet) {
    const std::string dir = ScratchDir("lister-cab");
    // The stored next name carries a path of the machine that made it;
    // only its file-name part counts.
    WriteAll(Join(dir, "one.cab"), MakeCab(7, 0, "C:\\build\\two.cab",
                                           {{"a.txt"}, {"split.bin", 0xFFFE, 100}}));
    WriteAll(Join(dir, "two.cab"), MakeCab(7, 1, "", {{"split.bin", 0xFFFD, 100}, {"b.txt", 0, 20}}, 3));
    Listing l = List(Join(dir, "one.cab"), AcceptVolumes);
    EXPECT_EQ(Names(l), std::vector<std::string>({"a.txt", "split.bin", "b.txt"}));
    EXPECT_TRUE(l.errors.empty());
    ASSERT_EQ(l.entries.size(), 3u);
    EXPECT_EQ(l.entries[0].info.MethodName, "MsZIP");
    EXPECT_EQ(l.entries[2].info.MethodName, "Lzx");
    EXPECT_EQ(l.entries[2].info.ExternalAttr, 0x20u);
    EXPECT_EQ(l.totals, 3);

    // A next cabinet that is not there and is not supplied, or no one to
    // ask: the first cabinet alone, then cancel.
    WriteAll(Join(dir, "lone.cab"), MakeCab(8, 0, "gone.cab", {{"a.txt"}, {"split.bin", 0xFFFE, 100}}));
    int asked = 0;
    l = List(Join(dir, "lone.cab"), [&](TDovex& d) {
        d.OnNextVolume = [&](TObject*, std::string& name, const std::string&, bool exists, bool& cancel) {
            ++asked;
            EXPECT_FALSE(exists);
            EXPECT_TRUE(cancel);
            EXPECT_EQ(ExtractFileName(name), "gone.cab");
            EXPECT_EQ(UpperCase(SlashToBackslash(name)), UpperCase(SlashToBackslash(Join(dir, "gone.cab"))));
        };
    });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Names(l), std::vector<std::string>({"a.txt", "split.bin"}));
    EXPECT_TRUE(l.cancel);
    EXPECT_EQ(l.totals, 2);
    l = List(Join(dir, "one.cab"));
    EXPECT_EQ(Names(l), std::vector<std::string>({"a.txt", "split.bin"}));
    EXPECT_TRUE(l.cancel);

    // A cabinet naming itself as the next one, and one whose next cabinet
    // belongs to another set: listed once, then 25904.
    WriteAll(Join(dir, "self.cab"), MakeCab(9, 0, "self.cab", {{"s.txt"}}));
    l = List(Join(dir, "self.cab"), AcceptVolumes);
    EXPECT_EQ(Names(l), std::vector<std::string>({"s.txt"}));
    EXPECT_EQ(l.errors, std::vector<int>({25904}));
    WriteAll(Join(dir, "mine.cab"), MakeCab(1, 0, "theirs.cab", {{"m.txt"}}));
    WriteAll(Join(dir, "theirs.cab"), MakeCab(2, 1, "", {{"t.txt"}}));
    l = List(Join(dir, "mine.cab"), AcceptVolumes);
    EXPECT_EQ(Names(l), std::vector<std::string>({"m.txt"}));
    EXPECT_EQ(l.errors, std::vector<int>({25904}));

    // The libarchive pair: the continued file is listed once.
    if (CorpusPresent()) {
        l = List(Join(Join(CorpusDir(), "libarchive"), "test_read_format_cab_multi.p1.cab"), AcceptVolumes);
        EXPECT_EQ(Names(l), std::vector<std::string>({"ones"}));
        EXPECT_TRUE(l.errors.empty());
    }

    // More files promised than stored, a name without its NUL.
    std::string cut = MakeCab(3, 0, "", {{"x.txt"}, {"y.txt"}});
    cut.resize(cut.size() - 1);
    Put16(cut, 28, 500);
    WriteAll(Join(dir, "cut.cab"), cut);
    l = List(Join(dir, "cut.cab"));
    EXPECT_EQ(Names(l), std::vector<std::string>({"x.txt"}));
    EXPECT_EQ(l.raised, 0);
    if (!CorpusPresent()) GTEST_SKIP() << "the libarchive pair: " << CorpusAbsent();
}

TEST(Lister, MsGZListsFilesUnderTheirDirectories) {
    // Header of 255 bytes, the directory table, then the file records.
    std::string a(255, '\0');
    Put32(a, 0, 0x8C655D13);
    Put16(a, 12, 3);
    Put32(a, 41, 255);
    Put16(a, 49, 2);
    auto dirRecord = [](const std::string& name, uint16_t files) {
        std::string d(6, '\0');
        Put16(d, 0, files);
        Put16(d, 2, static_cast<uint16_t>(6 + name.size() + 4));
        Put16(d, 4, static_cast<uint16_t>(name.size()));
        return d + name + std::string(4, '\0');
    };
    auto fileRecord = [](uint16_t dir, const std::string& name, uint32_t size, uint32_t packed) {
        std::string f(30, '\0');
        Put16(f, 1, dir);
        Put32(f, 3, size);
        Put32(f, 7, packed);
        Put16(f, 15, 0x2A43);  // date, then time
        Put16(f, 17, 0x20A3);
        Put16(f, 23, static_cast<uint16_t>(30 + name.size() + 3));
        f[25] = 0x20;
        f[29] = static_cast<char>(name.size());
        return f + name + std::string(3, '\0');
    };
    a += dirRecord("", 1) + dirRecord("program", 2);
    a += fileRecord(0, "readme.txt", 100, 60) + fileRecord(1, "app.exe", 5000, 3000) +
         fileRecord(1, "app.hlp", 800, 400);
    const std::string path = Join(ScratchDir("lister-msgz"), "data.z");
    WriteAll(path, a);
    const Listing l = List(path);
    EXPECT_EQ(Names(l), std::vector<std::string>({"readme.txt", "program\\app.exe", "program\\app.hlp"}));
    ASSERT_EQ(l.entries.size(), 3u);
    EXPECT_EQ(l.entries[1].info.UnpackedSize, 5000);
    EXPECT_EQ(l.entries[1].info.PackedSize, 3000);
    int y, mo, d, h, mi, s;
    DecodeDateTime(l.entries[1].info.DateTime, y, mo, d, h, mi, s);
    EXPECT_EQ(std::vector<int>({y, mo, d, h, mi, s}), std::vector<int>({2001, 2, 3, 4, 5, 6}));

    // Record sizes that point nowhere still move forwards; counts past the
    // records end at the file's end.
    std::string broken = a;
    Put16(broken, 12, 60000);
    Put16(broken, 255 + 2, 0);
    WriteAll(path, broken);
    const Listing b = List(path);
    EXPECT_EQ(b.raised, 0);
    EXPECT_LE(b.entries.size(), 3u);
}

TEST(Lister, ZipRecordsRoundTripThroughTheirBytes) {
    TZipCentralRecord r;
    r.Flags = 0x0809;
    r.Method = 8;
    r.Time = 0x20A3;
    r.Date = 0x2A43;
    r.CRC = 0xD360EAA4;
    r.PackedSize = 52;
    r.UnpackedSize = 56;
    r.NameLength = 9;
    r.CommentLength = 3;
    r.DiskStart = 2;
    r.InternalAttr = 1;
    r.ExternalAttr = 0x81A40020;
    r.LocalOffset = 0x01020304;
    const auto bytes = r.Bytes();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 8), std::string("PK\x01\x02\x14\x00\x09\x00", 8));
    EXPECT_EQ(bytes[42], 0x04);
    EXPECT_EQ(bytes[45], 0x01);
    const TZipCentralRecord back = TZipCentralRecord::Parse(bytes.data());
    EXPECT_EQ(back.Bytes(), bytes);
    EXPECT_EQ(back.DosDateTime(), 0x2A4320A3u);
    EXPECT_EQ(back.TotalSize(), 46 + 9 + 3);

    // The records of a peer-made archive read back as the peer wrote them.
    const std::string zip = ReadAll(Fixture("stored.zip"));
    const auto* p = reinterpret_cast<const uint8_t*>(zip.data());
    const TZipLocalHeader local = TZipLocalHeader::Parse(p);
    EXPECT_TRUE(local.Valid());
    EXPECT_EQ(local.NameLength, 9);
    EXPECT_EQ(local.UnpackedSize, 11360u);
    std::array<uint8_t, 30> original{};
    std::memcpy(original.data(), p, original.size());
    EXPECT_EQ(local.Bytes(), original);
    const TZipEndRecord end = TZipEndRecord::Parse(p + zip.size() - 22);
    EXPECT_TRUE(end.Valid());
    EXPECT_EQ(end.TotalEntries, 3);
    EXPECT_EQ(end.EntriesOnDisk, 3);
    const TZipCentralRecord first = TZipCentralRecord::Parse(p + end.CentralOffset);
    EXPECT_TRUE(first.Valid());
    EXPECT_EQ(first.LocalOffset, 0u);
    const TZipEntryRec rec = TZipEntryRec::FromLocal(local, 0);
    EXPECT_EQ(rec.ExternalAttr, 0x20u);
    EXPECT_EQ(TZipEntryRec::FromCentral(first).PackedSize, 11360u);

    EXPECT_EQ(zip::VolumeLabel(1), "PKBACK# 001");
    EXPECT_EQ(zip::VolumeLabel(3), "PKBACK# 003");
    EXPECT_EQ(zip::VolumeLabel(1234), "PKBACK# 1234");
}

// A compress file keeps no size and a cabinet keeps none per file: what the
// lister shows must still be what the file holds and what it takes.
TEST(Lister, CompressAndCabinetSizesAreWhatTheEntriesHoldAndTake) {
    const std::string dir = ScratchDir("lister-sizes");
    // compress's output for "42": magic, flags and two 9-bit codes; six
    // bytes, shorter than any other archive can be.
    WriteAll(Join(dir, "tiny.txt.Z"), std::string("\x1f\x9d\x90\x34\x64\x00", 6));
    struct Case {
        std::string file, source;
    };
    for (const Case& c : std::vector<Case>{{Fixture("hello.txt.Z"), Fixture("in/hello.txt")},
                                           {Fixture("about12.Z"), Fixture("in/about.txt")},
                                           {Fixture("gztar/b10.Z"), Fixture("in/big.bin")},
                                           {Fixture("gztar/b16.Z"), Fixture("in/big.bin")},
                                           {Join(dir, "tiny.txt.Z"), ""}}) {
        SCOPED_TRACE(c.file);
        const Listing l = List(c.file);
        ASSERT_EQ(l.entries.size(), 1u);
        EXPECT_EQ(l.entries[0].info.UnpackedSize, c.source.empty() ? 2 : static_cast<int64_t>(ReadAll(c.source).size()));
        EXPECT_EQ(l.entries[0].info.PackedSize, static_cast<int64_t>(ReadAll(c.file).size()) - 3);
    }
    // Codes that go wrong part way list what came before them, and raise
    // nothing: the reader reports the damage when the file is read.
    std::string bad = ReadAll(Fixture("about12.Z"));
    for (size_t i = bad.size() / 2; i < bad.size(); ++i) bad[i] = static_cast<char>(0xFF);
    WriteAll(Join(dir, "bad.Z"), bad);
    const Listing damaged = List(Join(dir, "bad.Z"));
    ASSERT_EQ(damaged.entries.size(), 1u);
    EXPECT_EQ(damaged.raised, 0);
    EXPECT_LT(damaged.entries[0].info.UnpackedSize, static_cast<int64_t>(ReadAll(Fixture("in/about.txt")).size()));

    // Cabinets: a file's packed size is its share of its folder's data
    // blocks, so the shares add up to the blocks; stored files take their size.
    for (const std::string cab : {"mszip.cab", "plain.cab"}) {
        SCOPED_TRACE(cab);
        const bool mszip = cab == "mszip.cab";
        const Listing l = List(Fixture(cab));
        ASSERT_GE(l.entries.size(), 2u);
        int64_t packed = 0, unpacked = 0;
        for (const auto& e : l.entries) {
            packed += e.info.PackedSize;
            unpacked += e.info.UnpackedSize;
            if (!mszip) {
                EXPECT_EQ(e.info.PackedSize, e.info.UnpackedSize) << e.info.FileName;
            }
        }
        const int64_t file = static_cast<int64_t>(ReadAll(Fixture(cab)).size());
        if (mszip) {
            EXPECT_LT(packed, unpacked);
            // Every byte of the cabinet but its headers is some file's.
            EXPECT_LT(packed, file);
            EXPECT_GT(packed, file - 1000);
        }
    }
}
