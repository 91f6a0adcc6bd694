#include "engine/core/helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/core/os.h"
#include "engine/core/streams.h"
#include "support/testenv.h"

namespace bramble {
namespace {

struct Stamp {
    int y, mo, d, h, mi, s;
    bool operator==(const Stamp&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Stamp& t) {
    return os << t.y << '-' << t.mo << '-' << t.d << ' ' << t.h << ':' << t.mi << ':' << t.s;
}

Stamp Decode(TDateTime v) {
    Stamp t{};
    DecodeDateTime(v, t.y, t.mo, t.d, t.h, t.mi, t.s);
    return t;
}

// What UnixToDateTime takes off for the machine's zone.
int64_t ZoneSeconds() {
    const int bias = os::TimeZoneBias();
    return std::abs(bias) < 13 ? int64_t{bias} * 3600 : int64_t{bias} * 60;
}

// ---- time ------------------------------------------------------------------

TEST(DateTime, EncodesDaysSince1899AndDecodesBack) {
    EXPECT_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0), 0.0);
    EXPECT_EQ(EncodeDateTime(1980, 1, 1, 0, 0, 0), 29221.0);
    EXPECT_EQ(EncodeDateTime(2000, 1, 1, 18, 0, 0), 36526.75);
    // Before the epoch the fraction still counts forwards from midnight.
    EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0), -1.25);
    EXPECT_EQ(Decode(-1.25), (Stamp{1899, 12, 29, 6, 0, 0}));

    std::mt19937 rng(1);
    for (int i = 0; i < 5000; ++i) {
        Stamp t{1 + int(rng() % 9999), 1 + int(rng() % 12), 1 + int(rng() % 28),
                int(rng() % 24), int(rng() % 60), int(rng() % 60)};
        ASSERT_EQ(Decode(EncodeDateTime(t.y, t.mo, t.d, t.h, t.mi, t.s)), t);
    }
    EXPECT_EQ(Decode(EncodeDateTime(2000, 2, 29, 23, 59, 59)), (Stamp{2000, 2, 29, 23, 59, 59}));
    // Rounding to the millisecond carries into the next day.
    EXPECT_EQ(Decode(36526.0 - 1e-10), (Stamp{2000, 1, 1, 0, 0, 0}));
}

TEST(DateTime, OutOfRangeFieldsAndValuesAreClamped) {
    EXPECT_EQ(Decode(EncodeDateTime(2001, 2, 30, 25, 61, 99)), (Stamp{2001, 2, 28, 23, 59, 59}));
    EXPECT_EQ(Decode(EncodeDateTime(0, 0, 0, -1, -1, -1)), (Stamp{1, 1, 1, 0, 0, 0}));
    EXPECT_EQ(Decode(1e300), (Stamp{9999, 12, 31, 23, 59, 59}));
    EXPECT_EQ(Decode(-1e300), (Stamp{1, 1, 1, 0, 0, 0}));
    EXPECT_EQ(Decode(std::nan("")), (Stamp{1899, 12, 30, 0, 0, 0}));
}

TEST(DosDate, PacksAndUnpacksFieldsWithSensibleLimits) {
    const uint32_t stamp = 0x52CF6DAF;  // 2021-06-15 13:45:30
    EXPECT_EQ(Decode(FileDateToDateTime(stamp)), (Stamp{2021, 6, 15, 13, 45, 30}));
    EXPECT_EQ(DateTimeToFileDate(EncodeDateTime(2021, 6, 15, 13, 45, 30)), stamp);
    // Odd seconds are stored halved.
    EXPECT_EQ(DateTimeToFileDate(EncodeDateTime(2021, 6, 15, 13, 45, 31)), stamp);

    EXPECT_EQ(DosDateToDateTime(0), 29221.0);
    EXPECT_EQ(DosDateToDateTime(stamp), FileDateToDateTime(stamp));
    // Zero month and day, and a time with every bit set.
    EXPECT_EQ(FileDateToDateTime(0), 29221.0);
    EXPECT_EQ(Decode(FileDateToDateTime(0x0021FFFF)), (Stamp{1980, 1, 1, 23, 59, 59}));
    // Day 31 of February, in a common and in a leap year; month 15.
    EXPECT_EQ(Decode(FileDateToDateTime(0x025F0000)), (Stamp{1981, 2, 28, 0, 0, 0}));
    EXPECT_EQ(Decode(FileDateToDateTime(0x005F0000)), (Stamp{1980, 2, 29, 0, 0, 0}));
    EXPECT_EQ(Decode(FileDateToDateTime(0x01EA0000)), (Stamp{1980, 12, 10, 0, 0, 0}));

    EXPECT_EQ(DateTimeToFileDate(EncodeDateTime(1979, 12, 31, 23, 59, 59)), 0x00210000u);
    EXPECT_EQ(DateTimeToFileDate(EncodeDateTime(1601, 1, 1, 0, 0, 0)), 0x00210000u);
    EXPECT_EQ(DateTimeToFileDate(EncodeDateTime(1980, 1, 1, 0, 0, 0)), 0x00210000u);
    EXPECT_EQ(DateTimeToFileDate(EncodeDateTime(2107, 12, 31, 23, 59, 59)), 0xFF9FBF7Du);
    EXPECT_EQ(DateTimeToFileDate(EncodeDateTime(2108, 1, 1, 0, 0, 0)), 0xFF9FBF7Du);

    EXPECT_EQ(SwapWords(0x12345678u), 0x56781234u);
}

TEST(DosDate, FileTimesGoThroughLocalTime) {
    // 2021-06-15 13:45:30 as a FILETIME count.
    const uint64_t asFileTime = 132682383300000000ull;
    const uint32_t stamp = 0x52CF6DAF;
    EXPECT_EQ(DosDateToFileTime(stamp), os::LocalToFileTime(asFileTime));
    EXPECT_EQ(FileTimeToDosDate(os::LocalToFileTime(asFileTime)), stamp);
    // Sub-second ticks and the odd second are dropped.
    EXPECT_EQ(FileTimeToDosDate(os::LocalToFileTime(asFileTime + 19999999)), stamp);

    std::mt19937 rng(2);
    for (int i = 0; i < 2000; ++i) {
        const uint32_t date = (rng() % 128) << 9 | (1 + rng() % 12) << 5 | (1 + rng() % 28);
        // Mid-day, away from the hours daylight saving skips or repeats.
        const uint32_t time = (10 + rng() % 4) << 11 | (rng() % 60) << 5 | rng() % 30;
        const uint32_t packed = date << 16 | time;
        ASSERT_EQ(FileTimeToDosDate(DosDateToFileTime(packed)), packed) << std::hex << packed;
    }
    EXPECT_EQ(DosDateToFileTime(0), DosDateToFileTime(0x00210000));
    // Outside what DOS stamps hold.
    EXPECT_EQ(FileTimeToDosDate(0), 0x00210000u);
    EXPECT_EQ(FileTimeToDosDate(std::numeric_limits<uint64_t>::max() / 2), 0xFF9FBF7Du);
}

TEST(UnixTime, CountsLeapDaysAndTheFixedOffset) {
    const int64_t march1 = DateTimeToUnix(EncodeDateTime(2000, 3, 1, 0, 0, 0));
    EXPECT_EQ(march1, 951868800 + 25200);
    EXPECT_EQ(march1 - DateTimeToUnix(EncodeDateTime(2000, 2, 28, 0, 0, 0)), 2 * 86400);
    EXPECT_EQ(DateTimeToUnix(EncodeDateTime(2021, 6, 15, 13, 45, 30)), 1623764730 + 25200);
    EXPECT_EQ(DateTimeToUnix(EncodeDateTime(1970, 1, 1, 0, 0, 0)), 25200);
    EXPECT_EQ(DateTimeToUnix(EncodeDateTime(1972, 12, 31, 0, 0, 0)), (365 + 365 + 365) * 86400 + 25200);
}

TEST(UnixTime, ReverseTakesOffTheZoneAndMatchesTheForwardRule) {
    EXPECT_EQ(Decode(UnixToDateTime(0)), (Stamp{1980, 1, 1, 0, 1, 0}));

    const int64_t zone = ZoneSeconds();
    EXPECT_EQ(Decode(UnixToDateTime(951868800 + 5 * 3600 + zone)), (Stamp{2000, 3, 1, 5, 0, 0}));
    EXPECT_EQ(Decode(UnixToDateTime(951868800 - 1 + zone)), (Stamp{2000, 2, 29, 23, 59, 59}));
    EXPECT_EQ(Decode(UnixToDateTime(-86400 * 400 + zone)), (Stamp{1968, 11, 27, 0, 0, 0}));

    // Both directions share the calendar: every stamp of 1970..2099 comes
    // back once the fixed offset and the zone are accounted for.
    std::mt19937 rng(4);
    for (int i = 0; i < 3000; ++i) {
        Stamp t{1970 + int(rng() % 130), 1 + int(rng() % 12), 1 + int(rng() % 28),
                int(rng() % 24), int(rng() % 60), int(rng() % 60)};
        const int64_t secs = DateTimeToUnix(EncodeDateTime(t.y, t.mo, t.d, t.h, t.mi, t.s)) - 25200 + zone;
        if (secs == 0) continue;
        ASSERT_EQ(Decode(UnixToDateTime(secs)), t);
    }
    // Far outside the calendar: clamped, no overflow.
    EXPECT_EQ(Decode(UnixToDateTime(std::numeric_limits<int64_t>::max())).y, 9999);
    EXPECT_EQ(Decode(UnixToDateTime(std::numeric_limits<int64_t>::min())).y, 1);
}

// ---- octal -----------------------------------------------------------------

TEST(Octal, WritesRightAlignedFixedWidthFields) {
    EXPECT_EQ(IntToOctal(420, 8, true), std::string("   644 \0", 8));
    EXPECT_EQ(IntToOctal(420, 8, false), "     644");
    EXPECT_EQ(IntToOctal(0, 12, false), "           0");
    EXPECT_EQ(IntToOctal(0, 3, true), std::string("0 \0", 3));
    // Too many digits for the field: the low ones are kept, width holds.
    EXPECT_EQ(IntToOctal(01234567, 4, false), "4567");
    EXPECT_EQ(IntToOctal(01234567, 6, true), std::string("4567 \0", 6));
    EXPECT_EQ(IntToOctal(-5, 4, false), "   0");
    EXPECT_EQ(IntToOctal(7, 0, true), "");
    EXPECT_EQ(IntToOctal(7, 1, true), std::string("\0", 1));
    EXPECT_EQ(IntToOctal(7, 2, true), std::string(" \0", 2));
}

TEST(Octal, ReadsDigitsSkippingOtherCharactersAndSaturates) {
    EXPECT_EQ(OctalToInt("0000644 "), 420);
    EXPECT_EQ(OctalToInt(std::string(" 17\0 ", 5)), 15);
    EXPECT_EQ(OctalToInt("1 2x3"), 0123);
    EXPECT_EQ(OctalToInt(""), 0);
    EXPECT_EQ(OctalToInt("89 abc"), 0);
    EXPECT_EQ(OctalToInt("777777777777777777777"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(OctalToInt("1000000000000000000000"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(OctalToInt(std::string(300, '7')), std::numeric_limits<int64_t>::max());

    for (int64_t v : {int64_t{0}, int64_t{1}, int64_t{8}, int64_t{0777}, int64_t{07777777777}})
        EXPECT_EQ(OctalToInt(IntToOctal(v, 12, true)), v);
}

// ---- wildcard ----------------------------------------------------------------

// The matching rule written down directly, exponential and all.
char RefUp(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }

bool RefAllStars(const std::string& s, size_t from) {
    for (size_t k = from; k < s.size(); ++k)
        if (s[k] != '*') return false;
    return true;
}

bool RefMatch(const std::string& a, const std::string& b) {
    if (a.empty() && b.empty()) return true;
    if (a.empty()) return b[0] == '*';
    if (b.empty()) return a[0] == '*';
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i] == '*') {
            if (i + 1 == a.size()) return true;
            for (size_t k = j; k <= b.size(); ++k)
                if (RefMatch(a.substr(i + 1), b.substr(k))) return true;
            return false;
        }
        if (b[j] == '*') {
            if (j + 1 == b.size()) return true;
            for (size_t k = i; k <= a.size(); ++k)
                if (RefMatch(a.substr(k), b.substr(j + 1))) return true;
            return false;
        }
        if (a[i] != '?' && b[j] != '?' && RefUp(a[i]) != RefUp(b[j])) return false;
        ++i;
        ++j;
    }
    return i == a.size() ? RefAllStars(b, j) : RefAllStars(a, i);
}

bool RefWildcard(std::string a, std::string b, bool nameOnly) {
    if (nameOnly) {
        a = a.substr(a.find_last_of("\\/:") == std::string::npos ? 0 : a.find_last_of("\\/:") + 1);
        b = b.substr(b.find_last_of("\\/:") == std::string::npos ? 0 : b.find_last_of("\\/:") + 1);
    }
    auto prepare = [](std::string& side, const std::string& other) {
        if (!side.empty() && side.back() == '.') side.pop_back();
        if (side.find('.') == std::string::npos && other.find(".*") != std::string::npos) side += ".*";
    };
    prepare(a, b);
    prepare(b, a);
    return RefMatch(a, b);
}

TEST(Wildcard, HonoursExtensionAndDotRules) {
    EXPECT_TRUE(WildcardMatch("*.*", "readme", false));
    EXPECT_TRUE(WildcardMatch("*.*", "readme.txt", false));
    EXPECT_TRUE(WildcardMatch("readme", "*.*", false));  // the rule is symmetric
    EXPECT_TRUE(WildcardMatch("README.", "readme", false));
    EXPECT_TRUE(WildcardMatch("readme", "readme.", false));
    EXPECT_FALSE(WildcardMatch("README.", "readme.txt", false));
    EXPECT_FALSE(WildcardMatch("*.txt", "readme", false));
    EXPECT_TRUE(WildcardMatch("*", "readme.txt", false));
    EXPECT_TRUE(WildcardMatch("*.TXT", "Notes.txt", false));
    EXPECT_FALSE(WildcardMatch("*.txt", "notes.doc", false));
    EXPECT_TRUE(WildcardMatch("n?TES.*", "notes.md", false));
    EXPECT_FALSE(WildcardMatch("\xE9.txt", "\xC9.txt", false));  // ASCII case only
}

TEST(Wildcard, WildcardsWorkOnBothSidesAndAtTheEnds) {
    EXPECT_TRUE(WildcardMatch("abc", "a?c", false));
    EXPECT_TRUE(WildcardMatch("abc.txt", "*.txt", false));
    EXPECT_TRUE(WildcardMatch("a*", "a", false));
    EXPECT_TRUE(WildcardMatch("a**", "a", false));
    EXPECT_FALSE(WildcardMatch("a?", "a", false));
    EXPECT_FALSE(WildcardMatch("a*c", "ab", false));
    EXPECT_TRUE(WildcardMatch("", "", false));
    EXPECT_TRUE(WildcardMatch("", "*x", false));  // an empty side takes a side opening with '*'
    EXPECT_FALSE(WildcardMatch("", "a", false));
    EXPECT_FALSE(WildcardMatch("abc", "", false));
}

TEST(Wildcard, NameOnlyComparesFileNameParts) {
    EXPECT_TRUE(WildcardMatch("dir\\*.txt", "other/sub\\x.txt", true));
    EXPECT_FALSE(WildcardMatch("dir\\*.txt", "other\\x.txt", false));
    EXPECT_TRUE(WildcardMatch("C:x.txt", "x.TXT", true));
    EXPECT_TRUE(WildcardMatch("dir\\*.txt", "dir\\x.txt", false));
}

TEST(Wildcard, AgreesWithTheRecursiveRuleOnRandomNames) {
    std::mt19937 rng(9);
    const std::string alphabet = "aAbB.*?";
    const std::string pathAlphabet = "ab.*?\\:";
    auto random = [&](const std::string& from, size_t maxLen) {
        std::string s(rng() % (maxLen + 1), ' ');
        for (char& c : s) c = from[rng() % from.size()];
        return s;
    };
    for (int i = 0; i < 30000; ++i) {
        const bool paths = i % 5 == 0;
        const std::string a = random(paths ? pathAlphabet : alphabet, 7);
        const std::string b = random(paths ? pathAlphabet : alphabet, 7);
        ASSERT_EQ(WildcardMatch(a, b, paths), RefWildcard(a, b, paths)) << '"' << a << "\" \"" << b << '"';
    }
}

TEST(Wildcard, PathologicalMasksAnswerQuickly) {
    const std::string as(2500, 'a');
    EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*b", as, false));
    EXPECT_TRUE(WildcardMatch("*a*a*a*a*a*a*a*a*b", as + "b", false));
    std::string stars;
    for (int i = 0; i < 1250; ++i) stars += "*a";
    EXPECT_FALSE(WildcardMatch(stars + "b", as, false));
    EXPECT_TRUE(WildcardMatch(stars, "*" + as, false));
}

// ---- names -------------------------------------------------------------------

TEST(Names, PathPartsTreatBothSlashesAndColonAsSeparators) {
    EXPECT_EQ(ExtractFileName("C:\\dir\\file.txt"), "file.txt");
    EXPECT_EQ(ExtractFileName("dir/sub/file"), "file");
    EXPECT_EQ(ExtractFileName("C:file"), "file");
    EXPECT_EQ(ExtractFileName("dir\\"), "");
    EXPECT_EQ(ExtractFileName("plain"), "plain");
    EXPECT_EQ(ExtractFilePath("C:\\dir\\file.txt"), "C:\\dir\\");
    EXPECT_EQ(ExtractFilePath("/tmp/x/y"), "/tmp/x/");
    EXPECT_EQ(ExtractFilePath("plain"), "");
    EXPECT_EQ(ExtractFileExt("a.tar.gz"), ".gz");
    EXPECT_EQ(ExtractFileExt("dir.x\\file"), "");
    EXPECT_EQ(ExtractFileExt("dir.x/file"), "");
    EXPECT_EQ(ExtractFileExt("name."), ".");
    EXPECT_EQ(ChangeFileExt("a.tar.gz", ""), "a.tar");
    EXPECT_EQ(ChangeFileExt("dir.x\\file", ".zip"), "dir.x\\file.zip");
    EXPECT_EQ(ChangeFileExt("f.txt", ".bak"), "f.bak");
    EXPECT_EQ(UpperCase("abc-xyz \xE9"), "ABC-XYZ \xE9");
    EXPECT_EQ(LastDotPos("a.b.c"), 3u);
    EXPECT_EQ(LastDotPos("abc"), 3u);
    EXPECT_EQ(LastDotPos(""), 0u);
}

TEST(Names, SeparatorsAndTrailingBackslashes) {
    EXPECT_EQ(SlashToBackslash("a/b/c"), "a\\b\\c");
    EXPECT_EQ(BackslashToSlash("a\\b\\c"), "a/b/c");
    EXPECT_EQ(AppendBackslash(""), "");
    EXPECT_EQ(AppendBackslash("C:\\dir"), "C:\\dir\\");
    EXPECT_EQ(AppendBackslash("C:\\dir\\"), "C:\\dir\\");
    EXPECT_EQ(AppendBackslash("/tmp/"), "/tmp/");
    EXPECT_EQ(RemoveBackslash("C:\\dir\\"), "C:\\dir");
    EXPECT_EQ(RemoveBackslash("C:\\dir"), "C:\\dir");
    EXPECT_EQ(RemoveBackslash("a\\\\"), "a\\");
    EXPECT_EQ(RemoveBackslash(""), "");
    EXPECT_TRUE(IsUNCPath("\\\\srv"));
    EXPECT_TRUE(IsUNCPath("\\\\srv\\share"));
    EXPECT_FALSE(IsUNCPath("\\\\"));
    EXPECT_FALSE(IsUNCPath("C:\\x"));
    EXPECT_FALSE(IsUNCPath("\\x\\y"));
}

TEST(Names, CodePageConversionsAndSeparators) {
    // u-umlaut is 0x81 in the OEM code page and 0xFC in the ANSI one. Both
    // directions turn '/' into '\' and leave '\' as it is.
    struct Case {
        const char* oem;
        const char* ansi;
    };
    for (Case c : {Case{"dir\\f\x81r.txt", "dir\\f\xFCr.txt"}, {"dir\\f.txt", "dir\\f.txt"},
                   {"a\\b\\c\\", "a\\b\\c\\"}, {"", ""}}) {
        SCOPED_TRACE(c.ansi);
        EXPECT_EQ(OemToAnsiName(c.oem), c.ansi);
        EXPECT_EQ(AnsiToOemName(c.ansi), c.oem);
        std::string oemSlashes = c.oem, ansiSlashes = c.ansi;
        std::replace(oemSlashes.begin(), oemSlashes.end(), '\\', '/');
        std::replace(ansiSlashes.begin(), ansiSlashes.end(), '\\', '/');
        EXPECT_EQ(OemToAnsiName(oemSlashes), c.ansi);
        EXPECT_EQ(AnsiToOemName(ansiSlashes), c.oem);
    }
}

TEST(Names, NormalizeSpecListKeepsFileNamePartsOnly) {
    std::vector<std::string> specs = {"dir/sub/*.txt", "", "c:x.doc", "a\\b\\", "", "plain", "*.*"};
    NormalizeSpecList(specs);
    EXPECT_EQ(specs, (std::vector<std::string>{"*.txt", "x.doc", "plain", "*.*"}));
    std::vector<std::string> none = {"", ""};
    NormalizeSpecList(none);
    EXPECT_TRUE(none.empty());
}

TEST(Text, TokensShiftsDigitsAndPercents) {
    std::string text = "a, b, c";
    EXPECT_EQ(SplitToken(text, ", "), "a");
    EXPECT_EQ(text, "b, c");
    EXPECT_EQ(SplitToken(text, ";"), "b, c");
    EXPECT_EQ(text, "");
    text = "x";
    EXPECT_EQ(SplitToken(text, ""), "x");
    EXPECT_EQ(text, "");
    text = ",tail";
    EXPECT_EQ(SplitToken(text, ","), "");
    EXPECT_EQ(text, "tail");

    EXPECT_EQ(ShiftChars("abc", false, 1), "bcd");
    EXPECT_EQ(ShiftChars("bcd", true, 1), "abc");
    EXPECT_EQ(ShiftChars("\xFF", false, 1), std::string(1, '\0'));
    EXPECT_EQ(ShiftChars("a", true, std::numeric_limits<int>::min()), "a");

    EXPECT_TRUE(IsDigits(""));
    EXPECT_TRUE(IsDigits("0123456789"));
    EXPECT_FALSE(IsDigits("12a"));
    EXPECT_FALSE(IsDigits("-1"));
    EXPECT_EQ(MinInt(3, -2), -2);

    EXPECT_EQ(PercentOf(1, 3), 33);
    EXPECT_EQ(PercentOf(2, 3), 67);
    EXPECT_EQ(PercentOf(1, 8), 12);  // 12.5: halves go to even
    EXPECT_EQ(PercentOf(3, 8), 38);  // 37.5
    EXPECT_EQ(PercentOf(5, 4), 100);
    EXPECT_EQ(PercentOf(1, 0), 0);
    EXPECT_EQ(PercentOf(1, -5), 0);
    EXPECT_EQ(PercentOf(-1, 10), 0);
    EXPECT_EQ(PercentOf(std::numeric_limits<int64_t>::max() / 2, std::numeric_limits<int64_t>::max()), 50);

    for (uint16_t sig : {0x8B1F, 0x9E1F, 0x9D1F, 0xA01F, 0x1E1F}) EXPECT_TRUE(IsGZipSignature(sig));
    EXPECT_FALSE(IsGZipSignature(0x1F8B));
    EXPECT_FALSE(IsGZipSignature(0x8B1E));
    EXPECT_FALSE(IsGZipSignature(0));
}

// ---- files -------------------------------------------------------------------

TEST(Files, ExistenceAndWritability) {
    const std::string dir = test::ScratchDir("helpers-files");
    const std::string file = test::Join(dir, "a.txt");
    const std::string locked = test::Join(dir, "ro.txt");
    test::WriteAll(file, "abc");
    test::WriteAll(locked, "abc");
    ASSERT_TRUE(os::SetAttributes(locked, os::faReadOnly));

    EXPECT_TRUE(DirExists(dir));
    EXPECT_FALSE(DirExists(file));
    EXPECT_FALSE(DirExists(test::Join(dir, "missing")));
    EXPECT_TRUE(FindFileExists(file));
    EXPECT_TRUE(FindFileExists(test::Join(dir, "*.txt")));
    EXPECT_FALSE(FindFileExists(test::Join(dir, "*.zip")));
    EXPECT_TRUE(IsWritableFile(file));
    EXPECT_FALSE(IsWritableFile(locked));
    EXPECT_FALSE(IsWritableFile(dir));
    EXPECT_FALSE(IsWritableFile(test::Join(dir, "missing")));
    os::SetAttributes(locked, 0);

    const std::string temp = GetSystemTempDir();
    ASSERT_FALSE(temp.empty());
    EXPECT_TRUE(temp.back() == '\\' || temp.back() == '/');
    EXPECT_TRUE(DirExists(temp));
}

TEST(Files, FindDosSkipsUnwantedAttributesAndFillsRecords) {
    const std::string dir = test::ScratchDir("helpers-find");
    test::WriteAll(test::Join(dir, "one.txt"), "12345");
    test::WriteAll(test::Join(dir, "two.txt"), "");
    ASSERT_TRUE(os::DirCreate(test::Join(dir, "sub")));
    os::FileTimes times;
    times.lastWrite = os::LocalToFileTime(132682383300000000ull);  // 2021-06-15 13:45:30
    ASSERT_TRUE(os::SetTimes(test::Join(dir, "one.txt"), times));

    auto collect = [&](uint32_t attr) {
        std::set<std::string> names;
        TSearchRecDos rec;
        for (int rc = FindFirstDos(test::Join(dir, "*"), attr, rec); rc == 0; rc = FindNextDos(rec)) {
            names.insert(rec.Name);
            if (rec.Name == "one.txt") {
                EXPECT_EQ(rec.Size, 5);
                EXPECT_EQ(rec.Time, 0x52CF6DAFu);
                EXPECT_EQ(rec.Attr & os::faDirectory, 0u);
            }
        }
        FindCloseDos(rec);
        EXPECT_EQ(rec.Finder, nullptr);
        return names;
    };
    EXPECT_EQ(collect(os::faArchive), (std::set<std::string>{"one.txt", "two.txt"}));
    const std::set<std::string> withDirs = collect(os::faArchive | os::faDirectory);
    EXPECT_TRUE(withDirs.count("sub"));
    EXPECT_TRUE(withDirs.count("one.txt"));

    TSearchRecDos rec;
    EXPECT_NE(FindFirstDos(test::Join(dir, "*.zip"), 0x3F, rec), 0);
    EXPECT_EQ(rec.Finder, nullptr);
    EXPECT_NE(FindNextDos(rec), 0);
}

TEST(Files, ForceDirsCreatesParentsAndRejectsEmptyPath) {
    const std::string dir = test::ScratchDir("helpers-force");
    const std::string deep = test::Join(test::Join(test::Join(dir, "a"), "b"), "c");
    ForceDirs(deep);
    EXPECT_TRUE(DirExists(deep));
    EXPECT_NO_THROW(ForceDirs(deep));  // already there
    const std::string trailing = test::Join(test::Join(dir, "x"), "y") + os::PathSeparator();
    ForceDirs(trailing);
    EXPECT_TRUE(DirExists(test::Join(test::Join(dir, "x"), "y")));
    // Windows-style separators work natively too.
    ForceDirs(dir + "\\p\\q");
    EXPECT_TRUE(DirExists(test::Join(test::Join(dir, "p"), "q")));

    try {
        ForceDirs("");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Unable to create directory");
    }
}

TEST(Files, ForceDirsMakesEveryLevelOfADeepPathAndNothingOfOneTooLong) {
    const std::string dir = test::ScratchDir("helpers-force-deep");
    const std::string sep(1, os::PathSeparator());
    // A thousand levels natively; on Windows what a folder's path may hold
    // (MAX_PATH less room for an 8.3 name).
    std::string deep = dir;
    const size_t room = std::min<size_t>(os::MaxPathLength() - 12, dir.size() + 2000);
    while (deep.size() + 2 <= room) deep += sep + "d";
    ForceDirs(deep + sep);
    EXPECT_TRUE(DirExists(deep));
    // Past the limit not even its first folder is made; at the limit what
    // the platform takes is.
    std::string tooLong = test::Join(dir, "t");
    while (tooLong.size() <= os::MaxPathLength()) tooLong += sep + "t";
    ForceDirs(tooLong);
    EXPECT_FALSE(DirExists(test::Join(dir, "t")));
    ForceDirs(tooLong.substr(0, os::MaxPathLength()));
    EXPECT_TRUE(DirExists(test::Join(dir, "t")));
}

TEST(Files, HeaderStringsAdvanceTheOffset) {
    TMemoryStream stream;
    const std::string bytes = std::string("abc\0defg\0", 9) + std::string(300, 'z');
    stream.Write(bytes.data(), static_cast<int64_t>(bytes.size()));

    int64_t offset = 0;
    EXPECT_EQ(ReadZString(stream, offset), "abc");
    EXPECT_EQ(offset, 4);
    EXPECT_EQ(ReadZString(stream, offset), "defg");
    EXPECT_EQ(offset, 9);
    EXPECT_EQ(ReadZString(stream, offset), std::string(256, 'z'));  // no NUL within reach
    EXPECT_EQ(offset, 9 + 257);

    offset = 2;
    EXPECT_EQ(ReadFixedString(stream, offset, 5), "c def");
    EXPECT_EQ(offset, 7);
    offset = static_cast<int64_t>(bytes.size()) - 2;
    EXPECT_EQ(ReadFixedString(stream, offset, 10), "zz");  // short read
    EXPECT_EQ(offset, static_cast<int64_t>(bytes.size()) + 8);
    EXPECT_EQ(ReadFixedString(stream, offset, 0), "");
}

}  // namespace
}  // namespace bramble
