#include "engine/readers/untar.h"

#include <algorithm>

#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/readers/tarheader.h"

namespace bramble {

namespace {

// Seconds since 1970 (UTC, as every tar writes them) as a local DOS date.
uint32_t UnixToDosDate(int64_t seconds) {
    if (seconds < 315532800) seconds = 315532800;  // DOS dates start in 1980
    if (seconds > 4354819198LL) seconds = 4354819198LL;
    uint64_t fileTime = static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL;
    return FileTimeToDosDate(fileTime);
}

}  // namespace

void TUnTAR::Gather(std::vector<Entry>& entries) {
    const bool more = MoreToFind(0);
    int64_t pos = scanPosition_ > 1 ? scanPosition_ - 1 : 0;
    // A volume label before the entries is passed over like other records.
    const int64_t end = arcFileSize_;
    std::string longName;  // from a GNU long-name record, for the next entry
    int zeroBlocks = 0;
    int64_t total = 0;
    uint8_t h[tar::kBlock];
    while (pos < end && !cancel_) {
        if (pos + tar::kBlock > end) {
            // A header cut off by the end of the file: the archive was cut
            // short (zeros there are only padding that ran out).
            const int64_t left = end - pos;
            if (inFile_.Seek(pos) && inFile_.Read(h, left) == left && !tar::IsZeroBlock(h, static_cast<int>(left)))
                ReportError(archiveFile_, "", "0", 25236);
            break;
        }
        if (!inFile_.Seek(pos) || inFile_.Read(h, tar::kBlock) != tar::kBlock) break;
        if (tar::IsZeroBlock(h)) {
            // Two zero blocks end the archive; one alone is padding.
            if (++zeroBlocks == 2) break;
            pos += tar::kBlock;
            continue;
        }
        zeroBlocks = 0;
        if (!tar::ChecksumOk(h)) {
            // A damaged block: look for the next header one block on.
            pos += tar::kBlock;
            continue;
        }
        const char type = tar::Type(h);
        const int64_t size = tar::Size(h);
        if (size < 0) break;
        const int64_t data = pos + tar::kBlock;
        // Data that runs past the end of the file: the archive was cut
        // inside this entry. It is the last one there is; it is taken (and
        // fails when it is copied) so the run says what was lost.
        const bool cut = size > end - data;
        const int64_t next = cut ? end : data + tar::Padded(size);
        // Whole data whose padding runs past the end: the entries that
        // followed are lost with the rest of the file.
        if (!cut && next > end) ReportError(archiveFile_, "", "0", 25236);
        if (cut && !tar::IsRegular(type)) {
            // A long-name record or a link cut short: nothing after it.
            ReportError(archiveFile_, "", "0", 25236);
            break;
        }
        if (type == 'L' || type == 'x') {
            // GNU long name, or a pax header whose "path" names the next
            // entry (its ustar name is cut short).
            std::string record(static_cast<size_t>(size < 65536 ? size : 65536), '\0');
            if (inFile_.Seek(data)) record.resize(static_cast<size_t>(std::max<int64_t>(0, inFile_.Read(record.data(), static_cast<int64_t>(record.size())))));
            if (type == 'L')
                longName = record.substr(0, record.find('\0'));
            else if (std::string path = tar::PaxPath(record); !path.empty())
                longName = path;
            pos = next;
            continue;
        }
        std::string name = longName.empty() ? tar::FullName(h) : longName;
        longName.clear();
        if (name.empty()) break;
        if (!tar::IsRegular(type)) {
            // Links, devices, folders, pax records and labels hold no file
            // to write; say so for what a user might have expected.
            if (type != '5' && type != 'g' && type != 'V' && type != 'K')
                ReportError(OemToAnsiName(name), "", "0", 26800);
            pos = next;
            continue;
        }
        if (MatchesFileSpec(OemToAnsiName(name), false)) {
            entries.push_back({pos, data, size, tar::MTime(h), name});
            total += size;
            uint32_t date = UnixToDosDate(tar::MTime(h));
            if (date > maxFileDate_) maxFileDate_ = date;
            if (!more) break;
        }
        pos = next;
    }
    totalUnpacked_ = total;
    SetBytesToDo(total);
}

bool TUnTAR::ExtractEntry(const Entry& e) {
    std::string outPath = ConvertFileName(e.name);
    if (outPath.empty()) {
        SkipBytes(e.size);
        return true;
    }
    const bool toFile = OutputTarget == otFile || OutputTarget == otTempStream;
    std::string FN = toFile ? outPath : OemToAnsiName(e.name);
    const uint32_t dosDate = UnixToDosDate(e.mtime);
    bool exists = false;
    switch (PrepareExtractFile(FN, exists, DosDateToDateTime(dosDate))) {
        case prStop: return false;
        case prSkip: SkipBytes(e.size); return true;
        case prExtract: break;
    }
    if (!inFile_.Seek(e.data)) RaiseError(FN, "", "0", 25292);
    const std::string target = toFile ? OutputName() : FN;
    if (!OpenOutput(target, OutputStreamArg())) RaiseError(target, "", "0", 25235);
    Crc = 0xFFFFFFFF;
    // An entry cut off by the end of the file gives what is there, and
    // fails. The copy counts its bytes down as it goes.
    const int64_t there = std::min(e.size, std::max<int64_t>(arcFileSize_ - e.data, 0));
    bool copied = UnStore(there, 32, false);
    const bool whole = there == e.size;
    if (OutputTarget == otFile)
        RestoreFileStamp(0x20, dosDate, target);
    else
        CloseOutput();
    // What the cut took away is not coming.
    SkipBytes(e.size - there);
    if (copied && !whole) ReportError(FN, "", "0", 25236);
    if (OnEnd)
        OnEnd(this, FN, copied && whole);
    else if (!copied)
        ReportError(FN, "", "0", 25151);
    return copied || !cancel_;
}

void TUnTAR::ExtractArchive() {
    std::vector<Entry> entries;
    Gather(entries);
    for (const Entry& e : entries) {
        if (cancel_ || !ExtractEntry(e)) break;
    }
}

}  // namespace bramble
