#include "engine/readers/unarc.h"

#include <algorithm>

#include "engine/codecs/arccrunch.h"
#include "engine/codecs/arcio.h"
#include "engine/codecs/arcunsqueeze.h"
#include "engine/codecs/unlzw.h"
#include "engine/core/helpers.h"

namespace bramble {

namespace {

// Faults of an entry's data: the entry fails, the next one may be sound.
bool IsDataError(int code) {
    switch (code) {
        case 25109:  // output other than the unpacked size
        case 25134:  // the bit count of a dynamic entry
        case 25138:
        case 25139:  // a code the table cannot have made
        case 25152:  // the squeeze tree
        case 25236:  // the data ends inside the entry
        case 25298:  // a crunched string that never ends
            return true;
        default: return false;
    }
}

bool KnownMethod(uint8_t m) { return m >= 1 && m <= 9; }

}  // namespace

void TUnARC::Gather(std::vector<TItem>& Entries) {
    int64_t at = std::max<int64_t>(scanPosition_ - 1, 0);
    const bool more = MoreToFind(0);
    int64_t totalUnpacked = 0;
    arc::TDirectoryPath dirs;
    while (!cancel_ && at + 2 <= arcFileSize_) {
        uint8_t b[arc::kHeaderSize];
        if (!inFile_.Seek(at)) RaiseError(archiveFile_, "", "0", 25236);
        const int64_t got = inFile_.Read(b, std::min<int64_t>(arc::kHeaderSize, arcFileSize_ - at));
        TItem item;
        arc::THeader& h = item.Header;
        const arc::TParse parsed = arc::ParseHeader(b, static_cast<size_t>(std::max<int64_t>(got, 0)), at, h);
        if (parsed == arc::TParse::End) break;
        at = h.Next();
        if (parsed == arc::TParse::DirectoryEnd) {
            dirs.Close();
            continue;
        }
        if (h.Directory()) {
            dirs.Open(h.Name);
            continue;
        }
        item.Path = dirs.Path() + h.Name;
        if (!MatchesFileSpec(OemToAnsiName(item.Path), false)) continue;
        if (h.Stamp > maxFileDate_) maxFileDate_ = h.Stamp;
        totalPacked_ += h.PackedSize;
        totalUnpacked += h.UnpackedSize;
        Entries.push_back(std::move(item));
        if (!more) break;
    }
    totalUnpacked_ = totalUnpacked;
    SetBytesToDo(totalUnpacked);
}

void TUnARC::Decode(const arc::THeader& H) {
    const uint8_t m = H.Method;
    const bool rle = m == 3 || m == 4 || m == 6 || m == 7 || m == 8;
    TArcOutput out(*this, OutputStreamArg(), H.UnpackedSize, bytesToDo_, rle);
    switch (m) {
        case 8: {
            // The bit count the entry was made with comes first.
            uint8_t bits = 0;
            if (H.PackedSize == 0) break;
            if (ReadHook(nullptr, 1, 0, false, &bits) != 1) throw E_RAISE(25236);
            if (bits != 12) throw E_RAISE(25134);
            LzwDecodeCodes(*this, int64_t{H.PackedSize} - 1, 12, true, out);
            break;
        }
        case 9: LzwDecodeCodes(*this, H.PackedSize, 13, true, out); break;
        default: {
            TArcInput in(*this, H.PackedSize);
            if (m == 4) {
                ArcUnsqueeze(in, out);
            } else if (m >= 5) {
                ArcUncrunch(in, out, m == 7);
            } else {
                for (int c; (c = in.Get()) >= 0;) out.Out(static_cast<uint8_t>(c));
            }
            break;
        }
    }
    out.Finish();
}

bool TUnARC::ExtractEntry(const TItem& Item) {
    const arc::THeader& H = Item.Header;
    const int64_t size = H.UnpackedSize;
    const std::string outPath = ConvertFileName(Item.Path);
    if (outPath.empty()) {
        NameRefused(OemToAnsiName(Item.Path), size);
        return true;
    }
    const bool toFile = OutputTarget == otFile || OutputTarget == otTempStream;
    std::string FN = toFile ? outPath : OemToAnsiName(Item.Path);
    bool exists = false;
    switch (PrepareExtractFile(FN, exists, PackedDateToDateTime(H.Stamp))) {
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
    if (!KnownMethod(H.Method)) return failed(25326);
    if (!inFile_.Seek(H.DataOffset())) RaiseError(FN, "", "0", 25292);

    const std::string target = toFile ? OutputName() : FN;
    if (!OpenEntryOutput(FN, target, size)) return true;
    Crc = 0;
    bool decoded = true;
    try {
        Decode(H);
    } catch (const E_RAISE& err) {
        // The data's own faults end this entry; a cancel or a failing write
        // ends the run.
        if (!IsDataError(err.Code()) || cancel_) {
            CloseOutput();
            throw;
        }
        ReportError(FN, "", "0", err.Code());
        decoded = false;
    }
    const bool pass = decoded && static_cast<uint16_t>(Crc) == H.Crc;
    SkipBytes(size);
    FinishEntry(FN, target, pass, 32, H.Stamp);
    return true;
}

void TUnARC::ExtractArchive() {
    std::vector<TItem> entries;
    Gather(entries);
    for (const TItem& item : entries) {
        if (cancel_) break;
        if (!ExtractEntry(item)) break;
    }
}

}  // namespace bramble
