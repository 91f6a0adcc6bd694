#include "engine/readers/unlha.h"

#include <algorithm>

#include "engine/codecs/lzhdecode.h"
#include "engine/codecs/lzhuf.h"
#include "engine/core/helpers.h"

namespace bramble {

namespace {

// What ends only the entry raising it: its data's faults (25120, 25236)
// and whatever else its decoding meets (memory, a caller's hook), so the
// next entry is still tried. A cancel and a failing write end the run: the
// next entry's write would fail as well.
bool IsDataError(int code) { return code != 25400 && code != 25136; }

}  // namespace

void TUnLHA::Gather(std::vector<lha::THeader>& Entries) {
    const lha::TReadAt read = lha::StreamReader(inFile_);
    int64_t at = lha::FirstHeaderOffset(read, std::max<int64_t>(scanPosition_ - 1, 0));
    const bool more = MoreToFind(0);
    int64_t totalUnpacked = 0;
    while (!cancel_) {
        lha::THeader h;
        const lha::TParse parsed = lha::ParseHeader(read, arcFileSize_, at, h);
        if (parsed == lha::TParse::End) {
            // No header where one should be (a header size or packed size
            // that pointed astray): the run must not pass for whole.
            if (!lha::EndsHere(read, arcFileSize_, at)) ReportError(archiveFile_, "", "0", 25108);
            break;
        }
        if (parsed != lha::TParse::Ok) {
            // What follows cannot be found: the entries before it are taken.
            ReportError(archiveFile_, "", "0", parsed == lha::TParse::Level ? 25328 : 25108);
            break;
        }
        at = h.Next;
        if (h.Directory()) continue;
        if (!MatchesFileSpec(lha::NameToAnsi(h.Name), false)) continue;
        const uint32_t dosDate = h.UnixTime() ? UnixSecondsToDosDate(h.Stamp) : h.Stamp;
        if (dosDate > maxFileDate_) maxFileDate_ = dosDate;
        totalPacked_ += h.PackedSize;
        totalUnpacked += h.UnpackedSize;
        Entries.push_back(std::move(h));
        if (!more) break;
    }
    totalUnpacked_ = totalUnpacked;
    SetBytesToDo(totalUnpacked);
}

bool TUnLHA::ExtractEntry(const lha::THeader& H) {
    const int64_t size = H.UnpackedSize;
    const std::string outPath = ConvertFileName(H.Name);
    if (outPath.empty()) {
        NameRefused(lha::NameToAnsi(H.Name), size);
        return true;
    }
    const bool toFile = OutputTarget == otFile || OutputTarget == otTempStream;
    std::string FN = toFile ? outPath : lha::NameToAnsi(H.Name);
    const uint32_t dosDate = H.UnixTime() ? UnixSecondsToDosDate(H.Stamp) : H.Stamp;
    const TDateTime date = H.UnixTime() ? UnixToDateTime(H.Stamp) : PackedDateToDateTime(H.Stamp);
    bool exists = false;
    switch (PrepareExtractFile(FN, exists, date)) {
        case prStop: return false;
        case prSkip:
            // The run's progress moves past the entry as if it were done:
            // otherwise it stands still until the next entry's first block.
            SkipBytes(size);
            ReportProgress(size, size);
            return true;
        case prExtract: break;
    }
    auto failed = [&](int code) {
        EntryFailed(FN, code, size);
        return true;
    };

    // Refused, not cut: the cut name could be a folder's or another
    // entry's. In a test too, where it could not be extracted either.
    if (H.NameTooLong()) return failed(25235);
    // Only "-lh?-" ids name these methods: "-lz5-" or "-pm2-" data is not
    // the same stream. Refused before the output is opened, so a file the
    // user chose to replace is not emptied for nothing.
    const lha::TMethod method = lha::MethodOf(H.Method);
    if (method == lha::TMethod::Unsupported) return failed(25326);
    if (!inFile_.Seek(H.DataOffset)) RaiseError(FN, "", "0", 25292);

    const std::string target = toFile ? OutputName() : FN;
    if (!OpenEntryOutput(FN, target, size)) return true;
    // Whatever the decoder counts down, the entry counts its size once.
    const int64_t toDoBefore = bytesToDo_;
    Crc = 0;
    bool decoded = true;
    try {
        TStream* out = OutputStreamArg();
        switch (method) {
            case lha::TMethod::Stored:
                // Nothing past the size the header gives is written; stored
                // bytes of another count are not the entry it describes.
                if (!UnStore(std::min(H.PackedSize, size), 16, false)) RaiseError(FN, "", "0", 25400);
                if (H.PackedSize != size) RaiseError(FN, "", "0", 25109);
                break;
            case lha::TMethod::Lh1: decoded = LzhufDecode(*this, nullptr, out, H.PackedSize, size, bytesToDo_); break;
            case lha::TMethod::Lh4: decoded = LzhDecode(*this, lzh::kLh4, nullptr, out, H.PackedSize, size, bytesToDo_); break;
            case lha::TMethod::Lh5: decoded = LzhDecode(*this, lzh::kLh5, nullptr, out, H.PackedSize, size, bytesToDo_); break;
            case lha::TMethod::Lh6: decoded = LzhDecode(*this, lzh::kLh6, nullptr, out, H.PackedSize, size, bytesToDo_); break;
            default: break;
        }
    } catch (const E_RAISE& err) {
        // The data's own faults end this entry; a cancel or a failing write
        // ends the run.
        if (!IsDataError(err.Code()) || cancel_) {
            CloseOutput();
            throw;
        }
        decoded = false;
    }
    const bool pass = decoded && static_cast<uint16_t>(Crc) == H.Crc;
    bytesToDo_ = toDoBefore - size;
    FinishEntry(FN, target, pass, H.Attr, dosDate);
    return true;
}

void TUnLHA::ExtractArchive() {
    std::vector<lha::THeader> entries;
    Gather(entries);
    for (const lha::THeader& h : entries) {
        if (cancel_) break;
        if (!ExtractEntry(h)) break;
    }
}

}  // namespace bramble
