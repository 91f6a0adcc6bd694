// Time conversions: the class library's TDateTime, DOS packed stamps,
// FILETIME and the Unix seconds of TAR headers.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

namespace {

constexpr int64_t kMSecsPerDay = 86400000;
constexpr int64_t kSecsPerDay = 86400;
// TDateTime day 0 (1899-12-30) and FILETIME day 0 (1601-01-01), counted in
// days from 1970-01-01.
constexpr int64_t kDateTimeEpoch = -25569;
constexpr int64_t kFileTimeEpoch = -134774;
constexpr uint64_t kFileTimeTicksPerSec = 10000000;
constexpr uint64_t kUnixEpochSeconds = 11644473600ULL;  // 1601-01-01 to 1970-01-01

constexpr uint32_t kFirstDosDate = 0x00210000;  // 1980-01-01 00:00
constexpr uint32_t kLastDosDate = 0xFF9FBF7D;   // 2107-12-31 23:59:58

// Proleptic Gregorian calendar <-> days from 1970-01-01 (H. Hinnant's
// algorithms; exact for every year the class library accepts).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

struct Fields {
    int year, month, day, hour, min, sec, msec;
};

Fields Clamped(int year, int month, int day, int hour, int min, int sec, int msec) {
    Fields f;
    f.year = std::clamp(year, 1, 9999);
    f.month = std::clamp(month, 1, 12);
    f.day = std::clamp(day, 1, DaysInMonth(f.year, f.month));
    f.hour = std::clamp(hour, 0, 23);
    f.min = std::clamp(min, 0, 59);
    f.sec = std::clamp(sec, 0, 59);
    f.msec = std::clamp(msec, 0, 999);
    return f;
}

// Fields of a DOS stamp, clamped where a writer left nonsense.
Fields FromDos(uint32_t packed) {
    const uint32_t date = packed >> 16;
    const uint32_t time = packed & 0xFFFF;
    return Clamped(1980 + static_cast<int>(date >> 9), (date >> 5) & 15, date & 31,
                   static_cast<int>(time >> 11), (time >> 5) & 63, (time & 31) * 2, 0);
}

uint32_t ToDos(int year, int month, int day, int hour, int min, int sec) {
    if (year < 1980) return kFirstDosDate;
    if (year > 2107) return kLastDosDate;
    const uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day);
    const uint32_t time = static_cast<uint32_t>(hour << 11 | min << 5 | sec / 2);
    return date << 16 | time;
}

int g_TimeZoneBias = 0;

}  // namespace

TDateTime EncodeDateTime(int Year, int Month, int Day, int Hour, int Min, int Sec, int MSec) {
    const Fields f = Clamped(Year, Month, Day, Hour, Min, Sec, MSec);
    const double days = static_cast<double>(DaysFromCivil(f.year, f.month, f.day) - kDateTimeEpoch);
    const double time =
        static_cast<double>(((f.hour * 60 + f.min) * 60 + f.sec) * 1000 + f.msec) / kMSecsPerDay;
    return days < 0 ? days - time : days + time;
}

void DecodeDateTime(TDateTime Value, int& Year, int& Month, int& Day, int& Hour, int& Min,
                    int& Sec) {
    constexpr int64_t kMinDay = -693593;  // 0001-01-01
    constexpr int64_t kMaxDay = 2958465;  // 9999-12-31
    if (std::isnan(Value)) Value = 0;
    Value = std::clamp(Value, static_cast<double>(kMinDay - 1), static_cast<double>(kMaxDay + 1));
    const int64_t msecs = std::llround(Value * kMSecsPerDay);
    int64_t day = msecs / kMSecsPerDay;
    int64_t time = std::llabs(msecs % kMSecsPerDay);
    if (day < kMinDay) {
        day = kMinDay;
        time = 0;
    } else if (day > kMaxDay) {
        day = kMaxDay;
        time = kMSecsPerDay - 1;
    }
    CivilFromDays(day + kDateTimeEpoch, Year, Month, Day);
    Hour = static_cast<int>(time / 3600000);
    Min = static_cast<int>(time / 60000 % 60);
    Sec = static_cast<int>(time / 1000 % 60);
}

TDateTime FileDateToDateTime(uint32_t DosDateTime) {
    const Fields f = FromDos(DosDateTime);
    return EncodeDateTime(f.year, f.month, f.day, f.hour, f.min, f.sec);
}

uint32_t DateTimeToFileDate(TDateTime Value) {
    int y, mo, d, h, mi, s;
    DecodeDateTime(Value, y, mo, d, h, mi, s);
    return ToDos(y, mo, d, h, mi, s);
}

TDateTime DosDateToDateTime(uint32_t Packed) {
    if (Packed == 0) return 29221.0;
    return FileDateToDateTime(Packed);
}

uint32_t FileTimeToDosDate(uint64_t FileTime) {
    const uint64_t secs = os::FileTimeToLocal(FileTime) / kFileTimeTicksPerSec;
    const int64_t days = static_cast<int64_t>(secs / kSecsPerDay);
    const int64_t rest = static_cast<int64_t>(secs % kSecsPerDay);
    int y, mo, d;
    CivilFromDays(days + kFileTimeEpoch, y, mo, d);
    return ToDos(y, mo, d, static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                 static_cast<int>(rest % 60));
}

uint32_t UnixSecondsToDosDate(int64_t Seconds) {
    // Anything outside these bounds lies outside the DOS range in every
    // zone, and within them the FILETIME arithmetic cannot overflow.
    constexpr int64_t kBefore1980 = 0;                        // 1970-01-01
    constexpr int64_t kAfter2107 = int64_t{1} << 33;          // in 2242
    const uint64_t s = static_cast<uint64_t>(std::clamp(Seconds, kBefore1980, kAfter2107));
    return FileTimeToDosDate((s + kUnixEpochSeconds) * kFileTimeTicksPerSec);
}

uint32_t FileTimeToUnixSeconds(uint64_t FileTime) {
    const uint64_t seconds = FileTime / kFileTimeTicksPerSec;
    if (seconds <= kUnixEpochSeconds) return 0;
    return static_cast<uint32_t>(std::min<uint64_t>(seconds - kUnixEpochSeconds, 0xFFFFFFFFULL));
}

uint64_t DosDateToFileTime(uint32_t Packed) {
    const Fields f = FromDos(Packed == 0 ? kFirstDosDate : Packed);
    const int64_t days = DaysFromCivil(f.year, f.month, f.day) - kFileTimeEpoch;
    const int64_t secs = days * kSecsPerDay + (f.hour * 60 + f.min) * 60 + f.sec;
    return os::LocalToFileTime(static_cast<uint64_t>(secs) * kFileTimeTicksPerSec);
}

uint32_t SwapWords(uint32_t Value) { return Value << 16 | Value >> 16; }

int GetTimeZoneBias() {
    g_TimeZoneBias = os::TimeZoneBias();
    return g_TimeZoneBias;
}

int64_t DateTimeToUnix(TDateTime Value) {
    static const int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    int y, mo, d, h, mi, s;
    DecodeDateTime(Value, y, mo, d, h, mi, s);
    int64_t days = (int64_t{y} - 1970) * 365 + (y - 1969) / 4 + kDaysBefore[mo - 1] + d - 1;
    if (y % 4 == 0 && mo >= 3) ++days;
    // The fixed 25200 is part of the stored format's convention, not the
    // machine's zone.
    return (days * 24 + h) * 3600 + mi * 60 + s + 25200;
}

TDateTime UnixToDateTime(int64_t Seconds) {
    if (Seconds == 0) return EncodeDateTime(1980, 1, 1, 0, 1, 0);
    const int bias = GetTimeZoneBias();
    // Far beyond year 9999 either way; keeps the arithmetic below in range.
    constexpr int64_t kLimit = int64_t{400000} * 366 * kSecsPerDay;
    int64_t secs = std::clamp(Seconds, -kLimit, kLimit);
    secs -= std::abs(bias) < 13 ? int64_t{bias} * 3600 : int64_t{bias} * 60;

    int64_t days = secs / kSecsPerDay;
    int64_t rest = secs % kSecsPerDay;
    if (rest < 0) {
        rest += kSecsPerDay;
        --days;
    }
    // Every fourth year is a leap year here, so the calendar repeats every
    // 1461 days; count from 1968, the leap year before 1970.
    int64_t fromLeap = days + 731;
    int64_t cycles = fromLeap / 1461;
    int64_t inCycle = fromLeap % 1461;
    if (inCycle < 0) {
        inCycle += 1461;
        --cycles;
    }
    int64_t year = 1968 + 4 * cycles;
    if (inCycle >= 366) {
        inCycle -= 366;
        year += 1 + inCycle / 365;
        inCycle %= 365;
    }
    if (year < 1) return EncodeDateTime(1, 1, 1, 0, 0, 0);
    if (year > 9999) return EncodeDateTime(9999, 12, 31, 23, 59, 59);

    static const int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int month = 0;
    for (; month < 11; ++month) {
        const int len = kMonthDays[month] + (month == 1 && year % 4 == 0 ? 1 : 0);
        if (inCycle < len) break;
        inCycle -= len;
    }
    return EncodeDateTime(static_cast<int>(year), month + 1, static_cast<int>(inCycle) + 1,
                          static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                          static_cast<int>(rest % 60));
}

}  // namespace bramble
