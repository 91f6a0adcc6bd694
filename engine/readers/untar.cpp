#include "engine/readers/untar.h"

#include <algorithm>

#include "engine/core/helpers.h"
#include "engine/core/messages.h"
#include "engine/core/os.h"
#include "engine/formats/tar.h"

namespace bramble {

namespace {

tar::ReadAtFn ArchiveReader(TFileStream& in) {
    return [&in](int64_t pos, uint8_t* out, int64_t n) { return in.Seek(pos) ? in.Read(out, n) : int64_t{-1}; };
}

}  // namespace

void TUnTAR::Gather(std::vector<Entry>& entries) {
    const bool more = MoreToFind(0);
    // A volume label before the entries is passed over like other records.
    const int64_t end = arcFileSize_;
    int64_t total = 0;
    tar::TWalker walk(scanPosition_ > 1 ? scanPosition_ - 1 : 0, end, ArchiveReader(inFile_));
    tar::TWalkEntry e;
    while (!cancel_) {
        const tar::TWalker::Step step = walk.Next(e);
        // A pax header that cannot be read leaves the entries after it
        // where no walk can be sure of them.
        if (step == tar::TWalker::Step::CutHeader || step == tar::TWalker::Step::CutRecord ||
            step == tar::TWalker::Step::BadRecord)
            ReportError(archiveFile_, "", "0", 25236);
        if (step != tar::TWalker::Step::Entry) break;
        // Whole data whose padding runs past the end: the entries that
        // followed are lost with the rest of the file. Data that runs past
        // the end is taken (and fails when it is copied) so the run says
        // what was lost.
        if (!e.Cut && e.Next > end) ReportError(archiveFile_, "", "0", 25236);
        // GNU tar's old sparse files are files all the same: they are
        // taken, to fail, rather than passed over like a link.
        if (!tar::IsRegular(e.Type) && e.Type != tar::kOldSparse) {
            // Links, devices, folders, pax records and labels hold no file
            // to write; say so for what a user might have expected.
            if (e.Type != '5' && e.Type != 'g' && e.Type != 'V') ReportError(OemToAnsiName(e.Name), "", "0", 26800);
            continue;
        }
        if (MatchesFileSpec(OemToAnsiName(e.Name), false)) {
            // The run counts the archive's bytes: a sparse file's real size
            // is only what its records say.
            const int64_t fileSize = e.Sparse.Given ? std::max<int64_t>(e.Sparse.FileSize(), 0) : e.Size;
            const int64_t mtime = e.MTime;
            entries.push_back({e.Pos, e.Data, e.Size, mtime, e.Name, fileSize, std::move(e.Sparse), e.Type});
            total += e.Size;
            const uint32_t date = UnixSecondsToDosDate(mtime);
            if (date > maxFileDate_) maxFileDate_ = date;
            if (!more) break;
        }
    }
    totalUnpacked_ = total;
    SetBytesToDo(total);
}

int TUnTAR::SparseChunks(const Entry& e, std::vector<tar::TSparseChunk>& Map, int64_t& Data, int64_t& Stored) {
    const tar::TSparseCheck check =
        tar::SparseMap(e.sparse, e.data, e.size, arcFileSize_, ArchiveReader(inFile_), Map, Data);
    switch (check) {
        case tar::TSparseCheck::Ok: break;
        case tar::TSparseCheck::Unsupported: return 25326;
        case tar::TSparseCheck::Damaged: return 25248;
        case tar::TSparseCheck::Cut: return 25236;
    }
    // Checked: the lengths add up to no more than the data.
    Stored = 0;
    for (const tar::TSparseChunk& c : Map) Stored += c.Length;
    return 0;
}

bool TUnTAR::ExpandSparse(const std::vector<tar::TSparseChunk>& Map, int64_t FileSize, int64_t Packed,
                          int64_t& Read) {
    constexpr int64_t kBuffer = 32768;
    std::vector<uint8_t> buffer(static_cast<size_t>(kBuffer)), zeros;
    TStream* out = OutputStreamArg();
    // A test writes nothing, and holes hold nothing to check.
    const bool writes = OutputTarget < otNone;
    // A hole in a file is made by lengthening the file, as tar does: a few
    // KB of archive may declare terabytes of holes, which cost no time this
    // way and no disk where the file system keeps holes. Other outputs, and
    // text being translated, get the zeros written.
    const bool lengthen = OutputTarget == otFile && !TextMode;
    int64_t at = 0;  // in the file
    Read = 0;
    // Takes the file up to To: from the archive, or with zeros for a hole.
    auto fill = [&](int64_t to, bool data) {
        while (at < to) {
            if (cancel_) return false;
            const int64_t n = std::min(to - at, kBuffer);
            int64_t done = n;
            if (data) {
                done = ReadHook(nullptr, n, 0, false, buffer.data());
                if (done <= 0) RaiseError(archiveFile_, "", "0", 25236);
                ExtractWriteHook(out, true, done, 32, false, buffer.data());
                Read += done;
                bytesToDo_ -= done;
            } else if (!writes) {
                done = to - at;
            } else if (lengthen) {
                done = to - at;
                if (!outFile_.SetSize(outFile_.Position() + done)) {
                    OutputWriteFailed(&outFile_);
                    throw E_RAISE(25136);
                }
            } else {
                zeros.resize(static_cast<size_t>(kBuffer));
                ExtractWriteHook(out, true, n, 32, false, zeros.data());
            }
            at += done;
            ReportProgress(at, FileSize);
        }
        return true;
    };
    // The chunks' bytes follow one another in the archive; a file cut short
    // ends where they do.
    for (const tar::TSparseChunk& c : Map) {
        const int64_t n = std::min(c.Length, Packed);
        if (!fill(c.Offset, false) || !fill(c.Offset + n, true)) return false;
        Packed -= n;
        if (n < c.Length) return true;
    }
    return fill(FileSize, false);
}

bool TUnTAR::ExtractEntry(const Entry& e) {
    // An entry that is refused fails: the run would otherwise end as if
    // nothing had been lost.
    const std::string outPath = ConvertFileName(e.name);
    if (outPath.empty()) {
        NameRefused(OemToAnsiName(e.name), e.size);
        return true;
    }
    const bool toFile = OutputTarget == otFile || OutputTarget == otTempStream;
    std::string FN = toFile ? outPath : OemToAnsiName(e.name);
    // A sparse file is written expanded, or not at all.
    std::vector<tar::TSparseChunk> map;
    int64_t data = e.data, stored = e.size;
    const int refused = e.type == tar::kOldSparse ? 25326 : e.sparse.Given ? SparseChunks(e, map, data, stored) : 0;
    if (refused != 0) {
        EntryFailed(FN, refused, e.size);
        return true;
    }
    const uint32_t dosDate = UnixSecondsToDosDate(e.mtime);
    bool exists = false;
    switch (PrepareExtractFile(FN, exists, DosDateToDateTime(dosDate))) {
        case prStop: return false;
        case prSkip: SkipBytes(e.size); return true;
        case prExtract: break;
    }
    if (!inFile_.Seek(data)) RaiseError(FN, "", "0", 25292);
    const std::string target = toFile ? OutputName() : FN;
    if (!OpenEntryOutput(FN, target, e.size)) return true;
    Crc = 0xFFFFFFFF;
    // An entry cut off by the end of the file gives what is there, and
    // fails. The copy counts its bytes down as it goes.
    const int64_t there = std::min(stored, std::max<int64_t>(arcFileSize_ - data, 0));
    int64_t read = there;
    bool copied = e.sparse.Given ? ExpandSparse(map, e.fileSize, there, read) : UnStore(there, 32, false);
    const bool whole = there == stored;
    if (OutputTarget == otFile)
        RestoreFileStamp(0x20, dosDate, target);
    else
        CloseOutput();
    // What the cut took away is not coming.
    SkipBytes(e.size - read);
    if (copied && !whole) ReportError(FN, "", "0", 25236);
    if (!EndEntry(FN, copied && whole) && !copied) ReportError(FN, "", "0", 25151);
    return copied || !cancel_;
}

void TUnTAR::ExtractArchive() {
    // Headers and the data of small files lie next to each other: one read
    // takes many of them instead of a seek and a read each.
    constexpr size_t kReadBuffer = 65536;
    inFile_.SetBuffer(kReadBuffer);
    struct Unbuffer {
        TFileStream& f;
        ~Unbuffer() { f.SetBuffer(0); }
    } unbuffer{inFile_};
    std::vector<Entry> entries;
    Gather(entries);
    for (const Entry& e : entries) {
        if (cancel_ || !ExtractEntry(e)) break;
    }
}

}  // namespace bramble
