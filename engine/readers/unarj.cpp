#include "engine/readers/unarj.h"

#include <algorithm>

#include "engine/codecs/arjfast.h"
#include "engine/codecs/lzhdecode.h"
#include "engine/core/helpers.h"

namespace bramble {

namespace {

// Faults of an entry's data, and a decoder that cannot get its memory: the
// entry fails, the next one may be sound.
bool IsDataError(int code) { return code == 25109 || code == 25120 || code == 25236 || code == 25253; }

// A stored name as the events and the file specs see it.
std::string AnsiName(const std::string& Stored) { return SlashToBackslash(OemToAnsiName(Stored)); }

}  // namespace

int64_t TUnARJ::ArjFindHeader() {
    const int64_t start = scanPosition_ > 1 ? scanPosition_ - 1 : 0;
    // Behind a self-extractor's program the header lies within reach of
    // where detection found it; a plain archive starts near its beginning.
    const int64_t limit = arcType_ == atArjExe ? start + arj::kSearchSpan : arj::kSearchSpan;
    const int64_t at = arj::FindHeader(arj::StreamReader(inFile_), inFile_.Size(), start, limit);
    if (at < 0) RaiseError(archiveFile_, "", "0", 25242);
    return at;
}

bool TUnARJ::ArjReadHeader(int64_t At, arj::THeader& H) {
    const arj::TParse parsed = arj::ReadHeader(arj::StreamReader(inFile_), inFile_.Size(), At, H);
    if (parsed == arj::TParse::Ok) return true;
    if (parsed == arj::TParse::End) return false;
    RaiseError(volume_, "", "0", parsed == arj::TParse::Crc ? 25237 : parsed == arj::TParse::Short ? 25236 : 25108);
    return false;
}

void TUnARJ::ArjScanVolume(int64_t At) {
    arj::THeader main;
    if (!ArjReadHeader(At, main)) RaiseError(volume_, "", "0", 25108);
    archiveContinues_ = main.Continues();
    list_.clear();
    totalPacked_ = totalUnpacked_ = 0;

    const arj::TReadAt read = arj::StreamReader(inFile_);
    const int64_t size = inFile_.Size();
    const bool more = MoreToFind(0);
    int64_t at = main.DataOffset;
    int64_t total = 0;
    while (!cancel_) {
        arj::THeader h;
        const arj::TParse parsed = arj::ReadHeader(read, size, at, h);
        if (parsed == arj::TParse::End) break;
        if (parsed != arj::TParse::Ok) {
            // Reported, not raised: the entries before it are sound and are
            // still taken. The set does not go on past a volume read only in
            // part.
            const int code = parsed == arj::TParse::Crc ? 25237 : parsed == arj::TParse::Short ? 25236 : 25108;
            ReportError(volume_, "", "0", code);
            archiveContinues_ = false;
            break;
        }
        const std::string name = AnsiName(h.Name);
        if (h.MinVersion > arj::kHighestVersion) RaiseError(name, "", "0", 25402);
        if (h.Method > arj::kHighestMethod || (h.Method == 4 && h.Version == 1)) RaiseError(name, "", "0", 25326);
        at = h.Next();
        if (h.Directory()) continue;
        if (!MatchesFileSpec(name, false)) continue;
        list_.push_back({h.Offset, h.Flags, h.PackedSize, h.UnpackedSize});
        const uint32_t dosDate = h.UnixTime() ? UnixSecondsToDosDate(h.Stamp) : h.Stamp;
        if (dosDate > maxFileDate_) maxFileDate_ = dosDate;
        totalPacked_ += h.PackedSize;
        total += h.UnpackedSize;
        if (!more) break;
    }
    totalUnpacked_ = total;
    SetBytesToDo(total);
}

bool TUnARJ::ArjNextVolume() {
    if (!OpenNextVolume(volume_)) {
        archiveContinues_ = false;
        return false;
    }
    ArjScanVolume(0);
    return true;
}

bool TUnARJ::ArjGetPassword(const std::string& FN) {
    if (!password_.empty()) return true;
    if (!OnGetPassword) {
        SetCancel(true);
        return false;
    }
    for (int attempt = 0; attempt < passwordAttempts_ && password_.empty(); ++attempt) {
        std::string pw = password_;
        bool tryAgain = false;
        Paused([&] { OnGetPassword(this, FN, pw, tryAgain); });
        if (!pw.empty()) {
            password_ = pw;
            break;
        }
        if (!tryAgain) {
            SetCancel(true);
            return false;
        }
    }
    return !cancel_;
}

bool TUnARJ::ArjDecodePart(const arj::THeader& H, const std::string& FN) {
    const bool garbled = H.Garbled();
    // The password garbles shifted by the part's modifier; it is shifted
    // back however the part ends.
    struct TShift {
        std::string& pw;
        int amount;
        ~TShift() { pw = ShiftChars(pw, true, amount); }
    } shift{password_, garbled ? H.PasswordModifier : 0};
    if (garbled) password_ = ShiftChars(password_, false, H.PasswordModifier);
    passwordIndex_ = 1;

    if (!inFile_.Seek(H.DataOffset)) RaiseError(FN, "", "0", 25292);
    const int64_t before = bytesToDo_;
    bool decoded = false;
    try {
        TStream* out = OutputStreamArg();
        switch (H.Method) {
            case 0:
                // Nothing past the size the header gives is written; stored
                // bytes of another count are not the part it describes.
                if (!UnStore(std::min(H.PackedSize, H.UnpackedSize), 32, garbled)) RaiseError(FN, "", "0", 25400);
                if (H.PackedSize != H.UnpackedSize) RaiseError(FN, "", "0", 25109);
                decoded = true;
                break;
            case 1:
            case 2:
            case 3: decoded = LzhDecode(*this, lzh::Arj(garbled), nullptr, out, H.PackedSize, H.UnpackedSize, before); break;
            case 4: decoded = ArjDecodeFast(*this, nullptr, out, H.PackedSize, H.UnpackedSize, garbled, before); break;
            default: break;  // refused by the scan
        }
    } catch (const E_RAISE& err) {
        if (!IsDataError(err.Code()) || cancel_) throw;
        decoded = false;
        fault_ = err.Code();
    }
    bytesToDo_ = before - H.UnpackedSize;
    return decoded;
}

bool TUnARJ::ArjExtractFile(arj::THeader& H) {
    const std::string outPath = ConvertFileName(H.Name);
    if (outPath.empty()) {
        NameRefused(AnsiName(H.Name), H.UnpackedSize);
        return true;
    }
    const bool toFile = OutputTarget == otFile || OutputTarget == otTempStream;
    std::string FN = toFile ? outPath : AnsiName(H.Name);
    const uint32_t dosDate = H.UnixTime() ? UnixSecondsToDosDate(H.Stamp) : H.Stamp;
    const TDateTime date = H.UnixTime() ? UnixToDateTime(H.Stamp) : PackedDateToDateTime(H.Stamp);
    bool exists = false;
    switch (PrepareExtractFile(FN, exists, date)) {
        case prStop: return false;
        case prSkip:
            // ArjSkipFile: the next entry is found by its own offset; only
            // the progress moves on.
            if (!inFile_.Seek(H.Next())) RaiseError(FN, "", "0", 25292);
            SkipBytes(H.UnpackedSize);
            return true;
        case prExtract: break;
    }
    // Asked before the output is opened: a run cancelled here leaves an
    // existing file as it was.
    if (H.Garbled() && !ArjGetPassword(FN)) return false;

    const std::string target = toFile ? OutputName() : FN;
    if (!OpenEntryOutput(FN, target, H.UnpackedSize)) return true;
    struct TClose {
        TUnARJ& r;
        bool armed = true;
        ~TClose() {
            if (armed) r.CloseOutput();
        }
    } close{*this};

    bool garbled = H.Garbled();
    fault_ = 0;
    bool decoded = true;
    bool partPass = true;
    arj::THeader part = H;
    for (bool first = true;; first = false) {
        if (!first && part.Garbled() && !ArjGetPassword(FN)) return false;
        decoded = ArjDecodePart(part, FN);
        partPass = decoded && (Crc ^ 0xFFFFFFFF) == part.Crc;
        if (!decoded || !part.Continues()) break;
        // A garbled part that fails its check: the password is wrong, which
        // ends the run below.
        if (!partPass && part.Garbled()) break;
        // The file goes on in the next volume, as its first entry there.
        if (!ArjNextVolume()) {
            decoded = false;
            break;
        }
        resumeAt_ = 0;
        arj::THeader next;
        if (list_.empty() || !(list_[0].Flags & arj::kContinued) || !ArjReadHeader(list_[0].Offset, next) ||
            next.Name != H.Name)
            RaiseError(FN, "", "0", 25108);
        resumeAt_ = 1;
        if (partPass) Crc = 0xFFFFFFFF;
        garbled = garbled || next.Garbled();
        part = next;
    }

    const bool pass = decoded && partPass;
    close.armed = false;
    FinishEntry(FN, target, pass, H.DosAttr(), dosDate);
    // With a garbled entry a failed check means the password was wrong;
    // a decoder left without memory says nothing about it.
    if (!pass && garbled && fault_ != 25253) RaiseError(FN, "", "0", 26517);
    return true;
}

void TUnARJ::ExtractArchive() {
    volume_ = archiveFile_;
    resumeAt_ = -1;
    // Every run numbers the volumes from the archive's own name again; a
    // self-extractor's volumes are named like a plain archive's.
    ParseVolumeNumber();
    if (arcType_ == atArjExe) {
        volumeLetter_ = 'a';
        volumeNumber_ = 1;
    }
    ArjScanVolume(ArjFindHeader());
    for (;;) {
        size_t i = 0;
        while (i < list_.size()) {
            if (cancel_) return;
            const TListed e = list_[i++];
            // A part of a file begun in an earlier volume: its start was not
            // taken, and the part alone is no file.
            if (e.Flags & arj::kContinued) continue;
            arj::THeader h;
            if (!ArjReadHeader(e.Offset, h) || h.FileType == arj::kDirectoryType) continue;
            Crc = 0xFFFFFFFF;
            resumeAt_ = -1;
            if (!ArjExtractFile(h)) return;
            if (resumeAt_ >= 0) i = static_cast<size_t>(resumeAt_);
        }
        if (cancel_ || !archiveContinues_) return;
        if (!ArjNextVolume()) return;
    }
}

}  // namespace bramble
