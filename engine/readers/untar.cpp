#include "engine/readers/untar.h"

#include <algorithm>

#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/formats/tar.h"

namespace bramble {

void TUnTAR::Gather(std::vector<Entry>& entries) {
    const bool more = MoreToFind(0);
    // A volume label before the entries is passed over like other records.
    const int64_t end = arcFileSize_;
    int64_t total = 0;
    tar::TWalker walk(scanPosition_ > 1 ? scanPosition_ - 1 : 0, end, [this](int64_t pos, uint8_t* out, int64_t n) {
        return inFile_.Seek(pos) ? inFile_.Read(out, n) : int64_t{-1};
    });
    tar::TWalkEntry e;
    while (!cancel_) {
        const tar::TWalker::Step step = walk.Next(e);
        if (step == tar::TWalker::Step::CutHeader || step == tar::TWalker::Step::CutRecord)
            ReportError(archiveFile_, "", "0", 25236);
        if (step != tar::TWalker::Step::Entry) break;
        // Whole data whose padding runs past the end: the entries that
        // followed are lost with the rest of the file. Data that runs past
        // the end is taken (and fails when it is copied) so the run says
        // what was lost.
        if (!e.Cut && e.Next > end) ReportError(archiveFile_, "", "0", 25236);
        if (!tar::IsRegular(e.Type)) {
            // Links, devices, folders, pax records and labels hold no file
            // to write; say so for what a user might have expected.
            if (e.Type != '5' && e.Type != 'g' && e.Type != 'V') ReportError(OemToAnsiName(e.Name), "", "0", 26800);
            continue;
        }
        if (MatchesFileSpec(OemToAnsiName(e.Name), false)) {
            const int64_t mtime = tar::MTime(e.Header.data());
            entries.push_back({e.Pos, e.Data, e.Size, mtime, e.Name});
            total += e.Size;
            const uint32_t date = UnixSecondsToDosDate(mtime);
            if (date > maxFileDate_) maxFileDate_ = date;
            if (!more) break;
        }
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
    const uint32_t dosDate = UnixSecondsToDosDate(e.mtime);
    bool exists = false;
    switch (PrepareExtractFile(FN, exists, DosDateToDateTime(dosDate))) {
        case prStop: return false;
        case prSkip: SkipBytes(e.size); return true;
        case prExtract: break;
    }
    if (!inFile_.Seek(e.data)) RaiseError(FN, "", "0", 25292);
    const std::string target = toFile ? OutputName() : FN;
    if (!OpenEntryOutput(FN, target, e.size)) return true;
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
