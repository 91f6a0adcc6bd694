#include "engine/readers/unzoo.h"

#include <algorithm>

#include "engine/codecs/arcio.h"
#include "engine/codecs/lzhdecode.h"
#include "engine/codecs/zoolzw.h"
#include "engine/core/helpers.h"

namespace bramble {

namespace {

// Faults of an entry's data: the entry fails, the next one may be sound.
bool IsDataError(int code) { return code == 25109 || code == 25120 || code == 25121 || code == 25236; }

}  // namespace

void TUnZOO::Gather(std::vector<zoo::TEntry>& Entries) {
    const zoo::TReadAt read = [this](int64_t Offset, void* Buffer, int64_t Count) -> int64_t {
        if (Offset < 0 || Count <= 0 || !inFile_.Seek(Offset)) return 0;
        const int64_t got = inFile_.Read(Buffer, Count);
        return got < 0 ? 0 : got;
    };
    uint8_t b[zoo::kArchiveHeaderSize];
    const int64_t got = read(0, b, zoo::kArchiveHeaderSize);
    // 34 bytes, not 43: the first versions' headers end there.
    if (got < zoo::kArchiveHeaderMin) RaiseError(archiveFile_, "", "0", 25236);
    zoo::TArchiveHeader header;
    if (!zoo::ParseArchiveHeader(b, static_cast<size_t>(got), header)) RaiseError(archiveFile_, "", "0", 25108);

    const bool more = MoreToFind(0);
    int64_t totalUnpacked = 0;
    int64_t at = header.FirstEntry;
    while (at != 0 && !cancel_) {
        zoo::TEntry e;
        const zoo::TParse parsed = zoo::ReadEntry(read, at, e);
        if (parsed != zoo::TParse::Ok) {
            // Reported, not raised: the entries before it are sound and are
            // still taken.
            ReportError(archiveFile_, "", "0", parsed == zoo::TParse::BadTag ? 25108 : 25236);
            break;
        }
        if (e.Terminator()) break;
        at = e.NextInChain();
        // The entry itself is sound and is still taken; the walk ends here,
        // and the run must not pass for whole.
        if (e.LinksBack()) ReportError(archiveFile_, "", "0", 25108);
        // A deleted entry stays in the file until the archive is packed; it
        // is no longer one of its files (the lister leaves it out too).
        if (e.Deleted) continue;
        if (!MatchesFileSpec(OemToAnsiName(e.StoredPath()), false)) continue;
        if (e.Stamp > maxFileDate_) maxFileDate_ = e.Stamp;
        totalPacked_ += e.PackedSize;
        totalUnpacked += e.UnpackedSize;
        Entries.push_back(std::move(e));
        if (!more) break;
    }
    totalUnpacked_ = totalUnpacked;
    SetBytesToDo(totalUnpacked);
}

bool TUnZOO::ExtractEntry(const zoo::TEntry& E) {
    const int64_t size = E.UnpackedSize;
    const std::string stored = E.StoredPath();
    const std::string outPath = ConvertFileName(stored);
    if (outPath.empty()) {
        NameRefused(OemToAnsiName(stored), size);
        return true;
    }
    const bool toFile = OutputTarget == otFile || OutputTarget == otTempStream;
    std::string FN = toFile ? outPath : OemToAnsiName(stored);
    bool exists = false;
    switch (PrepareExtractFile(FN, exists, PackedDateToDateTime(E.Stamp))) {
        case prStop: return false;
        case prSkip: SkipBytes(size); return true;
        case prExtract: break;
    }
    auto failed = [&](int code) {
        EntryFailed(FN, code, size);
        return true;
    };
    // Refused before the output is opened, so a file the user chose to
    // replace is not emptied for nothing.
    if (E.Method > 2) return failed(25326);

    const std::string target = toFile ? OutputName() : FN;
    if (!OpenEntryOutput(FN, target, size)) return true;
    if (!inFile_.Seek(E.DataOffset)) {
        CloseOutput();
        RaiseError(FN, "", "0", 25292);
    }
    Crc = 0;
    bool decoded = true;
    try {
        if (E.Method == 2) {
            decoded = LzhDecode(*this, lzh::kZoo, nullptr, OutputStreamArg(), E.PackedSize, size, bytesToDo_);
        } else {
            TArcInput in(*this, E.PackedSize);
            TArcOutput out(*this, OutputStreamArg(), size, bytesToDo_, false);
            try {
                if (E.Method == 1) {
                    ZooLzwDecode(in, out);
                } else {
                    for (int c; (c = in.Get()) >= 0;) out.Put(static_cast<uint8_t>(c));
                }
                out.Finish();
            } catch (const E_RAISE& err) {
                // What was decoded before the fault is written; the LZH
                // decoder reports its own faults, these are reported here.
                if (IsDataError(err.Code()) && !cancel_) {
                    out.Flush();
                    ReportError(FN, "", "0", err.Code());
                }
                throw;
            }
        }
    } catch (const E_RAISE& err) {
        // The data's own faults end this entry; a cancel or a failing write
        // ends the run. The write's 25136 has been through OnError, as in
        // every reader, so the user learns why the run stopped.
        if (!IsDataError(err.Code()) || cancel_) {
            CloseOutput();
            throw;
        }
        decoded = false;
    }
    const bool pass = decoded && static_cast<uint16_t>(Crc) == E.Crc;
    SkipBytes(size);
    FinishEntry(FN, target, pass, 32, E.Stamp);
    return true;
}

void TUnZOO::ExtractArchive() {
    std::vector<zoo::TEntry> entries;
    Gather(entries);
    for (const zoo::TEntry& e : entries) {
        if (cancel_) break;
        if (!ExtractEntry(e)) break;
    }
}

}  // namespace bramble
