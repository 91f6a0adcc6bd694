#include "engine/readers/unzip.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

#include "engine/codecs/zipmethod.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/core/zipcrypt.h"

namespace bramble {

namespace {

// Decoder errors that condemn the entry's data, not the run: the next
// entry may well be sound, as other tools find when they test.
bool IsDataError(int code) {
    switch (code) {
        case 25108: case 25109: case 25120: case 25121: case 25138: case 25139: case 25152:
        case 25236: case 25247: case 25293: case 25298: case 25326:
            return true;
        default:
            return false;
    }
}

// The methods ZipMethodDecode takes: stored, shrunk, reduced, imploded,
// deflated.
bool IsDecodableMethod(uint32_t method) { return method <= 6 || method == 8; }

// Thrown through the decoder when the user refuses the next disk of a set:
// the run ends without a message.
struct TDiskRefused {};

constexpr const char* kNoSerial = "00000000";

// Whether Begin to End of Disk reaches into one of the stretches claimed.
bool Overlaps(const std::map<std::pair<int, int64_t>, int64_t>& Claimed, int Disk, int64_t Begin, int64_t End) {
    // No two of them overlap: only the first one starting at or after
    // Begin and the one before it can reach the new one.
    const auto next = Claimed.lower_bound({Disk, Begin});
    if (next != Claimed.end() && next->first.first == Disk && next->first.second < End) return true;
    if (next == Claimed.begin()) return false;
    const auto before = std::prev(next);
    return before->first.first == Disk && before->second > Begin;
}

}  // namespace

// The compressed data of one entry, read on over the following disks of a
// spanned set when a disk ends before the data does.
class TSpannedZipInput : public TZipInput {
public:
    TSpannedZipInput(TUnZIP& Reader, int64_t Count, bool Decrypt)
        : TZipInput(Reader, Count, Decrypt), reader_(Reader) {}

protected:
    bool NextSource() override {
        if (!reader_.spanned_ || reader_.disk_ >= reader_.lastDisk_) return false;
        if (!reader_.InsertDisk(reader_.disk_ + 1)) throw TDiskRefused{};
        return true;
    }

private:
    TUnZIP& reader_;
};

TUnZIP::TUnZIP(TComponent* AOwner) : TUnBase(AOwner) {
    // Archives with comments need the end-record search to reach past them.
    zipCmntBufSize_ = 32000;
}

// ---- reading, across disks when the set is spanned -------------------------

bool TUnZIP::ReadOn(void* Buffer, int64_t Count) {
    auto* p = static_cast<uint8_t*>(Buffer);
    while (Count > 0) {
        const int64_t got = inFile_.Read(p, Count);
        if (got < 0) return false;
        p += got;
        Count -= got;
        if (Count == 0) break;
        if (!spanned_ || disk_ >= lastDisk_) return false;
        if (!InsertDisk(disk_ + 1)) return false;
    }
    return true;
}

bool TUnZIP::SkipOn(int64_t Count) {
    while (Count > 0) {
        const int64_t pos = inFile_.Position(), size = inFile_.Size();
        if (pos < 0 || size < 0) return false;
        const int64_t here = std::min(Count, std::max<int64_t>(size - pos, 0));
        if (!inFile_.Seek(pos + here)) return false;
        Count -= here;
        if (Count == 0) break;
        if (!spanned_ || disk_ >= lastDisk_) return false;
        if (!InsertDisk(disk_ + 1)) return false;
    }
    return true;
}

// ---- disks of a spanned set ---------------------------------------------------

bool TUnZIP::DriveReady() {
    const std::string& drive = diskManager_->Drive();
    if (drive.empty()) return true;
    // Only the letters A to Z name a drive that a disk can be put into:
    // asking the user again for anything else would never end.
    const char letter = drive[0];
    if (!IsUNCPath(drive) && !((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')))
        throw Exception("Drive not ready");
    os::DiskSpace space;
    return os::GetDiskSpace(AppendBackslash(drive), space);
}

bool TUnZIP::GetLastDisk() {
    if (zipHeadFlags_ & 0x01) return true;
    if (!OnGetZipLastDisk) {
        ReportError(archiveFile_, "OnGetZipLastDisk", "0", 25270);
        stopRun_ = true;
        return false;
    }
    SetZipCmntBufSize(32000);
    for (;;) {
        // No handle stays open on a disk the user is about to take out.
        inFile_.Close();
        bool cancelled = true;
        Paused([&] { OnGetZipLastDisk(this, cancelled); });
        if (cancelled) {
            cancel_ = true;
            stopRun_ = true;
            return false;
        }
        if (!DriveReady() || !os::FileExists(archiveFile_)) continue;
        ReopenSpannedDisk();
        if (FindEndRecord()) return true;
    }
}

bool TUnZIP::FindEndRecord() {
    // Only the end record matters here: what the rest of the disk looks
    // like (a continuation of some entry's data) is no concern.
    zipHeadFlags_ = 0;
    const int64_t size = inFile_.Size();
    const int64_t span = zip::EndSearchSpan(size, zipCmntBufSize_);
    std::vector<uint8_t> tail(static_cast<size_t>(span));
    if (!inFile_.Seek(size - span) || inFile_.Read(tail.data(), span) != span) return false;
    const std::optional<size_t> hit = zip::FindEndRecord(tail.data(), tail.size());
    if (!hit) return false;
    std::memcpy(zipEndRecord_.data(), &tail[*hit], zip::kEndSize);
    zipHeadFlags_ = 0x01;
    return true;
}

bool TUnZIP::FirstDiskInDrive() {
    if (!DriveReady() || !diskManager_->RefreshDiskInfo()) return false;
    const int number = diskManager_->DiskNumber();
    if (number > 1 || !os::FileExists(archiveFile_)) return false;
    inFile_.Close();
    if (!inFile_.Open(archiveFile_, os::OpenMode::Read)) return false;
    arcFileSize_ = inFile_.Size();
    uint8_t sig[4];
    if (!inFile_.Seek(0) || inFile_.Read(sig, 4) != 4) return false;
    const uint32_t s = zip::GetLe32(sig);
    // Only the first disk carries the marker; a later disk may well begin
    // with a local header, so a bare one counts only under the first label.
    return s == zip::kSpanMarker || s == zip::kSingleSpanMarker || (number == 1 && s == zip::kLocalSig);
}

bool TUnZIP::GetFirstDisk() {
    if (FirstDiskInDrive()) {
        disk_ = 0;
        volumeNumber_ = diskManager_->DiskNumber();
        return true;
    }
    if (!OnGetZipFirstDisk) {
        ReportError(archiveFile_, "OnGetZipFirstDisk", "0", 25270);
        stopRun_ = true;
        return false;
    }
    for (;;) {
        inFile_.Close();
        bool cancelled = true;
        Paused([&] { OnGetZipFirstDisk(this, cancelled); });
        if (cancelled) {
            cancel_ = true;
            stopRun_ = true;
            return false;
        }
        if (FirstDiskInDrive()) break;
    }
    disk_ = 0;
    volumeNumber_ = diskManager_->DiskNumber();
    return true;
}

bool TUnZIP::AskNextDisk(int Wanted) {
    if (!OnGetZipNextDisk) {
        ReportError(archiveFile_, "OnGetZipNextDisk", "0", 25270);
        stopRun_ = true;
        return false;
    }
    const std::string volume = std::to_string(Wanted + 1);
    const std::string oldSerial = diskManager_->SerialText();
    inFile_.Close();
    for (;;) {
        bool cancelled = true;
        Paused([&] { OnGetZipNextDisk(this, volume, cancelled); });
        if (cancelled) {
            cancel_ = true;
            stopRun_ = true;
            return false;
        }
        if (!DriveReady() || !diskManager_->RefreshDiskInfo()) continue;
        const bool holdsArchive = os::FileExists(archiveFile_);
        const int number = diskManager_->DiskNumber();
        if (number > 0) {
            // A labelled disk says which it is.
            if (number == Wanted + 1 && holdsArchive) break;
            continue;
        }
        const std::string& serial = diskManager_->SerialText();
        if (serial == kNoSerial && oldSerial == kNoSerial) {
            // Nothing tells these disks apart: the user's word is taken.
            ReportError(archiveFile_, "", volume, 25154);
            if (holdsArchive) break;
            continue;
        }
        if (serial == oldSerial) continue;  // still the same disk
        if (holdsArchive) break;
    }
    ReopenSpannedDisk();
    disk_ = Wanted;
    volumeNumber_ = Wanted + 1;
    return true;
}

bool TUnZIP::InsertDisk(int Wanted) {
    if (Wanted == disk_ && inFile_.IsOpen()) return true;
    if (Wanted < 0 || Wanted > lastDisk_) return false;
    return Wanted == 0 ? GetFirstDisk() : AskNextDisk(Wanted);
}

// ---- pass 1: gathering ----------------------------------------------------------

bool TUnZIP::PrepareWalk(bool& central, int64_t& start) {
    const uint8_t flags = zipHeadFlags_;
    if (arcType_ != atZipMV && OnCorruptZipHeader && (flags & 0x19) != 0x19) {
        bool cancelled = true;
        Paused([&] { OnCorruptZipHeader(this, flags, cancelled); });
        if (cancelled) return false;
    }
    central = (flags & 0x08) != 0;
    if (central) {
        TZipEndRecord end = TZipEndRecord::Parse(zipEndRecord_.data());
        start = end.CentralOffset;
        return true;
    }
    // The local walk starts where detection found the first header: behind
    // a program stub or leading zeros, or at 0.
    start = arcOffset_ > 0 ? arcOffset_ : 0;
    uint8_t sig[4];
    if (!inFile_.Seek(start)) RaiseError(archiveFile_, "", "0", 25292);
    if (inFile_.Read(sig, 4) != 4) RaiseError(archiveFile_, "", "0", 25108);
    uint32_t s = zip::GetLe32(sig);
    if (s == zip::kSpanMarker || s == zip::kSingleSpanMarker)
        start += 4;
    else if (s != zip::kLocalSig)
        RaiseError(archiveFile_, "", "0", 25108);
    return true;
}

bool TUnZIP::FindDescriptor(int64_t data, TZipEntryRec& rec, int64_t& next) {
    const auto readAt = [this](int64_t pos, uint8_t* out, int64_t count) -> int64_t {
        return inFile_.Seek(pos) ? inFile_.Read(out, count) : -1;
    };
    const std::optional<zip::TDescriptor> d = zip::FindDescriptor(data, arcFileSize_, readAt, next);
    if (!d) return false;
    rec.CRC = d->CRC;
    rec.PackedSize = d->PackedSize;
    rec.UnpackedSize = d->UnpackedSize;
    return true;
}

void TUnZIP::Gather(bool central, int64_t start, std::vector<Entry>& entries) {
    const bool more = MoreToFind(0);
    const bool toOutput = OutputTarget == otFile || OutputTarget == otTempStream || OutputTarget == otCallerStream;
    TDiskManager outDrive;
    bool checkSpace = false;
    if (toOutput) {
        outDrive.SetDrive(DriveOfPath(extractDir_.empty() ? archiveFile_ : extractDir_));
        checkSpace = outDrive.DriveType() == os::dtRemovable || outDrive.DriveType() == os::dtCDROM;
    }
    int64_t totalUnpacked = 0;
    if (!inFile_.Seek(start)) RaiseError(archiveFile_, "", "0", 25292);
    bool first = true;
    while (!cancel_ && !stopRun_) {
        const int64_t pos = inFile_.Position();
        // A spanned walk ends at the end record, on the last disk.
        if (!spanned_ && (pos < 0 || pos >= arcFileSize_)) break;
        uint8_t raw[TZipCentralRecord::kSize];
        const size_t size = central ? TZipCentralRecord::kSize : TZipLocalHeader::kSize;
        if (!ReadOn(raw, static_cast<int64_t>(size))) break;
        Entry e;
        uint16_t nameLength;
        int64_t skip = 0;    // central: extra field and comment after the name
        int64_t next = -1;   // local: where the next header stands
        bool folder = false;
        if (central) {
            TZipCentralRecord r = TZipCentralRecord::Parse(raw);
            if (!r.Valid()) {
                // Detection vouched for the first record of one file; a set
                // read disk by disk is checked here.
                if (first && spanned_) RaiseError(archiveFile_, "", "0", 25108);
                break;
            }
            e.rec = TZipEntryRec::FromCentral(r);
            e.dosDate = r.DosDateTime();
            e.disk = spanned_ ? r.DiskStart : 0;
            e.madeBy = r.VersionMadeBy;
            nameLength = r.NameLength;
            skip = int64_t{r.ExtraLength} + r.CommentLength;
            folder = (r.ExternalAttr & 0x18) != 0;  // folders and volume labels hold no data
        } else {
            TZipLocalHeader h = TZipLocalHeader::Parse(raw);
            if (!h.Valid()) break;
            e.rec = TZipEntryRec::FromLocal(h, static_cast<uint32_t>(pos));
            e.dosDate = h.DosDateTime();
            nameLength = h.NameLength;
            const int64_t data = pos + h.DataOffset();
            next = data + h.PackedSize;
        }
        std::string name(nameLength, '\0');
        if (!ReadOn(name.data(), nameLength)) break;
        // Sizes written after the data (a streamed entry) are looked for
        // there (the data starts at next); without them the next header
        // cannot be found.
        if (!central && (e.rec.Flags & zip::kFlagDescriptor) && e.rec.PackedSize == 0 &&
            !FindDescriptor(next, e.rec, next)) {
            next = arcFileSize_ + 1;
            e.sizesLost = true;
        }
        // A walk of the local headers that can find no next header, past
        // data that runs beyond the file or a streamed entry with no sizes
        // behind it, may leave entries behind: the run says so.
        if (!central && !spanned_ && next > arcFileSize_) ReportError(archiveFile_, "", "0", 25236);
        std::replace(name.begin(), name.end(), '\0', ' ');
        if (!folder) {
            e.storedName = zip::AnsiName(name, e.rec.Flags, e.madeBy);
            if (MatchesFileSpec(e.storedName, false)) {
                if (checkSpace && !outDrive.GetDiskSpace()) checkSpace = false;
                if (checkSpace && e.rec.UnpackedSize >= outDrive.FreeBytes())
                    RaiseError(e.storedName, "", "0", 25155);
                bool encrypted = e.rec.Flags & zip::kFlagEncrypted;
                totalPacked_ += e.rec.PackedSize - (encrypted && e.rec.PackedSize >= 12 ? 12 : 0);
                totalUnpacked += e.rec.UnpackedSize;
                if (e.dosDate > maxFileDate_) maxFileDate_ = e.dosDate;
                entries.push_back(std::move(e));
                if (!more) break;
            }
        }
        first = false;
        if (central) {
            if (!SkipOn(skip)) break;
        } else {
            if (next <= pos || !inFile_.Seek(next)) break;
        }
    }
    totalUnpacked_ = totalUnpacked;
    SetBytesToDo(totalUnpacked);
}

// ---- pass 2: extracting ---------------------------------------------------------

bool TUnZIP::ExtractEntry(const Entry& e, Claims& Claimed) {
    const TZipEntryRec& rec = e.rec;
    if (spanned_) {
        // The central record says on which disk the entry starts.
        if (e.disk > lastDisk_) {
            EntryFailed(e.storedName, 25248, rec.UnpackedSize);
            return true;
        }
        if (!InsertDisk(e.disk)) return false;
    }
    int64_t pos = rec.Offset;
    uint8_t raw[TZipLocalHeader::kSize];
    auto readHeader = [&](int64_t at) { return inFile_.Seek(at) && inFile_.Read(raw, 30) == 30; };
    // Offsets on the first disk of a set may or may not count the marker
    // that opens it: a header that is not where the offset says is looked
    // for four bytes on.
    auto diskOpensWithMarker = [&] {
        uint8_t sig[4];
        return (!spanned_ || e.disk == 0) && inFile_.Seek(0) && inFile_.Read(sig, 4) == 4 &&
               (zip::GetLe32(sig) == zip::kSpanMarker || zip::GetLe32(sig) == zip::kSingleSpanMarker);
    };
    bool found = readHeader(pos);
    if (found && zip::GetLe32(raw) != zip::kLocalSig &&
        (zip::GetLe32(raw) == zip::kSpanMarker || diskOpensWithMarker())) {
        pos += 4;
        found = readHeader(pos);
    }
    TZipLocalHeader h = TZipLocalHeader::Parse(raw);
    if (!found || !h.Valid()) {
        EntryFailed(e.storedName, 25248, rec.UnpackedSize);
        return true;
    }
    // The entry is written under the directory's name, the one the user saw
    // and chose, whatever its local header names: some archivers put a
    // stand-in there (the real name in an extra field), a hostile one a name
    // it never listed.
    if (!SkipOn(h.NameLength)) {
        if (stopRun_) return false;
        EntryFailed(e.storedName, 25248, rec.UnpackedSize);
        return true;
    }
    // Entries that overlap let a small archive write without end: one whose
    // header or data lie in what an entry extracted before took up is
    // refused, by the directory's offset and packed size, before it decodes.
    const int64_t end = pos + h.DataOffset() + rec.PackedSize;
    if (Overlaps(Claimed, e.disk, pos, end)) {
        EntryFailed(e.storedName, 25248, rec.UnpackedSize);
        return true;
    }
    // Without its descriptor a streamed entry has no size and no CRC: the
    // empty file it would give passes for it.
    if (e.sizesLost) {
        EntryFailed(e.storedName, 25236, rec.UnpackedSize);
        return true;
    }
    const std::string& asListed = e.storedName;
    std::string outPath = ConvertAnsiName(asListed);
    if (outPath.empty()) {
        NameRefused(asListed, rec.UnpackedSize);
        return true;
    }
    const bool toFile = OutputTarget == otFile || OutputTarget == otTempStream;
    std::string FN = toFile ? outPath : asListed;
    bool exists = false;
    switch (PrepareExtractFile(FN, exists, PackedDateToDateTime(e.dosDate))) {
        case prStop: return false;
        case prSkip: SkipBytes(rec.UnpackedSize); return true;
        case prExtract: break;
    }
    const bool encrypted = rec.Flags & zip::kFlagEncrypted;
    // Once the entry is done it keeps only what it really took up: its
    // headers and what its decoder took in, the data of a deflate stream
    // that ended on its own, say, and not the packed size its records
    // declare. An overstated one would hide every entry after it.
    struct Trim {
        Claims::iterator claim;
        int64_t data;          // where the data starts, behind an encryption header
        int64_t consumed = 0;  // of it, by any decode tried
        ~Trim() { claim->second = std::min(claim->second, data + consumed); }
    } trim{Claimed.emplace(std::pair{e.disk, pos}, end).first, pos + h.DataOffset() + (encrypted ? 12 : 0)};
    auto failed = [&](int code) {
        EntryFailed(FN, code, rec.UnpackedSize);
        return !stopRun_;
    };

    if (!SkipOn(h.ExtraLength)) return failed(25236);
    // A method no decoder here knows is refused before the output is
    // opened (opening it would empty a file the user chose to replace, for
    // nothing), and before anyone is asked for a password.
    if (!IsDecodableMethod(rec.Method)) return failed(25326);
    uint8_t header[zip::kCryptHeaderSize];
    if (encrypted && !ReadOn(header, sizeof header)) return failed(25236);

    const std::string target = toFile ? OutputName() : FN;
    const int64_t count = std::max<int64_t>(int64_t{rec.PackedSize} - (encrypted ? 12 : 0), 0);
    // Where the data starts, and what the output looked like then: a decode
    // with a password that opened the header but not the data is undone
    // before the next password is tried.
    const int64_t dataPos = inFile_.Position();
    const int dataDisk = disk_;
    const int64_t todo = bytesToDo_;
    TStream* stream = OutputTarget == otMemory ? StreamA : OutputTarget == otCallerStream ? StreamB : nullptr;
    const int64_t streamAt = stream ? stream->Position() : 0;
    const size_t memoryNames = memoryOutputs_.size();
    bool decoded = true;
    bool refused = false;  // the output could not be opened: only this entry fails
    int attempts = 0;
    // Decodes the data into the output; false when the run must stop (a
    // disk was refused).
    auto decode = [&]() -> bool {
        if (attempts++ > 0) {
            if (spanned_ && disk_ != dataDisk && !InsertDisk(dataDisk)) return false;
            if (!inFile_.Seek(dataPos)) RaiseError(FN, "", "0", 25292);
            bytesToDo_ = todo;
            if (stream && stream->Seek(streamAt)) stream->SetSize(streamAt);
            memoryOutputs_.resize(memoryNames);
        }
        if (!OpenOutput(target, OutputStreamArg())) {
            refused = true;
            return true;
        }
        Crc = 0xFFFFFFFF;
        decoded = true;
        TSpannedZipInput in(*this, count, encrypted);
        try {
            ZipMethodDecode(in, static_cast<uint16_t>(rec.Method), rec.Flags, rec.UnpackedSize, bytesToDo_);
            trim.consumed = std::max(trim.consumed, in.Consumed());
        } catch (const TDiskRefused&) {
            CloseOutput();
            return false;
        } catch (const E_RAISE& err) {
            // The decoder has reported what it found; a damaged entry fails
            // on its own and the run goes on, a cancel or a failing disk
            // does not.
            if (!IsDataError(err.Code()) || cancel_) {
                CloseOutput();
                throw;
            }
            decoded = false;
            trim.consumed = std::max(trim.consumed, in.Consumed());
        }
        return true;
    };
    auto passed = [&] { return decoded && ~Crc == rec.CRC; };
    auto finish = [&](bool pass) {
        if (refused) {
            OutputRefused(FN, target, rec.UnpackedSize);
            return true;
        }
        if (OutputTarget == otFile)
            RestoreFileStamp(rec.ExternalAttr, e.dosDate, target);
        else
            CloseOutput();
        SkipBytes(rec.UnpackedSize);
        if (!EndEntry(FN, pass) && decoded && !pass) ReportError(FN, "", "0", 25151);
        return true;
    };

    if (!encrypted) return decode() && finish(passed());

    auto opens = [&](const std::string& pw) { return ZipCheckCryptHeader(header, pw, rec.Flags, rec.CRC, h.Time); };
    // The passwords at hand first: the one that opened the last entry (none
    // before one did: an empty password is tried only when given), then
    // Passwords. A wrong one opens the header about once in 256 tries, so
    // one that opens the header but not the data makes way for the next;
    // what its decode reported is held back until no other is left.
    std::vector<std::string> known;
    if (!password_.empty()) known.push_back(password_);
    for (const std::string& pw : passwords_)
        if (std::find(known.begin(), known.end(), pw) == known.end()) known.push_back(pw);
    struct Held {
        std::string fn, ex, volume;
        int code;
    };
    std::vector<Held> held;
    auto replayHeld = [&] {
        for (const Held& x : held) ReportError(x.fn, x.ex, x.volume, x.code);
        held.clear();
    };
    bool opened = false;
    for (const std::string& pw : known) {
        if (!opens(pw)) continue;
        opened = true;
        held.clear();
        bool go;
        try {
            TSwapGuard<TOnError> hold(OnError, [&held](TObject*, const std::string& fn, const std::string& ex,
                                                       const std::string& volume, int code) {
                held.push_back({fn, ex, volume, code});
            });
            go = decode();
        } catch (...) {
            replayHeld();
            throw;
        }
        if (!go) return false;
        if (refused) return finish(false);
        if (passed()) {
            password_ = pw;
            return finish(true);
        }
    }

    if (OnGetPassword) {
        for (int attempt = 0; attempt < passwordAttempts_; ++attempt) {
            std::string pw;
            bool tryAgain = false;
            Paused([&] { OnGetPassword(this, FN, pw, tryAgain); });
            if (opens(pw)) {
                password_ = pw;
                // What the user typed opens the next entries too, and the
                // tester hands it back to the application.
                if (std::find(passwords_.begin(), passwords_.end(), pw) == passwords_.end()) passwords_.push_back(pw);
                // The user's word is taken: a decode that fails now is a
                // damaged entry.
                return decode() && finish(passed());
            }
            ReportError(FN, "", "0", 26517);
            if (!tryAgain) break;
        }
        ReportError(FN, "", "0", 26522);
        CloseOutput();
        EndEntry(FN, false);
        return false;
    }
    if (!opened) {
        ReportError(FN, "OnGetPassword", "0", 25270);
        EndEntry(FN, false);
        SkipBytes(rec.UnpackedSize);
        return true;
    }
    // Each password at hand opened the header and none the data: the entry
    // fails as its last decode found it.
    replayHeld();
    return finish(false);
}

void TUnZIP::ExtractArchive() {
    stopRun_ = false;
    disk_ = lastDisk_ = 0;
    // A set is read disk by disk only from a removable drive; elsewhere its
    // parts were joined into one file.
    spanned_ = arcType_ == atZipMV && diskManager_->DriveType() == os::dtRemovable;
    std::vector<Entry> entries;
    if (spanned_) {
        // An earlier run may have left another disk in the drive than the
        // one detection looked at.
        FindEndRecord();
        if (!GetLastDisk()) return;
        const TZipEndRecord end = TZipEndRecord::Parse(zipEndRecord_.data());
        lastDisk_ = end.ThisDisk;
        disk_ = lastDisk_;
        if (end.CentralDisk > end.ThisDisk) RaiseError(archiveFile_, "", "0", 25108);
        // The central directory is read from the disk it starts on, on over
        // the following ones.
        if (!InsertDisk(end.CentralDisk)) return;
        Gather(true, end.CentralOffset, entries);
        if (stopRun_) return;
    } else {
        bool central = false;
        int64_t start = 0;
        if (!PrepareWalk(central, start)) return;
        Gather(central, start, entries);
    }
    Claims claimed;
    for (const Entry& e : entries) {
        if (cancel_ || stopRun_) break;
        if (!ExtractEntry(e, claimed)) break;
    }
}

}  // namespace bramble
