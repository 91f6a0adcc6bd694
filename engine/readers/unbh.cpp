#include "engine/readers/unbh.h"

#include <algorithm>

#include "engine/codecs/lzhdecode.h"
#include "engine/codecs/zipmethod.h"
#include "engine/core/helpers.h"
#include "engine/core/zipcrypt.h"

namespace bramble {

namespace {

// Faults of an entry's data, and a decoder that cannot get its memory: the
// entry fails, the next one may be sound.
bool IsDataError(int code) {
    switch (code) {
        case 25108: case 25109: case 25120: case 25138: case 25236: case 25247: case 25253: case 25293:
        case 25298: case 25326:
            return true;
        default:
            return false;
    }
}

}  // namespace

void TUnBH::Gather(std::vector<bh::TEntry>& Entries) {
    const bh::TReadAt read = bh::StreamReader(inFile_);
    int64_t at = std::max<int64_t>(scanPosition_ - 1, 0);
    const bool more = MoreToFind(0);
    int64_t totalUnpacked = 0;
    while (!cancel_) {
        bh::TEntry e;
        const bh::TParse parsed = bh::ParseEntry(read, arcFileSize_, at, e);
        if (parsed == bh::TParse::End) break;
        if (parsed != bh::TParse::Ok) {
            // What follows cannot be found: the entries before it are taken.
            ReportError(archiveFile_, "", "0", 25108);
            break;
        }
        at = e.Next;
        if (!e.Listed()) continue;
        if (!MatchesFileSpec(OemToAnsiName(e.Name), false)) continue;
        if (e.H.DosDate > maxFileDate_) maxFileDate_ = e.H.DosDate;
        totalPacked_ += e.DataSize();
        totalUnpacked += e.H.UnpackedSize;
        Entries.push_back(std::move(e));
        if (!more) break;
    }
    totalUnpacked_ = totalUnpacked;
    SetBytesToDo(totalUnpacked);
}

bool TUnBH::FindPassword(const std::string& FN, const bh::THeader& H, const uint8_t Header[12]) {
    auto opens = [&](const std::string& pw) { return ZipCheckCryptHeader(Header, pw, H.Flags, H.Crc, H.DosDate); };
    // The one that opened the last entry first (a run starts with none,
    // and an empty one is no password to try), then Passwords in order.
    if (!password_.empty() && opens(password_)) return true;
    for (const std::string& pw : passwords_)
        if (opens(pw)) {
            password_ = pw;
            return true;
        }
    if (!OnGetPassword) {
        ReportError(FN, "OnGetPassword", "0", 25270);
        return false;
    }
    for (int attempt = 0; attempt < passwordAttempts_; ++attempt) {
        std::string pw;
        bool tryAgain = true;
        Paused([&] { OnGetPassword(this, FN, pw, tryAgain); });
        if (!tryAgain) break;  // the user gave up
        if (opens(pw)) {
            // Tried first from now on: the next entries likely share it.
            passwords_.erase(std::remove(passwords_.begin(), passwords_.end(), pw), passwords_.end());
            passwords_.insert(passwords_.begin(), pw);
            password_ = pw;
            return true;
        }
        ReportError(FN, "", "0", 26517);
    }
    ReportError(FN, "", "0", 26522);
    return false;
}

bool TUnBH::ExtractEntry(const bh::TEntry& E) {
    const bh::THeader& H = E.H;
    const int64_t size = H.UnpackedSize;
    const std::string outPath = ConvertFileName(E.Name);
    if (outPath.empty()) {
        NameRefused(OemToAnsiName(E.Name), size);
        return true;
    }
    const bool toFile = OutputTarget == otFile || OutputTarget == otTempStream;
    std::string FN = toFile ? outPath : OemToAnsiName(E.Name);
    bool exists = false;
    switch (PrepareExtractFile(FN, exists, PackedDateToDateTime(H.DosDate))) {
        case prStop: return false;
        case prSkip: SkipBytes(size); return true;
        case prExtract: break;
    }
    auto failed = [&](int code) {
        EntryFailed(FN, code, size);
        return true;
    };

    // A method no decoder here knows is refused before the output is
    // opened, so a file the user chose to replace is not emptied for
    // nothing, and before anyone is asked for a password.
    const uint8_t method = H.Method;
    if (method != bh::kMethodStored && method != bh::kMethodFuse && method != bh::kMethodDeflate2 &&
        method != bh::kMethodDeflate)
        return failed(25326);
    if (!inFile_.Seek(E.DataOffset)) RaiseError(FN, "", "0", 25292);

    const bool encrypted = H.Encrypted();
    if (encrypted) {
        uint8_t header[bh::kCryptHeaderSize];
        if (inFile_.Read(header, sizeof header) != static_cast<int64_t>(sizeof header)) return failed(25236);
        if (!FindPassword(FN, H, header)) {
            // The entry failed, and OnEnd says so like for every entry that
            // could not be written: a caller counts the verdicts.
            SkipBytes(size);
            EndEntry(FN, false);
            return false;  // a password that fits nothing ends the run
        }
    }

    const std::string target = toFile ? OutputName() : FN;
    if (!OpenEntryOutput(FN, target, size)) return true;
    // Whatever the decoder counts down, the entry counts its size once.
    const int64_t toDoBefore = bytesToDo_;
    Crc = 0xFFFFFFFF;
    const int64_t data = E.DataSize();
    bool decoded = true;
    try {
        TStream* out = OutputStreamArg();
        switch (method) {
            case bh::kMethodStored:
                if (!UnStore(data, 32, encrypted)) RaiseError(FN, "", "0", 25400);
                // Stored data that ends early is short, not a match.
                if (static_cast<int64_t>(H.UnpackedSize) != data) RaiseError(FN, "", "0", 25109);
                break;
            case bh::kMethodFuse:
                decoded = LzhDecode(*this, lzh::Bh(encrypted), nullptr, out, data, size, bytesToDo_);
                break;
            default:
                ZipMethodDecode(*this, bh::kMethodDeflate, H.Flags, H.PackedSize, size, encrypted, bytesToDo_);
                break;
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
    const bool pass = decoded && (H.Crc == ~Crc || H.Crc == Crc);
    bytesToDo_ = toDoBefore - size;
    FinishEntry(FN, target, pass, H.Attr, H.DosDate);
    return true;
}

void TUnBH::ExtractArchive() {
    std::vector<bh::TEntry> entries;
    Gather(entries);
    for (const bh::TEntry& e : entries) {
        if (cancel_) break;
        if (!ExtractEntry(e)) break;
    }
}

}  // namespace bramble
