// Plain routines shared by the whole engine: DOS and Unix time, octal
// fields, the two-sided wildcard matcher behind FileSpec and ExcludeSpec,
// name and separator conversions, small file-system helpers and the path
// functions of the class library.
//
// Path helpers treat '\', '/' and ':' as separators wherever the class
// library treats '\' and ':', so names from archives and native test paths
// work alike. Scans that look for a separator step over double-byte
// characters of the ANSI code page, whose trail byte may equal '\'.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/exception.h"
#include "engine/core/os.h"
#include "engine/core/streams.h"

namespace bramble {

// ---- time ----------------------------------------------------------------

// The class library's date-time: days since 1899-12-30, the fraction is the
// time of day. Before that date the value is negative and the fraction still
// counts forwards from midnight (-1.25 is 1899-12-29 06:00).
using TDateTime = double;

// Out-of-range fields are clamped into range (year 1..9999, month 1..12, day
// to the month's length, hour 0..23, ...) instead of raising: the fields come
// from archive headers, and a listing should show a date, not fail.
TDateTime EncodeDateTime(int Year, int Month, int Day, int Hour, int Min, int Sec, int MSec = 0);
// Rounds to the millisecond first (so 0.99999999 is the next day's 00:00);
// values outside years 1..9999 are clamped to those years.
void DecodeDateTime(TDateTime Value, int& Year, int& Month, int& Day, int& Hour, int& Min,
                    int& Sec);

// DOS packed date-time: date in the high 16 bits ((year-1980)<<9 | month<<5
// | day), time in the low ((hour<<11) | (min<<5) | sec/2). Invalid fields
// are clamped like EncodeDateTime (month 0 -> 1, day 0 -> 1, seconds 60..62
// -> 59, hours 24..31 -> 23), so a zeroed field gives 1980-01-01 00:00.
TDateTime FileDateToDateTime(uint32_t DosDateTime);
// Years before 1980 give 1980-01-01 00:00 (0x00210000), years after 2107 the
// last representable moment, 2107-12-31 23:59:58.
uint32_t DateTimeToFileDate(TDateTime Value);
// 0 (no date stored) gives 1980-01-01 00:00.
TDateTime DosDateToDateTime(uint32_t Packed);
// FILETIME (UTC) -> local time -> DOS packed date<<16 | time. Clamped to
// 1980..2107 like DateTimeToFileDate.
uint32_t FileTimeToDosDate(uint64_t FileTime);
// Seconds since 1970 (UTC), as Unix-made headers store times, to the local
// DOS date-time: the engine's one conversion this way. Its one clamp is the
// DOS range's: a time before 1980 (a negative one too) gives 1980-01-01
// 00:00, a time after 2107 the last representable moment, like
// FileTimeToDosDate.
uint32_t UnixSecondsToDosDate(int64_t Seconds);
// A FILETIME (UTC) as seconds since 1970, clamped to 0..2^32-1 (the range of
// the gzip MTIME field; TAR takes the same): the one conversion the other
// way.
uint32_t FileTimeToUnixSeconds(uint64_t FileTime);
// The inverse: a local DOS date-time to a FILETIME in UTC, to restore stamps.
// 0 is taken as 1980-01-01 00:00.
uint64_t DosDateToFileTime(uint32_t Packed);
// Exchanges the 16-bit halves, for formats that store the date before the
// time.
uint32_t SwapWords(uint32_t Value);

// Minutes to add to local time to get UTC; refreshed from the system on every
// call and kept engine-wide.
int GetTimeZoneBias();

// Seconds since 1970 for the Unix-time fields of TAR headers. Leap years are
// every fourth year (right for 1901..2099), and a fixed 25200 seconds is
// added whatever the machine's zone.
int64_t DateTimeToUnix(TDateTime Value);
// The reverse, in local time: the zone bias is subtracted (taken as hours
// when its magnitude is below 13, else as minutes), with the same leap-year
// rule. 0 (no time stored) gives 1980-01-01 00:01.
TDateTime UnixToDateTime(int64_t Seconds);

// Octal digits right-aligned in blanks; the result is always Width bytes.
// With Terminate the last two bytes are a blank and a NUL (TAR header
// fields). A value needing more digits than the field has keeps its
// low-order digits (the caller checks the range); negative values give 0.
std::string IntToOctal(int64_t Value, int Width, bool Terminate);
// Characters other than '0'..'7' are skipped. A value beyond the range of
// int64_t saturates at INT64_MAX, so a garbage field reads as "too large"
// rather than as a plausible small number.
int64_t OctalToInt(std::string_view Text);

// ---- names ---------------------------------------------------------------

// Compares two names where '*' and '?' are wildcards on BOTH sides.
//   1. With NameOnly both sides are cut to their file-name parts.
//   2. For each side in turn (Mask, then Name): a trailing '.' is dropped; a
//      side without any '.' gets ".*" appended when the other side contains
//      ".*" (so "*.*" takes names without extension, and "README." takes
//      "readme").
//   3. Matching, recursively: both empty match; one empty matches only when
//      the other begins with '*'. Otherwise walk both sides: '?' on either
//      side takes any one character; a '*' (Mask's side looked at first)
//      that is its side's last character matches the rest, else the rest
//      after it must match some tail of the other side from the current
//      position (the empty tail included); other characters compare ASCII
//      case-insensitively. When one side runs out, the rest of the other
//      must be only '*'.
// Runs in time proportional to the product of the lengths.
bool WildcardMatch(std::string_view Mask, std::string_view Name, bool NameOnly);

// OEM code page -> ANSI, with '/' turned into '\' (names read from archives).
std::string OemToAnsiName(const std::string& Name);
// UTF-8 -> ANSI ('_' for what the code page lacks), with '/' turned into
// '\' (names an archive marks as UTF-8).
std::string Utf8ToAnsiName(const std::string& Name);
// Valid UTF-8 (no stray, cut, overlong or surrogate sequence) holding at
// least one character beyond ASCII.
bool IsUtf8Text(std::string_view Text);
// ANSI -> OEM code page, with '/' turned into '\' like its pair: the
// writers then turn '\' into the separator their format stores.
std::string AnsiToOemName(const std::string& Name);
std::string SlashToBackslash(std::string Name);
// Leaves the trail bytes of double-byte characters alone.
std::string BackslashToSlash(std::string Name);

// Adds '\' unless the name is empty or already ends in '\' or '/' (a trail
// byte equal to '\' does not count).
std::string AppendBackslash(const std::string& Path);
// Drops one trailing '\' or '/'.
std::string RemoveBackslash(const std::string& Path);
// At least 3 characters beginning with two separators.
bool IsUNCPath(const std::string& Path);
// Zero-based position of the last '.', or the length when there is none.
// A name Windows keeps for a device in every folder (CON, NUL, COM1...),
// whatever its case or extension.
bool IsDeviceName(const std::string& Part);
// A character no Windows file name may hold.
bool IsForbiddenInName(unsigned char c);
size_t LastDotPos(const std::string& Name);
// Every character moved by Amount (wrapping within a byte).
std::string ShiftChars(const std::string& Text, bool Subtract, int Amount);
// Cuts the text before Delimiter off Text and returns it (the delimiter is
// dropped too). Without the delimiter (or with an empty one) the whole text
// is the token and Text becomes empty.
std::string SplitToken(std::string& Text, const std::string& Delimiter);

// The class library's path functions. The path keeps its trailing separator
// and the extension its dot.
std::string ExtractFileName(const std::string& Path);
std::string ExtractFilePath(const std::string& Path);
std::string ExtractFileExt(const std::string& Path);
std::string ChangeFileExt(const std::string& Path, const std::string& Ext);
std::string UpperCase(std::string Text);  // ASCII letters only

// In place: every entry gets '/' -> '\' and is cut to its file-name part;
// entries that are or become empty are removed.
void NormalizeSpecList(std::vector<std::string>& List);

// ---- numbers ---------------------------------------------------------------

bool IsDigits(std::string_view Text);  // True for an empty text as well
int MinInt(int A, int B);
// Round(Part * 100 / Whole) with the class library's rounding (halves to
// even), kept within 0..100; 0 when Whole <= 0.
int PercentOf(int64_t Part, int64_t Whole);
// The first two bytes of gzip and its older relatives, read little-endian.
bool IsGZipSignature(uint16_t Signature);

// ---- files ---------------------------------------------------------------

bool DirExists(const std::string& Path);
bool FindFileExists(const std::string& Path);  // wildcards allowed
// An existing file with none of read-only, hidden, system, volume-ID and
// directory set.
bool IsWritableFile(const std::string& Path);

// A directory search returning DOS-style records. Entries having any of
// hidden, system, volume-ID or directory that the caller did not ask for in
// Attr (not Attr and 0x1E) are skipped.
struct TSearchRecDos {
    uint32_t Time = 0;  // local DOS date<<16 | time of the last write
    int64_t Size = 0;
    uint32_t Attr = 0;
    std::string Name;  // file-name part, at most 260 characters
    uint32_t ExcludeAttr = 0;
    std::unique_ptr<os::Finder> Finder;  // open between FindFirstDos and FindCloseDos
};
// 0, or the system's error code when nothing (more) is found. A failed
// FindFirstDos leaves nothing open; FindNextDos after it answers non-zero.
int FindFirstDos(const std::string& Path, uint32_t Attr, TSearchRecDos& Rec);
int FindNextDos(TSearchRecDos& Rec);
void FindCloseDos(TSearchRecDos& Rec);

// Creates the directory and any missing parents. An empty path raises
// Exception("Unable to create directory"); a path longer than the platform
// allows (os::MaxPathLength) makes no folder at all; failures to create are
// left for the caller's next file operation to find.
void ForceDirs(const std::string& Path);
// With a trailing separator; empty on failure.
std::string GetSystemTempDir();

// Reads a NUL-terminated text of at most 256 bytes at Offset; Offset moves
// past the text and its NUL.
std::string ReadZString(TStream& F, int64_t& Offset);
// Reads Count bytes at Offset with NULs turned into blanks; Offset += Count.
std::string ReadFixedString(TStream& F, int64_t& Offset, int Count);

}  // namespace bramble
