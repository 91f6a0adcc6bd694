// The UU/XX decoder and encoder: files the peer tools encoded
// (tests/make-fixtures), round trips of our encoder through our decoder and
// (natively) through uudecode, sets split over part files, and hostile or
// damaged input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/core/helpers.h"
#include "engine/core/messages.h"
#include "engine/core/os.h"
#include "engine/readers/readers.h"
#include "engine/readers/uudecode.h"
#include "engine/writers/uuencode.h"
#include "support/testenv.h"

namespace bramble {
namespace {

using test::FixturesDir;
using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

std::string Fixture(const std::string& name) { return Join(FixturesDir(), name); }
std::string Input(const std::string& name) { return ReadAll(Join(Fixture("in"), name)); }

struct Outcome {
    std::vector<int> errors;
    std::vector<std::string> extras;  // MsgEx of each error
    std::vector<std::string> volumesAsked;
    int raised = 0;
    int raisedCode = 0;
    int count = -1;
    bool endPass = false;
    std::string decoded;  // the decoder's DecodedFileName
    std::string kind;

    int Count(int id) const {
        int n = 0;
        for (int e : errors) n += e == id;
        return n;
    }
};

void Watch(TZipCommon& c, Outcome& r) {
    c.OnError = [&r](TObject*, const std::string&, const std::string& ex, const std::string&, int id) {
        r.errors.push_back(id);
        r.extras.push_back(ex);
    };
    c.OnEnd = [&r](TObject*, const std::string&, bool pass) { r.endPass = pass; };
}

// Decodes through the reader the engine picks for the file's kind.
Outcome Decode(const std::string& file, const std::string& dir, const std::function<void(TUUDecode&)>& setup = {}) {
    Outcome r;
    std::unique_ptr<TUnBase> reader = CreateReaderForKind(atUue);
    auto* uu = dynamic_cast<TUUDecode*>(reader.get());
    EXPECT_NE(uu, nullptr);
    if (!uu) return r;
    Watch(*uu, r);
    uu->SetArchiveFile(file);
    uu->SetExtractDir(dir);
    uu->FileSpec() = {"*.*"};
    if (setup) setup(*uu);
    try {
        r.count = uu->Extract();
    } catch (const E_RAISE& e) {
        r.raisedCode = e.Code();
        ++r.raised;
    }
    r.decoded = uu->DecodedFileName();
    r.kind = uu->KindName();
    return r;
}

// Encodes source into out; the encoder is set up by the caller's lambda.
Outcome Encode(const std::string& source, const std::string& out, const std::function<void(TUUEncode&)>& setup = {}) {
    Outcome r;
    TUUEncode e;
    Watch(e, r);
    e.SetArchiveFile(source);
    e.SetOutFilename(out);
    if (setup) setup(e);
    try {
        r.count = e.Compress();
    } catch (const E_RAISE& x) {
        r.raisedCode = x.Code();
        ++r.raised;
    }
    return r;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        if (lf == std::string::npos) lf = text.size();
        std::string l = text.substr(start, lf - start);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        out.push_back(l);
        start = lf + 1;
    }
    return out;
}

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 g(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(g());
    return s;
}

// Accepts every part the decoder asks for as it is named.
void AcceptParts(TUUDecode& d, Outcome& r) {
    d.OnNextVolume = [&r](TObject*, std::string& name, const std::string&, bool exists, bool& cancel) {
        r.volumesAsked.push_back(ExtractFileName(name));
        cancel = !exists;
    };
}

// ---- the peers' files ------------------------------------------------------------

TEST(UuCoding, DecodesWhatThePeerToolsEncoded) {
    struct Case {
        const char* fixture;
        const char* name;
        const char* kind;
    };
    for (Case c : {Case{"hello.uue", "hello.txt", "UUdecode"}, {"preamble.uue", "about.txt", "UUdecode"},
                   {"xx.xxe", "hello.txt", "XXdecode"}}) {
        SCOPED_TRACE(c.fixture);
        const std::string dir = ScratchDir(std::string("uu-peer-") + c.fixture);
        Outcome r = Decode(Fixture(c.fixture), dir);
        EXPECT_TRUE(r.errors.empty()) << r.errors.size() << " first " << (r.errors.empty() ? 0 : r.errors[0]);
        EXPECT_EQ(r.count, 1);
        EXPECT_TRUE(r.endPass);
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(ReadAll(Join(dir, c.name)), Input(c.name));
        EXPECT_EQ(ExtractFileName(r.decoded), c.name);
    }
}

// ---- the encoder's text ----------------------------------------------------------------

TEST(UuCoding, EncodesTheClassicLinesWithTheBannerTableAndSizeLines) {
    const std::string dir = ScratchDir("uu-lines");
    const std::string src45 = Join(dir, "f45.bin");
    WriteAll(src45, std::string(45, 'A'));
    Outcome r = Encode(src45, Join(dir, "f45.uue"));
    EXPECT_TRUE(r.errors.empty());
    EXPECT_EQ(r.count, 1);
    std::vector<std::string> l = Lines(ReadAll(Join(dir, "f45.uue")));
    ASSERT_EQ(l.size(), 7u);
    EXPECT_EQ(l[0].rfind("UUEncode 2.5222 (", 0), 0u);
    EXPECT_EQ(l[0].back(), ')');
    EXPECT_EQ(l[1], "");
    EXPECT_EQ(l[2], "begin 644 f45.bin");
    EXPECT_EQ(l[3].size(), 61u);
    EXPECT_EQ(l[3][0], 'M');
    EXPECT_EQ(l[4], "`");  // a size that is a multiple of 45 ends with an empty line
    EXPECT_EQ(l[5], "end");
    EXPECT_EQ(l[6], "45 bytes");
    // Lines end with CR LF.
    EXPECT_NE(ReadAll(Join(dir, "f45.uue")).find("end\r\n45 bytes\r\n"), std::string::npos);

    const std::string abc = Join(dir, "abc.txt");
    WriteAll(abc, "abc");
    Encode(abc, Join(dir, "abc.uue"));
    EXPECT_EQ(Lines(ReadAll(Join(dir, "abc.uue")))[3], "#86)C");
    Encode(abc, Join(dir, "abc.xxe"), [](TUUEncode& e) {
        e.SetCompressMethod(cmXXEncode);
        e.SetWriteTableToFile(true);
    });
    l = Lines(ReadAll(Join(dir, "abc.xxe")));
    ASSERT_GE(l.size(), 10u);
    EXPECT_EQ(l[0].rfind("XXEncode 2.5222 (", 0), 0u);
    EXPECT_EQ(l[2], "table");
    EXPECT_EQ(l[3], std::string(kXxAlphabet, 32));
    EXPECT_EQ(l[4], std::string(kXxAlphabet + 32, 32));
    EXPECT_EQ(l[5], "begin 644 abc.txt");
    EXPECT_EQ(l[6], "1MK7X");
    EXPECT_EQ(l[7], "+");  // the line of length 0 closes every file
    EXPECT_EQ(l[8], "end");
    EXPECT_EQ(l[9], "3 bytes");
}

TEST(UuCoding, PropertiesKeepTheirRules) {
    TUUEncode e;
    EXPECT_EQ(e.ArcType(), atNA);
    EXPECT_EQ(e.CompressMethod(), cmUUEncode);
    EXPECT_EQ(e.DefaultExt(), ".UUE");
    e.SetOutFilename("out");
    EXPECT_EQ(e.OutFilename(), "out.UUE");
    e.SetOutFilename("out.txt");
    EXPECT_EQ(e.OutFilename(), "out.txt");
    e.SetOutFilename(".");
    EXPECT_EQ(e.OutFilename(), "");
    e.SetCompressMethod(cmDeflate);  // not one of the two
    EXPECT_EQ(e.CompressMethod(), cmUUEncode);
    e.SetCompressMethod(cmXXEncode);
    EXPECT_EQ(e.DefaultExt(), ".XXE");
    e.SetOutFilename("x");
    EXPECT_EQ(e.OutFilename(), "x.XXE");
    e.SetArchiveFile(Fixture("notarchive.txt"));
    EXPECT_EQ(e.ArcType(), atUue);

    TUUDecode d;
    EXPECT_EQ(d.MaxHeaderLines(), 100);
    EXPECT_EQ(d.NextVolumeName(), nvChangeExt);
    EXPECT_FALSE(d.VolumeLongFilenames());
    EXPECT_EQ(d.VolumeStartNum(), 0);
    d.SetVolumeStartNum(12);
    EXPECT_EQ(d.VolumeStartNum(), 10);
}

TEST(UuCoding, PartNamesFollowTheNamingRule) {
    EXPECT_EQ(UuNextVolumeName("data.uue", 2, nvChangeExt, false), "data.uu2");
    EXPECT_EQ(UuNextVolumeName("data.uue", 15, nvChangeExt, false), "data.u15");
    EXPECT_EQ(UuNextVolumeName("data.uue", 123, nvChangeExt, false), "data.123");
    EXPECT_EQ(UuNextVolumeName("data", 3, nvChangeExt, false), "data3");
    // A dot in a folder is not the extension's.
    EXPECT_EQ(UuNextVolumeName("c:\\my.dir\\data", 3, nvChangeExt, false), "c:\\my.dir\\data3");
    EXPECT_EQ(UuNextVolumeName("c:\\x\\longname.uue", 5, nvChangeFilename, false), "c:\\x\\longnam5.uue");
    EXPECT_EQ(UuNextVolumeName("c:\\x\\longername.uue", 12, nvChangeFilename, true), "c:\\x\\longer12.uue");
    EXPECT_EQ(UuNextVolumeName("ab.uue", 1, nvChangeFilename, true), "ab1.uue");
    EXPECT_EQ(UuEncNextVolumeName("x.uue", 1), "x.uu1");
}

// ---- round trips -----------------------------------------------------------------------

TEST(UuCoding, RoundTripsEverySizeInBothAlphabets) {
    const std::string dir = ScratchDir("uu-roundtrip");
    for (size_t size : {size_t{0}, size_t{1}, size_t{2}, size_t{44}, size_t{45}, size_t{46}, size_t{90},
                        size_t{100000}}) {
        for (bool xx : {false, true}) {
            for (bool table : {false, true}) {
                SCOPED_TRACE(std::to_string(size) + (xx ? " XX" : " UU") + (table ? " table" : ""));
                const std::string name = "s" + std::to_string(size) + (xx ? "x" : "u") + (table ? "t" : "") + ".bin";
                const std::string src = Join(dir, name);
                const std::string data = RandomBytes(size, static_cast<unsigned>(size));
                WriteAll(src, data);
                const std::string enc = Join(dir, name + ".enc");
                Outcome e = Encode(src, enc, [&](TUUEncode& u) {
                    u.SetCompressMethod(xx ? cmXXEncode : cmUUEncode);
                    u.SetWriteTableToFile(table);
                });
                ASSERT_EQ(e.count, 1);
                // Seven-bit text only.
                for (unsigned char c : ReadAll(enc)) ASSERT_LT(c, 128);
                const std::string out = Join(dir, "out");
                Outcome d = Decode(enc, out);
                EXPECT_TRUE(d.errors.empty());
                EXPECT_TRUE(d.endPass);
                EXPECT_EQ(d.kind, xx ? "XXdecode" : "UUdecode");
                EXPECT_EQ(ReadAll(Join(out, name)), data);
            }
        }
    }
}

#ifndef _WIN32
// Runs Command in Dir; its exit status.
int RunIn(const std::string& Dir, const std::string& Command) {
    return std::system(("cd '" + Dir + "' && " + Command + " >/dev/null 2>&1").c_str());
}

// Every size our encoder writes, a multiple of 45 or not, decodes with the
// peers: sharutils' uudecode (UU), which needs the line of length 0 after
// the last short line, and uudeview (UU and XX; it looks at files of about
// 400 bytes and more only).
TEST(UuCoding, PeersDecodeOurOutputOfEverySize) {
    const std::string dir = ScratchDir("uu-peerread");
    struct Case {
        size_t size;
        bool xx;
        const char* peer;
    };
    std::vector<Case> cases;
    for (size_t size : {size_t{0}, size_t{1}, size_t{3}, size_t{44}, size_t{45}, size_t{46}, size_t{90}, size_t{1000},
                        size_t{5000}})
        cases.push_back({size, false, "uudecode"});
    for (size_t size : {size_t{450}, size_t{451}, size_t{1000}, size_t{5000}})
        for (bool xx : {false, true}) cases.push_back({size, xx, "uudeview"});
    for (const Case& c : cases) {
        const std::string name = "b" + std::to_string(c.size) + (c.xx ? "x" : "u") + ".bin";
        SCOPED_TRACE(name + " " + c.peer);
        const std::string data = RandomBytes(c.size, static_cast<unsigned>(c.size) + 7);
        WriteAll(Join(dir, name), data);
        const std::string enc = Join(dir, name + ".enc");
        Outcome e = Encode(Join(dir, name), enc, [&](TUUEncode& u) { u.SetCompressMethod(c.xx ? cmXXEncode : cmUUEncode); });
        ASSERT_EQ(e.count, 1);
        const std::string out = Join(dir, std::string("peer-") + c.peer + "-" + name);
        ASSERT_EQ(RunIn(dir, "mkdir -p '" + out + "'"), 0);
        // Our text has the CR LF line ends of the platform it is made for;
        // uudecode reads Unix text.
        const std::string command = std::string(c.peer) == "uudecode"
                                        ? "tr -d '\\r' < '" + enc + "' | (cd '" + out + "' && uudecode)"
                                        : "uudeview -i -q -p '" + out + "/' '" + enc + "'";
        EXPECT_EQ(RunIn(dir, command), 0);
        EXPECT_TRUE(ReadAll(Join(out, name)) == data) << ReadAll(Join(out, name)).size() << " bytes";
    }
}

// And what the peers encode, of every size, decodes here: a file of fewer
// than 45 bytes has no full line to name its alphabet by.
TEST(UuCoding, DecodesWhatThePeersEncodeOfEverySize) {
    const std::string dir = ScratchDir("uu-peerwrite");
    struct Case {
        const char* command;  // run on the file f.bin in dir, writing the text to stdout
        const char* kind;
    };
    int run = 0;
    for (Case c : {Case{"uuencode f.bin f.bin", "UUdecode"}, {"uuenview -u f.bin", "UUdecode"},
                   {"uuenview -x f.bin", "XXdecode"}}) {
        for (size_t size : {size_t{0}, size_t{1}, size_t{3}, size_t{44}, size_t{45}, size_t{46}, size_t{90},
                            size_t{1000}}) {
            SCOPED_TRACE(std::string(c.command) + ", " + std::to_string(size) + " bytes");
            const std::string data = RandomBytes(size, static_cast<unsigned>(size) + 11);
            WriteAll(Join(dir, "f.bin"), data);
            ASSERT_EQ(std::system(("cd '" + dir + "' && " + c.command + " > f.txt").c_str()), 0);
            const std::string out = Join(dir, "out" + std::to_string(++run));
            Outcome d = Decode(Join(dir, "f.txt"), out);
            EXPECT_EQ(d.raised, 0) << d.raisedCode;
            EXPECT_TRUE(d.errors.empty()) << ::testing::PrintToString(d.errors);
            EXPECT_TRUE(d.endPass);
            EXPECT_EQ(d.kind, c.kind);
            EXPECT_TRUE(ReadAll(Join(out, "f.bin")) == data);
        }
    }
}

TEST(UuCoding, JoinsAPeerEncodingSplitAtLineBoundaries) {
    const std::string dir = ScratchDir("uu-peersplit");
    const std::string data = RandomBytes(20000, 11);
    WriteAll(Join(dir, "big.bin"), data);
    ASSERT_EQ(std::system(("cd '" + dir + "' && uuencode big.bin big.bin > whole.txt").c_str()), 0);
    const std::vector<std::string> l = Lines(ReadAll(Join(dir, "whole.txt")));
    ASSERT_GT(l.size(), 300u);
    // Three parts; the later ones start with data lines and carry a mail
    // header the decoder has to pass over.
    std::string p0, p1 = "Subject: part 2\n\n", p2;
    for (size_t i = 0; i < l.size(); ++i) (i < 150 ? p0 : i < 300 ? p1 : p2) += l[i] + "\n";
    WriteAll(Join(dir, "big.uue"), p0);
    WriteAll(Join(dir, "big.uu1"), p1);
    WriteAll(Join(dir, "big.uu2"), p2);
    Outcome r;
    Outcome d = Decode(Join(dir, "big.uue"), Join(dir, "out"), [&](TUUDecode& u) { AcceptParts(u, r); });
    EXPECT_EQ(r.volumesAsked, (std::vector<std::string>{"big.uu1", "big.uu2"}));
    EXPECT_TRUE(d.endPass);
    // Part 2 met a data line before any "begin": said once, and decoded.
    EXPECT_EQ(d.Count(25240), 1);
    EXPECT_EQ(d.errors.size(), 1u);
    EXPECT_EQ(ReadAll(Join(Join(dir, "out"), "big.bin")), data);
}
#endif

// ---- part files --------------------------------------------------------------------------

TEST(UuCoding, SplitsIntoPartsAndJoinsThemBack) {
    const std::string dir = ScratchDir("uu-parts");
    const std::string data = RandomBytes(45 * 30 + 7, 3);
    WriteAll(Join(dir, "x.bin"), data);
    Outcome e = Encode(Join(dir, "x.bin"), Join(dir, "x.uue"), [](TUUEncode& u) { u.SetKBytesPerVolume(1); });
    ASSERT_EQ(e.count, 1);
    // 31 data lines: 13, 13 and 5.
    for (const char* part : {"x.uue", "x.uu1", "x.uu2"}) EXPECT_TRUE(os::FileExists(Join(dir, part))) << part;
    EXPECT_FALSE(os::FileExists(Join(dir, "x.uu3")));
    auto dataLines = [](const std::vector<std::string>& l) {
        int n = 0;
        for (const std::string& s : l) n += s.size() == 61 && s[0] == 'M';
        return n;
    };
    const std::vector<std::string> first = Lines(ReadAll(Join(dir, "x.uue")));
    const std::vector<std::string> second = Lines(ReadAll(Join(dir, "x.uu1")));
    const std::vector<std::string> last = Lines(ReadAll(Join(dir, "x.uu2")));
    EXPECT_EQ(dataLines(first), 13);
    EXPECT_EQ(dataLines(second), 13);
    EXPECT_EQ(second[0], "part 1");
    EXPECT_EQ(second[1], "begin 644 x.bin");
    EXPECT_EQ(last[0], "part 2");
    EXPECT_EQ(last[last.size() - 3], "end");
    EXPECT_EQ(last[last.size() - 2], std::to_string(data.size()) + " bytes");
    EXPECT_EQ(last.back(), "encoded into 3 file(s)");

    Outcome r;
    Outcome d = Decode(Join(dir, "x.uue"), Join(dir, "out"), [&](TUUDecode& u) { AcceptParts(u, r); });
    EXPECT_EQ(r.volumesAsked, (std::vector<std::string>{"x.uu1", "x.uu2"}));
    EXPECT_TRUE(d.errors.empty());
    EXPECT_TRUE(d.endPass);
    EXPECT_EQ(ReadAll(Join(Join(dir, "out"), "x.bin")), data);

    // Nobody to ask for the next part: the first part's bytes, and "EOL not
    // found".
    Outcome alone = Decode(Join(dir, "x.uue"), Join(dir, "alone"));
    EXPECT_EQ(alone.Count(25168), 1);
    EXPECT_EQ(alone.raised, 0);
    EXPECT_FALSE(alone.endPass);
    EXPECT_FALSE(os::FileExists(Join(Join(dir, "alone"), "x.bin")));

    // A missing part that the user does not name ends the run the same way.
    const std::string solo = ScratchDir("uu-parts-solo");
    WriteAll(Join(solo, "x.uue"), ReadAll(Join(dir, "x.uue")));
    int asked = 0;
    Outcome refused = Decode(Join(solo, "x.uue"), Join(solo, "out"), [&](TUUDecode& u) {
        u.OnNextVolume = [&](TObject*, std::string&, const std::string&, bool exists, bool&) {
            EXPECT_FALSE(exists);
            ++asked;
        };
    });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(refused.Count(25168), 1);

    // A source ending exactly where a part is full adds no part of its own.
    WriteAll(Join(dir, "y.bin"), RandomBytes(45 * 13, 5));
    Encode(Join(dir, "y.bin"), Join(dir, "y.uue"), [](TUUEncode& u) { u.SetKBytesPerVolume(1); });
    EXPECT_FALSE(os::FileExists(Join(dir, "y.uu1")));
    Outcome y = Decode(Join(dir, "y.uue"), Join(dir, "out"));
    EXPECT_TRUE(y.errors.empty());
    EXPECT_EQ(ReadAll(Join(Join(dir, "out"), "y.bin")), RandomBytes(45 * 13, 5));
}

// ---- the decoder's way into a file -----------------------------------------------------

TEST(UuCoding, ChoosesTheAlphabetFromTheHeaderOrTheFirstDataLine) {
    const std::string dir = ScratchDir("uu-alphabet");
    // "h" keeps XX, "M" takes UU: the same 45 bytes in each.
    const std::string bytes45(45, '\x55');
    WriteAll(Join(dir, "b.bin"), bytes45);
    Encode(Join(dir, "b.bin"), Join(dir, "b.xxe"), [](TUUEncode& u) { u.SetCompressMethod(cmXXEncode); });
    Encode(Join(dir, "b.bin"), Join(dir, "b.uue"));
    for (const char* f : {"b.xxe", "b.uue"}) {
        const std::string out = Join(dir, std::string("o-") + f);
        Outcome d = Decode(Join(dir, f), out);
        EXPECT_EQ(d.kind, std::string(f) == "b.xxe" ? "XXdecode" : "UUdecode");
        EXPECT_EQ(ReadAll(Join(out, "b.bin")), bytes45);
    }
    // A first data character that fits neither alphabet.
    WriteAll(Join(dir, "z.uue"), "begin 644 z.txt\nZ\nend\n");
    Outcome z = Decode(Join(dir, "z.uue"), Join(dir, "oz"));
    EXPECT_EQ(z.raisedCode, 25326);
    EXPECT_EQ(z.Count(25326), 1);
    EXPECT_FALSE(os::FileExists(Join(Join(dir, "oz"), "z.txt")));

    // A "table" header supplies an alphabet of its own: here XX's reversed.
    std::string rev(kXxAlphabet, 64);
    std::reverse(rev.begin(), rev.end());
    std::string text = "size 3\ntable\n" + rev.substr(0, 32) + "\n" + rev.substr(32) + "\nbegin 644 t.txt\n";
    // "abc" is 24 22 9 35 in 6-bit values; the count 3.
    text += std::string(1, rev[3]) + rev[24] + rev[22] + rev[9] + rev[35] + "\nend\n";
    WriteAll(Join(dir, "t.uue"), text);
    Outcome t = Decode(Join(dir, "t.uue"), Join(dir, "ot"));
    EXPECT_TRUE(t.errors.empty());
    EXPECT_EQ(ReadAll(Join(Join(dir, "ot"), "t.txt")), "abc");
    // So does "charmap".
    WriteAll(Join(dir, "c.uue"), "charmap " + rev + "\nbegin 644 c.txt\n" + std::string(1, rev[3]) + rev[24] +
                                     rev[22] + rev[9] + rev[35] + "\nend\n");
    Outcome c = Decode(Join(dir, "c.uue"), Join(dir, "oc"));
    EXPECT_EQ(ReadAll(Join(Join(dir, "oc"), "c.txt")), "abc");
}

// Without a header naming the alphabet, a first data line that is no full
// line ("M" in UU, "h" in XX) is taken only as the one line of a file of
// fewer than 45 bytes: closed by the line of length 0 or by "end". Any
// other first character is refused with 25326.
TEST(UuCoding, AFirstLineThatIsNoFullLineMustBeTheLast) {
    const std::string dir = ScratchDir("uu-firstline");
    const std::string xx37 = "Z" + std::string(52, '+');  // 37 zero bytes in XX; 'Z' counts no UU line
    struct Case {
        const char* what;
        std::string body;  // the lines after "begin 644 f.bin"
        int refused;       // 0, or the code raised
        const char* kind;
        std::string bytes;
    };
    const Case cases[] = {
        {"a short UU line and the line of length 0", "#86)C\n`\nend\n", 0, "UUdecode", "abc"},
        {"a short UU line and \"end\"", "#86)C\nend\n", 0, "UUdecode", "abc"},
        {"a short UU line and a blank line", "#86)C\n\nend\n", 0, "UUdecode", "abc"},
        {"a short XX line and the line of length 0", "1MK7X\n+\nend\n", 0, "XXdecode", "abc"},
        {"a short XX line and \"end\"", xx37 + "\nend\n", 0, "XXdecode", std::string(37, '\0')},
        {"the line of length 0 alone", "`\nend\n", 0, "UUdecode", ""},
        {"a short line cut off by the end of the text (no file left)", "#86)C", 0, "UUdecode", ""},
        {"a short UU line with data after it", "#86)C\n#86)C\n`\nend\n", 25326, "", ""},
        {"a short XX line with data after it", xx37 + "\n" + xx37 + "\n+\nend\n", 25326, "", ""},
        {"a count character of neither alphabet", "~86)C\n`\nend\n", 25326, "", ""},
        {"a full UU line", "M" + std::string(60, '`') + "\n`\nend\n", 0, "UUdecode", std::string(45, '\0')},
        {"a full XX line", "h" + std::string(60, '+') + "\n+\nend\n", 0, "XXdecode", std::string(45, '\0')},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = Join(dir, "f" + std::to_string(++n) + ".uue");
        WriteAll(file, "begin 644 f.bin\n" + c.body);
        const std::string out = Join(dir, "out" + std::to_string(n));
        Outcome d = Decode(file, out);
        EXPECT_EQ(d.raisedCode, c.refused);
        if (c.refused) {
            EXPECT_EQ(d.Count(c.refused), 1);
            EXPECT_FALSE(os::FileExists(Join(out, "f.bin")));
            continue;
        }
        EXPECT_EQ(d.kind, c.kind);
        EXPECT_TRUE(ReadAll(Join(out, "f.bin")) == c.bytes);
    }
}

TEST(UuCoding, HostileNamesStayInsideTheExtractFolder) {
    const std::string root = ScratchDir("uu-hostile");
    const std::string dir = Join(root, "deep");
    struct Case {
        const char* name;
        const char* written;  // relative to dir; empty: nothing is written
    };
    for (Case c : {Case{"../../evil.txt", "evil.txt"}, {"..\\..\\evil2.txt", "evil2.txt"},
                   {"/etc/evil3.txt", "etc\\evil3.txt"}, {"C:\\Windows\\evil4.txt", "Windows\\evil4.txt"},
                   {"my file.txt", "my"}, {"..", ""}, {"", ""}}) {
        SCOPED_TRACE(c.name);
        const std::string file = Join(root, "h.uue");
        WriteAll(file, std::string("begin 644 ") + c.name + "\n#86)C\n`\nend\n");
        Outcome d = Decode(file, dir);
        EXPECT_EQ(d.raised, 0);
        if (*c.written) {
            std::string rel = c.written;
            for (char& ch : rel)
                if (ch == '\\') ch = os::PathSeparator();
            EXPECT_EQ(ReadAll(Join(dir, rel)), "abc");
            EXPECT_EQ(d.decoded.rfind(AppendBackslash(SlashToBackslash(dir)), 0), 0u) << d.decoded;
        } else {
            EXPECT_EQ(d.Count(25243), 1);
            EXPECT_EQ(d.decoded, "");
        }
    }
    EXPECT_FALSE(os::FileExists(Join(root, "evil.txt")));
    EXPECT_FALSE(os::FileExists(Join(root, "evil2.txt")));
}

TEST(UuCoding, DamagedTextIsReportedAndDecodingGoesOn) {
    const std::string dir = ScratchDir("uu-damaged");
    auto decode = [&](const std::string& name, const std::string& text, const std::function<void(TUUDecode&)>& s = {}) {
        WriteAll(Join(dir, name), text);
        return Decode(Join(dir, name), Join(dir, "out-" + name), s);
    };
    auto out = [&](const std::string& name, const std::string& file) {
        return ReadAll(Join(Join(dir, "out-" + name), file));
    };

    // No "end": 25168 said, and nothing kept.
    Outcome noEnd = decode("noend.uue", "begin 644 a.txt\n#86)C\n");
    EXPECT_EQ(noEnd.Count(25168), 1);
    EXPECT_EQ(out("noend.uue", "a.txt"), "");
    // A line cut by the end of the input.
    Outcome cut = decode("cut.uue", "begin 644 b.txt\nM" + std::string(60, '8') + "\n&86)C");
    EXPECT_EQ(cut.Count(25167), 1);
    EXPECT_EQ(cut.Count(25168), 1);
    EXPECT_FALSE(os::FileExists(Join(Join(dir, "out-cut.uue"), "b.txt")));
    // Trailing blanks stripped by a mailer stand for zeros, silently.
    Outcome stripped = decode("strip.uue", "begin 644 s.txt\n#86)\n`\nend\n");
    EXPECT_TRUE(stripped.errors.empty());
    EXPECT_EQ(out("strip.uue", "s.txt"), std::string("ab") + char(0x40));
    // Characters outside the alphabet: said once, read as 0.
    const std::string badLine = "M" + std::string(60, 'a') + "\n";
    Outcome bad = decode("bad.uue", "begin 644 c.txt\n" + badLine + badLine + "`\nend\n");
    EXPECT_EQ(bad.Count(25241), 1);
    EXPECT_EQ(out("bad.uue", "c.txt"), std::string(90, '\0'));
    // Lines that are no data lines (empty, or starting outside the
    // alphabet) are passed over.
    Outcome junk = decode("junk.uue", "begin 644 j.txt\n#86)C\n\n~~~ junk\n#86)C\n`\nend\n");
    EXPECT_TRUE(junk.errors.empty());
    EXPECT_EQ(out("junk.uue", "j.txt"), "abcabc");
    // An XX line that begins with "end" is data, not the end (0xCE 0x90
    // encode as "nd" after the count character "e" of 42 bytes).
    const std::string e42 = "\xCE\x90" + std::string(40, 'x');
    WriteAll(Join(dir, "e.bin"), e42);
    Encode(Join(dir, "e.bin"), Join(dir, "e.xxe"), [](TUUEncode& u) { u.SetCompressMethod(cmXXEncode); });
    std::string xxText = ReadAll(Join(dir, "e.xxe"));
    ASSERT_NE(xxText.find("\r\nend"), xxText.find("\r\nend\r\n"));
    Outcome endLike = decode("e2.xxe", xxText);
    EXPECT_EQ(out("e2.xxe", "e.bin"), e42);

    // No "begin" within MaxHeaderLines.
    std::string late;
    for (int i = 0; i < 20; ++i) late += "text line\n";
    late += "begin 644 l.txt\n#86)C\n`\nend\n";
    Outcome limited = decode("late.uue", late, [](TUUDecode& u) { u.SetMaxHeaderLines(10); });
    EXPECT_EQ(limited.raisedCode, 25123);
    EXPECT_EQ(limited.Count(25123), 1);
    Outcome enough = decode("late2.uue", late);
    EXPECT_EQ(out("late2.uue", "l.txt"), "abc");
    // "begin" and nothing after it.
    Outcome nothing = decode("nothing.uue", "begin 644 n.txt\n\n\n\n\n\n\n\n\n\n");
    EXPECT_EQ(nothing.raisedCode, 25266);
    EXPECT_FALSE(os::FileExists(Join(Join(dir, "out-nothing.uue"), "n.txt")));
    // Very long lines and binary garbage after "begin" end with a message.
    Outcome garbage =
        decode("garbage.uue", "begin 644 g.txt\n" + std::string(100000, 'M') + "\n" + RandomBytes(5000, 1));
    EXPECT_GE(garbage.errors.size(), 1u);
}

// The text of each part goes to a temporary file beside it and is moved
// over the part's name only when the part is whole: a run that fails leaves
// a file of that name as it was, and no temporary file behind.
TEST(UuCoding, PartsAreWrittenAsideAndMovedIntoPlace) {
    const std::string dir = ScratchDir("uu-aside");
    const std::string src = Join(dir, "s.bin");
    const std::string data = RandomBytes(100000, 13);
    WriteAll(src, data);
    auto temporaries = [&] {
        int found = 0;
        os::Finder finder;
        os::FindData fd;
        for (int rc = finder.First(Join(dir, "*.tmp"), fd); rc == 0; rc = finder.Next(fd)) ++found;
        return found;
    };
    // Progress comes after each 32768 bytes read; a cancel takes at the
    // next read, so in the part that holds byte 32768 (13 lines of 45 bytes
    // to a part of 1 KB).
    const std::string cancelledPart = UuEncNextVolumeName("o.uue", 32768 / (13 * 45));
    struct Case {
        const char* what;
        int kb;              // KBytesPerVolume
        bool cancel;         // cancelled at the first progress after a read
        std::string old;     // the part that is there already
        bool oldStays;
    };
    for (const Case& c : {Case{"one file, cancelled", 0, true, "o.uue", true},
                          Case{"one file, whole", 0, false, "o.uue", false},
                          Case{"parts, cancelled in a later one", 1, true, cancelledPart, true},
                          Case{"parts, whole", 1, false, cancelledPart, false}}) {
        SCOPED_TRACE(c.what);
        WriteAll(Join(dir, c.old), "old");
        std::vector<std::string> seen;  // the old part's text at each progress
        std::vector<int> aside;         // the temporary files there then
        Outcome r = Encode(src, Join(dir, "o.uue"), [&](TUUEncode& u) {
            u.SetKBytesPerVolume(c.kb);
            u.OnProgress = [&, &u = u](TObject*, uint8_t, uint8_t) {
                // Written to so far: a temporary file, not the part's name.
                seen.push_back(ReadAll(Join(dir, c.old)));
                aside.push_back(temporaries());
                if (c.cancel && aside.size() == 2) u.SetCancel(true);
            };
        });
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen[0], "old");
        // The first report comes as the file begins, before any part is open.
        ASSERT_GE(aside.size(), 2u);
        EXPECT_EQ(aside[0], 0);
        for (size_t i = 1; i < aside.size(); ++i) EXPECT_EQ(aside[i], 1) << i;
        EXPECT_EQ(temporaries(), 0);
        EXPECT_EQ(r.raisedCode, c.cancel ? 25400 : 0);
        if (c.oldStays) {
            EXPECT_EQ(ReadAll(Join(dir, c.old)), "old");
        } else {
            EXPECT_NE(ReadAll(Join(dir, c.old)).find("begin 644 s.bin"), std::string::npos);
            Outcome back;
            const std::string out = Join(dir, "out-" + std::to_string(c.kb));
            Outcome d = Decode(Join(dir, "o.uue"), out, [&](TUUDecode& u) { AcceptParts(u, back); });
            EXPECT_TRUE(d.endPass);
            EXPECT_TRUE(ReadAll(Join(out, "s.bin")) == data);
        }
        for (int i = 1; i < 200; ++i) os::FileDelete(Join(dir, UuEncNextVolumeName("o.uue", i)));
        os::FileDelete(Join(dir, "o.uue"));
    }

    // An existing output that may not be written, and the handler says no:
    // it stays as it is and opening it is what fails.
    const std::string locked = Join(dir, "locked.uue");
    WriteAll(locked, "old");
    ASSERT_TRUE(os::SetAttributes(locked, os::faReadOnly));
    bool askedWrite = false;
    Outcome no = Encode(src, locked, [&](TUUEncode& u) {
        u.OnNonWriteableArchive = [&](TObject*, const std::string&, bool& write) {
            askedWrite = true;
            write = false;
        };
    });
    EXPECT_TRUE(askedWrite);
    EXPECT_EQ(no.Count(25235), 1);
    EXPECT_EQ(no.count, 0);
    os::SetAttributes(locked, os::faArchive);
    EXPECT_EQ(ReadAll(locked), "old");
    EXPECT_EQ(temporaries(), 0);
}

TEST(UuCoding, EncoderRefusesWhatWouldLoseData) {
    const std::string dir = ScratchDir("uu-encref");
    const std::string src = Join(dir, "s.txt");
    WriteAll(src, "keep me");
    // No name to write to: said, and raised.
    Outcome noName = Encode(src, "");
    EXPECT_EQ(noName.Count(25243), 1);
    EXPECT_EQ(noName.raisedCode, 25243);
    Outcome same = Encode(src, src);
    EXPECT_EQ(same.Count(25171), 1);
    EXPECT_EQ(ReadAll(src), "keep me");
    Outcome missing = Encode(Join(dir, "none.txt"), Join(dir, "none.uue"));
    EXPECT_EQ(missing.Count(25235), 1);
    EXPECT_FALSE(os::FileExists(Join(dir, "none.uue")));

    // An existing output: the answer to OnFileExists decides.
    WriteAll(Join(dir, "o.uue"), "old");
    Outcome skipped = Encode(src, Join(dir, "o.uue"), [](TUUEncode& u) {
        u.OnFileExists = [](TObject*, const std::string&, TDateTime, TOverwriteMode& m) { m = omSkip; };
    });
    EXPECT_EQ(skipped.count, 0);
    EXPECT_EQ(ReadAll(Join(dir, "o.uue")), "old");
    Outcome over = Encode(src, Join(dir, "o.uue"), [](TUUEncode& u) {
        u.OnFileExists = [](TObject*, const std::string&, TDateTime, TOverwriteMode& m) { m = omOverwrite; };
    });
    EXPECT_EQ(over.count, 1);
    EXPECT_NE(ReadAll(Join(dir, "o.uue")).find("begin 644 s.txt"), std::string::npos);
}

}  // namespace
}  // namespace bramble
