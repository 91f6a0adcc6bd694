#include "engine/writers/zip.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "engine/codecs/deflate.h"
#include "engine/core/crc.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/core/zipcrypt.h"

namespace bramble {

namespace {

constexpr int64_t kMaxOffset = 0xFFFFFFFFLL;  // positions and sizes are 32-bit fields
constexpr int64_t kCopyBlock = 32768;
// A disk must take the spanned-set marker and one whole local header; a
// later one a local header.
constexpr uint64_t kFirstDiskMinimum = zip::kMarkerSize + zip::kLocalSize;
constexpr uint64_t kNextDiskMinimum = zip::kLocalSize;
constexpr const char* kNoSerial = "00000000";

// The next disk could not be had (refused, cancelled, or no event to ask):
// the spanned write ends with the disks written so far.
struct TSpanStopped {};

bool ReadAt(TStream& s, int64_t at, void* buffer, int64_t count) {
    return at >= 0 && s.Seek(at) && s.Read(buffer, count) == count;
}

// One record of a central directory with its name, extra field and comment.
struct TCentralEntry {
    TZipCentralRecord rec;
    std::vector<uint8_t> raw;  // the whole record as stored
    int64_t next = 0;          // where the next record starts
    std::string Name() const {
        return std::string(reinterpret_cast<const char*>(raw.data()) + zip::kCentralSize, rec.NameLength);
    }
};

// Reads the central record at Pos, ending before Limit; false when there is
// none (or it runs past Limit).
bool ReadCentral(TStream& s, int64_t pos, int64_t limit, TCentralEntry& e) {
    uint8_t fixed[zip::kCentralSize];
    if (pos < 0 || pos + int64_t{zip::kCentralSize} > limit || !ReadAt(s, pos, fixed, sizeof fixed)) return false;
    e.rec = TZipCentralRecord::Parse(fixed);
    if (!e.rec.Valid() || pos + e.rec.TotalSize() > limit) return false;
    e.raw.assign(fixed, fixed + sizeof fixed);
    e.raw.resize(static_cast<size_t>(e.rec.TotalSize()));
    const int64_t rest = e.rec.TotalSize() - int64_t{zip::kCentralSize};
    if (rest > 0 && s.Read(e.raw.data() + zip::kCentralSize, rest) != rest) return false;
    e.next = pos + e.rec.TotalSize();
    return true;
}

// The central directory as one block read at once: its records are walked
// in memory, positions counted as in the file.
class TCentralBlock {
public:
    bool Load(TStream& s, int64_t from, int64_t to) {
        base_ = from;
        const int64_t size = to - from;
        if (from < 0 || size < 0) return false;
        mem_.SetSize(size);
        return size == 0 || ReadAt(s, from, mem_.Data().data(), size);
    }
    bool Read(int64_t pos, int64_t limit, TCentralEntry& e) {
        if (!ReadCentral(mem_, pos - base_, limit - base_, e)) return false;
        e.next += base_;
        return true;
    }

private:
    TMemoryStream mem_;
    int64_t base_ = 0;
};

// The name the entry list knows a stored name by: OEM text with '\'
// separators, as gathered files are named, also for names stored as UTF-8.
std::string ListName(const std::string& Raw, const TZipCentralRecord& c) {
    return zip::NameIsUtf8(Raw, c.Flags, c.VersionMadeBy) ? AnsiToOemName(os::Utf8ToAnsi(Raw)) : SlashToBackslash(Raw);
}

// Fields of 0xFFFF / 0xFFFFFFFF hand the real value to a ZIP64 record,
// which this writer neither reads nor writes.
bool IsZip64(const TZipCentralRecord& r) {
    return r.PackedSize == 0xFFFFFFFFu || r.UnpackedSize == 0xFFFFFFFFu || r.LocalOffset == 0xFFFFFFFFu ||
           r.DiskStart == 0xFFFF;
}

}  // namespace

// ---- construction and kind -------------------------------------------------------

TZip::TZip(TComponent* AOwner) : TCompBase(AOwner) {
    headerSize_ = static_cast<int>(zip::kLocalSize);
    InitDefaultExt(".ZIP");
    allowedMethods_ = {cmStore, cmDeflate};
    compressMethod_ = cmDeflate;
    arcType_ = atZip;
}

TJar::TJar(TComponent* AOwner) : TZip(AOwner) {
    InitDefaultExt(".JAR");
    allowedMethods_ = {cmStore, cmDeflate};
    compressMethod_ = cmDeflate;
    arcType_ = atJar;
}

namespace {

// Where the entries of an existing archive begin (0 without a stub), or 0
// when it cannot be told.
int64_t FirstEntryOf(const std::string& Archive, int64_t (*locate)(TStream&)) {
    TFileStream f;
    if (Archive.empty() || !os::FileExists(Archive) || !f.Open(Archive, os::OpenMode::Read)) return 0;
    return locate(f);
}

}  // namespace

void TZip::SetArcType(TArcType) {
    arcType_ = atZip;
    if (!ComponentState().contains(csLoading)) AddDefaultExt();
    arcOffset_ = 1 + FirstEntryOf(archiveFile_, [](TStream& s) {
                     Layout l;
                     return Locate(s, l, true) ? std::max<int64_t>(l.firstEntry, 0) : int64_t{0};
                 });
}

void TJar::SetArcType(TArcType Value) {
    TZip::SetArcType(Value);
    arcType_ = atJar;
}

void TZip::CompressArchive() {
    archiveRemoved_ = false;
    old_ = Layout();
    // The archive may have changed since ArchiveFile was set.
    SetArcType(arcType_);
    TCompBase::CompressArchive();
}

// ---- the records of an existing archive ---------------------------------------------

bool TZip::Locate(TStream& Archive, Layout& L, bool WalkEntries) {
    L = Layout();
    const int64_t size = Archive.Size();
    if (size < int64_t{zip::kEndSize}) return false;
    const int64_t span = zip::EndSearchSpan(size, zip::kMaxComment);
    std::vector<uint8_t> tail(static_cast<size_t>(span));
    if (!ReadAt(Archive, size - span, tail.data(), span)) return false;
    if (const std::optional<size_t> hit = zip::FindEndRecord(tail.data(), tail.size())) {
        const uint8_t* p = &tail[*hit];
        L.end = TZipEndRecord::Parse(p);
        L.endPos = size - span + static_cast<int64_t>(*hit);
        L.comment.assign(reinterpret_cast<const char*>(p) + zip::kEndSize, L.end.CommentLength);
    }
    if (L.endPos < 0) return false;
    // The directory ends where the end record stands: what lies between the
    // offsets as stored and the file's positions is a stub the offsets do
    // not count (a program put in front of an archive without adjusting it).
    L.shift = L.endPos - (int64_t{L.end.CentralOffset} + L.end.CentralSize);
    L.centralStart = int64_t{L.end.CentralOffset} + L.shift;
    if (L.shift < 0 || L.centralStart < 0) L.shift = 0, L.centralStart = L.end.CentralOffset;
    if (!WalkEntries) return true;
    L.firstEntry = L.end.TotalEntries == 0 ? std::min(L.centralStart, L.endPos) : -1;
    int64_t pos = L.centralStart;
    TCentralEntry e;
    TCentralBlock block;
    if (!block.Load(Archive, L.centralStart, L.endPos)) return true;
    for (int i = 0; i < L.end.TotalEntries && block.Read(pos, L.endPos, e); ++i) {
        const int64_t local = int64_t{e.rec.LocalOffset} + L.shift;
        if (L.firstEntry < 0 || local < L.firstEntry) L.firstEntry = local;
        pos = e.next;
    }
    if (L.firstEntry > L.centralStart) L.firstEntry = L.centralStart;
    return true;
}

void TZip::Damaged(int Code) { RaiseError(archiveFile_, "", "0", Code); }

void TZip::ReadHeaders() {
    if (!oldArchive_) return;
    const int64_t size = oldArchive_->Size();
    // An empty file takes the new archive.
    if (size <= 0) return;
    Layout L;
    if (!Locate(*oldArchive_, L, false)) {
        if (verifyPass_) return;
        // A file that is no ZIP is never replaced by one.
        Damaged(25242);
    }
    if (!verifyPass_) {
        old_ = L;
        uint8_t locator[4];
        // Spanned sets and ZIP64 archives are not updated here: their
        // records say more than this writer can carry over.
        if (L.end.ThisDisk != 0 || L.end.CentralDisk != 0 || L.end.EntriesOnDisk != L.end.TotalEntries ||
            L.end.CentralOffset == 0xFFFFFFFFu ||
            (L.endPos >= 20 && ReadAt(*oldArchive_, L.endPos - 20, locator, 4) &&
             zip::GetLe32(locator) == zip::kZip64LocatorSig))
            Damaged(25242);
    } else if (L.end.CentralDisk != L.end.ThisDisk) {
        // The directory of a spanned set starts on an earlier disk: nothing
        // is vouched for.
        return;
    }

    int64_t pos = L.centralStart;
    TCentralEntry c;
    TCentralBlock block;
    const bool loaded = L.end.TotalEntries == 0 || block.Load(*oldArchive_, L.centralStart, L.endPos);
    for (int i = 0; i < L.end.TotalEntries && !cancel_; ++i) {
        if (!loaded || !block.Read(pos, L.endPos, c)) {
            if (verifyPass_) return;
            Damaged(25108);
        }
        pos = c.next;
        // Stored names are kept as they are: they are OEM text already (or
        // whatever their writer chose), not to be converted again.
        const std::string raw = c.Name();
        if (verifyPass_) {
            THeadObject e;
            e.Name = ListName(raw, c.rec);
            entries_.Add(std::move(e));
            continue;
        }
        if (IsZip64(c.rec)) Damaged(25242);

        // The entry's whole extent: local header, name, extra field, data
        // and the data descriptor that may follow.
        const int64_t local = int64_t{c.rec.LocalOffset} + L.shift;
        uint8_t fixed[zip::kLocalSize];
        if (local < 0 || local + int64_t{zip::kLocalSize} > L.centralStart || !ReadAt(*oldArchive_, local, fixed, 30))
            Damaged(25248);
        const TZipLocalHeader h = TZipLocalHeader::Parse(fixed);
        if (!h.Valid()) Damaged(25248);
        const int64_t dataEnd = local + h.DataOffset() + c.rec.PackedSize;
        if (dataEnd > L.centralStart) Damaged(25248);
        int64_t extent = dataEnd - local;
        if ((h.Flags | c.rec.Flags) & zip::kFlagDescriptor) {
            uint8_t d[zip::kDescriptorSize];
            const int64_t room = std::min<int64_t>(zip::kDescriptorSize, L.centralStart - dataEnd);
            if (room > 0 && ReadAt(*oldArchive_, dataEnd, d, room))
                extent += static_cast<int64_t>(zip::DescriptorLength(d, static_cast<size_t>(room), c.rec.CRC));
        }

        if (switch_ == swDelete && MatchesFileSpec(zip::AnsiName(raw, c.rec.Flags, c.rec.VersionMadeBy), false)) {
            ++filesDeleted_;
            continue;
        }
        THeadObject e;
        e.Name = ListName(raw, c.rec);
        if (zip::NameIsUtf8(raw, c.rec.Flags, c.rec.VersionMadeBy)) e.RawName = raw;
        e.Header = std::move(c.raw);
        e.Offset = local;
        e.CopySize = extent;
        e.PackedSize = c.rec.PackedSize;
        e.UnpackedSize = c.rec.UnpackedSize;
        e.Crc = c.rec.CRC;
        e.DosDate = c.rec.DosDateTime();
        // Compared with the file's attributes when the same name is added.
        e.Attr = c.rec.ExternalAttr & 0x3F;
        if ((c.rec.VersionMadeBy >> 8) == 3 && (e.Attr & 0x27) == 0) {
            // Unix hosts leave the DOS bits out: read-only follows the mode.
            e.Attr = 0x20 | ((c.rec.ExternalAttr >> 16) & 0200 ? 0 : 1);
        }
        e.State = THeadObject::hsKept;
        totalUnpacked_ += extent;
        entries_.Add(std::move(e));
    }
}

int TZip::ReadFirstHeader() {
    headersToRead_ = 0;
    if (!oldArchive_ || !Locate(*oldArchive_, old_, false)) return 0;
    headerPos_ = old_.centralStart;
    headersToRead_ = old_.end.TotalEntries;
    return ReadNextHeader();
}

int TZip::ReadNextHeader() {
    if (!oldArchive_ || headersToRead_ <= 0) return 0;
    TCentralEntry c;
    if (!ReadCentral(*oldArchive_, headerPos_, old_.endPos, c)) {
        headersToRead_ = 0;
        return 0;
    }
    --headersToRead_;
    headerPos_ = c.next;
    readHeader_ = THeadObject();
    readHeader_.Name = ListName(c.Name(), c.rec);
    readHeader_.Offset = int64_t{c.rec.LocalOffset} + old_.shift;
    readHeader_.PackedSize = c.rec.PackedSize;
    readHeader_.UnpackedSize = c.rec.UnpackedSize;
    readHeader_.Crc = c.rec.CRC;
    readHeader_.DosDate = c.rec.DosDateTime();
    readHeader_.Attr = c.rec.ExternalAttr;
    readHeader_.State = THeadObject::hsKept;

    EntryInfo.Clear();
    EntryInfo.FileName = zip::AnsiName(c.Name(), c.rec.Flags, c.rec.VersionMadeBy);
    EntryInfo.VersionMadeBy = c.rec.VersionMadeBy;
    EntryInfo.VersionNeeded = c.rec.VersionNeeded;
    EntryInfo.PackedSize = c.rec.PackedSize;
    EntryInfo.UnpackedSize = c.rec.UnpackedSize;
    EntryInfo.CRC = c.rec.CRC;
    EntryInfo.Encrypted = (c.rec.Flags & zip::kFlagEncrypted) != 0;
    EntryInfo.MethodCode = c.rec.Method;
    EntryInfo.MethodName = CompressMethodName(c.rec.Method, c.rec.Flags);
    EntryInfo.Attr = c.rec.InternalAttr;
    EntryInfo.ExternalAttr = c.rec.ExternalAttr & 0xFFFF;
    EntryInfo.Ratio = CalcRatio(c.rec.PackedSize, c.rec.UnpackedSize);
    if (readHeader_.DosDate > 0) EntryInfo.DateTime = DosDateToDateTime(readHeader_.DosDate);
    return 1;
}

// ---- adding one file -------------------------------------------------------------------

bool TZip::CompressFile() {
    THeadObject& e = *current_;
    TFileStart start;
    if (!StartFile(e, start)) return false;
    const std::string& FN = start.FN;
    const uint32_t dosDate = start.DosDate;
    // A name the handler left alone keeps its stored bytes (an entry
    // replaced in an archive of another writer keeps its name exactly; a
    // UTF-8 one gets the flag that says so, which a Unix-made record need
    // not have had).
    const bool keepName = start.NameKept;
    const bool utf8 = keepName && !e.RawName.empty();
    const std::string stored =
        utf8 ? e.RawName : BackslashToSlash(keepName ? e.Name : AnsiToOemName(FN));
    auto refuse = [&](int code) { return RefuseFile(FN, code); };
    if (stored.empty() || stored.size() > 0xFFFF) return refuse(25243);
    // Never stored cut off or empty: the size fields would lie.
    int64_t size = 0;
    if (!SourceSizeWithin(FN, kMaxFileSize - 1, size)) return false;

    const bool encrypt = !password_.empty() && size > 0;
    const uint16_t nameFlag = utf8 ? zip::kFlagUtf8 : 0;
    TZipLocalHeader h;
    h.Flags = static_cast<uint16_t>((encrypt ? zip::kFlagEncrypted : 0) | nameFlag);
    h.Method = 8;
    h.Time = static_cast<uint16_t>(dosDate);
    h.Date = static_cast<uint16_t>(dosDate >> 16);
    h.UnpackedSize = static_cast<uint32_t>(size);
    h.NameLength = static_cast<uint16_t>(stored.size());
    const int64_t offset = tempArchive_->Position();
    if (offset > kMaxOffset) return refuse(25256);
    TStream* out = tempArchive_.get();
    auto header = h.Bytes();
    CompressWriteHook(out, false, static_cast<int64_t>(header.size()), 0, false, header.data());
    CompressWriteHook(out, false, static_cast<int64_t>(stored.size()), 0, false,
                      reinterpret_cast<const uint8_t*>(stored.data()));

    bool pass = true;
    if (size == 0) {
        h.Method = 0;
        h.Flags = nameFlag;
    } else {
        uint32_t checkCrc = 0;
        if (encrypt) {
            // The header's check byte is the CRC's top byte: the CRC is
            // known before the data is.
            checkCrc = ~StreamCrc32(inputFile_);
            uint8_t crypt[zip::kCryptHeaderSize];
            ZipMakeCryptHeader(password_, checkCrc, crypt);
            CompressWriteHook(out, false, sizeof crypt, 0, false, crypt);
        }
        bool store = compressMethod_ == cmStore;
        if (!store && storeAlreadyCompressed_) {
            const std::string ext = UpperCase(ExtractFileExt(e.SourcePath));
            store = ext != ".EXE" && ArcExtIndex(ext) >= 0;
        }
        Crc = 0xFFFFFFFF;
        int64_t packed = 0, read = 0;
        if (store) {
            h.Method = 0;
            packed = read = StoreData(inputFile_, *out, size, 32, encrypt);
        } else {
            uint16_t method = 8;
            const int64_t start = inputFile_.Position();
            packed = Deflate(*this, deflateType_, encrypt, &inputFile_, out, size, true, method,
                             std::max<int64_t>(bytesToDo_, 1));
            read = inputFile_.Position() - start;
            bytesToDo_ -= read;
            h.Method = method;
            DeflateFlags(h.Flags);
        }
        // A file that grew while it was read is refused like a large one.
        if (read >= kMaxFileSize) return refuse(25256);
        h.CRC = encrypt ? checkCrc : ~Crc;
        pass = ~Crc == h.CRC;
        h.UnpackedSize = static_cast<uint32_t>(read);
        h.PackedSize = static_cast<uint32_t>(packed + (encrypt ? int64_t{zip::kCryptHeaderSize} : 0));
    }
    // A file that changed between the CRC pass and the data pass would be
    // an entry no reader opens: it stays out.
    if (!pass) return refuse(25151);
    const int64_t end = tempArchive_->Position();
    if (end > kMaxOffset) return refuse(25256);
    header = h.Bytes();
    if (!tempArchive_->Seek(offset)) RaiseError(archiveFile_, "", "0", 25292);
    CompressWriteHook(out, false, static_cast<int64_t>(header.size()), 0, false, header.data());
    if (!tempArchive_->Seek(end)) RaiseError(archiveFile_, "", "0", 25292);

    TZipCentralRecord c;
    c.Flags = h.Flags;
    c.Method = h.Method;
    c.Time = h.Time;
    c.Date = h.Date;
    c.CRC = h.CRC;
    c.PackedSize = h.PackedSize;
    c.UnpackedSize = h.UnpackedSize;
    c.NameLength = h.NameLength;
    // Nothing is known to be text: marking every entry so makes "unzip -a"
    // turn the line ends of binaries.
    c.InternalAttr = 0;
    c.ExternalAttr = e.Attr & (os::faReadOnly | os::faHidden | os::faSysFile | os::faArchive);
    c.LocalOffset = static_cast<uint32_t>(offset);
    const auto central = c.Bytes();
    e.Header.assign(central.begin(), central.end());
    e.Header.insert(e.Header.end(), stored.begin(), stored.end());
    e.Offset = offset;
    e.CopySize = end - offset;
    e.PackedSize = h.PackedSize;
    e.UnpackedSize = h.UnpackedSize;
    e.Crc = h.CRC;
    e.DosDate = dosDate;
    if (OnEnd) OnEnd(this, FN, true);
    return true;
}

void TZip::WriteEntries() {
    int count = 0;
    for (int i = 0; i < entries_.Count(); ++i) count += !entries_[i].Dropped();
    // Refused before anything is written: the old archive stays as it is.
    // The limit is the count itself (the end record's fields are 16-bit),
    // whatever the entries' sizes: the message says so.
    if (count > kMaxEntries) RaiseError(archiveFile_, "", std::to_string(count), 25257);
    TCompBase::WriteEntries();
}

// ---- finishing -----------------------------------------------------------------------

namespace {

// Where an entry of the new archive stands in the temporary archive.
int64_t TempPosition(const THeadObject& e) { return e.Kept() ? e.NewOffset : e.Offset; }

TZipCentralRecord CentralOf(const THeadObject& e) { return TZipCentralRecord::Parse(e.Header.data()); }

void SetCentral(THeadObject& e, const TZipCentralRecord& c) { c.Write(e.Header.data()); }

}  // namespace

void TZip::WriteCentralDirectory(TStream& Out, int64_t& Offset, int64_t& Size, int& Count) {
    Offset = Out.Position();
    Count = 0;
    for (int i = 0; i < entries_.Count(); ++i) {
        const THeadObject& e = entries_[i];
        if (e.Dropped()) continue;
        CompressWriteHook(&Out, false, static_cast<int64_t>(e.Header.size()), 0, false, e.Header.data());
        ++Count;
    }
    Size = Out.Position() - Offset;
}

void TZip::FinishArchive() {
    if (entries_.Empty() && !(switch_ == swDelete && filesDeleted_ > 0)) return;
    int live = 0;
    for (int i = 0; i < entries_.Count(); ++i) {
        THeadObject& e = entries_[i];
        if (e.Dropped()) continue;
        ++live;
        if (e.Header.size() < zip::kCentralSize) RaiseError(archiveFile_, "", "0", 25248);
        const int64_t at = TempPosition(e);
        if (at < 0 || at > kMaxOffset) RaiseError(archiveFile_, "", "0", 25256);
        TZipCentralRecord c = CentralOf(e);
        c.LocalOffset = static_cast<uint32_t>(at);
        c.DiskStart = 0;
        SetCentral(e, c);
    }

    if (live == 0) {
        tempArchive_->Close();
        if (oldArchive_) oldArchive_->Close();
        success_ = false;
        // Nothing was added, and nothing is left of an old archive either.
        if (switch_ != swDelete || filesDeleted_ == 0 || newArchive_) return;
        // Every entry was deleted: an archive without entries is no archive,
        // and the old one must not stay behind as if nothing happened. It
        // goes the way DeleteOptions says files go (the Recycle Bin keeps
        // it to be had back).
        if (!EraseFile(archiveFile_, deleteOptions_ == doAllowUndo)) {
            filesDeleted_ = 0;
            ReportError(archiveFile_, "", "0", 25169);
            return;
        }
        archiveRemoved_ = true;
        success_ = true;
        return;
    }

    // The whole archive as it would stand on one disk.
    int64_t centralSize = 0;
    for (int i = 0; i < entries_.Count(); ++i)
        if (!entries_[i].Dropped()) centralSize += static_cast<int64_t>(entries_[i].Header.size());
    const int64_t total = tempArchive_->Size() + centralSize + int64_t{zip::kEndSize} +
                          static_cast<int64_t>(old_.comment.size());
    if (tempArchive_->Size() + centralSize > kMaxOffset) RaiseError(archiveFile_, "", "0", 25256);

    bool span = false;
    if (DiskManager().DriveType() == os::dtRemovable && DiskManager().GetDiskSpace()) {
        uint64_t room = DiskManager().FreeBytes();
        // The old archive's place is free once the new one replaces it.
        if (!newArchive_) {
            os::FindData fd;
            os::Finder finder;
            if (finder.First(archiveFile_, fd) == 0) room += static_cast<uint64_t>(std::max<int64_t>(fd.size, 0));
        }
        span = static_cast<uint64_t>(total) > room;
    }

    // The directory goes into the temporary archive in either case: a set
    // that stops short leaves it behind as a whole archive of one file.
    if (!tempArchive_->Seek(tempArchive_->Size())) RaiseError(archiveFile_, "", "0", 25292);
    int64_t offset = 0, size = 0;
    int count = 0;
    WriteCentralDirectory(*tempArchive_, offset, size, count);
    TZipEndRecord end;
    end.EntriesOnDisk = end.TotalEntries = static_cast<uint16_t>(count);
    end.CentralSize = static_cast<uint32_t>(size);
    end.CentralOffset = static_cast<uint32_t>(offset);
    end.CommentLength = static_cast<uint16_t>(old_.comment.size());
    const auto bytes = end.Bytes();
    CompressWriteHook(tempArchive_.get(), false, static_cast<int64_t>(bytes.size()), 0, false, bytes.data());
    CompressWriteHook(tempArchive_.get(), false, static_cast<int64_t>(old_.comment.size()), 0, false,
                      reinterpret_cast<const uint8_t*>(old_.comment.data()));
    FlushTempArchive();
    if (!span) {
        TCompBase::FinishArchive();
        // The archive could not take the new one's place: reported (with
        // what failed, and where a kept temporary is), and the run ends
        // with the error.
        if (!success_) throw E_RAISE(25136);
        return;
    }

    // Everything the old archive held is in the temporary archive now; its
    // file on the first disk is about to be overwritten. From then on the
    // temporary is the only complete copy until the last disk is written:
    // a set that stops short keeps it, and says where it is.
    if (oldArchive_) oldArchive_->Close();
    success_ = false;
    setBegun_ = false;
    auto keepIfBegun = [&] {
        filesAdded_ = filesDeleted_ = 0;
        if (setBegun_) KeepTemporary();
    };
    bool written = false;
    try {
        written = WriteSpanned();
    } catch (...) {
        disk_.Close();
        tempArchive_->Close();
        keepIfBegun();
        throw;
    }
    disk_.Close();
    tempArchive_->Close();
    if (!written) {
        keepIfBegun();
        return;
    }
    success_ = true;
}

// ---- spanning over removable disks ---------------------------------------------------

void TZip::WriteDiskLabel() {
    if (!DiskManager().WriteVolumeLabel(zip::VolumeLabel(volume_)))
        ReportError(archiveFile_, "", std::to_string(volume_), 25153);
}

bool TZip::SwapDisk(bool First) {
    TDiskManager& dm = DiskManager();
    auto roomOnDisk = [&]() -> uint64_t {
        uint64_t room = dm.FreeBytes();
        // On the first disk the archive itself (the old one, updated) is
        // overwritten.
        if (First && os::FileExists(archiveFile_)) {
            TFileStream f;
            if (f.Open(archiveFile_, os::OpenMode::Read) && f.Size() > 0) room += static_cast<uint64_t>(f.Size());
        }
        return room;
    };
    // The disk just filled is no next disk, whatever its free space says.
    auto sameDisk = [&] {
        if (First) return false;
        const std::string& serial = dm.SerialText();
        if (!serial.empty() && serial != kNoSerial && !lastSerial_.empty() && lastSerial_ != kNoSerial)
            return serial == lastSerial_;
        return !lastLabel_.empty() && dm.VolumeLabel() == lastLabel_;
    };

    bool taken = false;
    if (First) {
        if (!dm.RefreshDiskInfo()) {
            cancel_ = true;
            return false;
        }
        taken = roomOnDisk() >= kFirstDiskMinimum;
    }
    if (!taken) {
        if (!OnInsertDiskette) {
            ReportError(archiveFile_, "OnInsertDiskette", "0", 25270);
            cancel_ = true;
            return false;
        }
        const std::string volumeName = std::to_string(diskNumber_ + 1);
        for (;;) {
            bool cancel = true;
            const int totalSpace = static_cast<int>(std::min<uint64_t>(dm.TotalBytes(), 0x7FFFFFFF));
            const int freeSpace = static_cast<int>(std::min<uint64_t>(dm.FreeBytes(), 0x7FFFFFFF));
            Paused([&] { OnInsertDiskette(this, volumeName, totalSpace, freeSpace, cancel); });
            if (cancel || !dm.RefreshDiskInfo()) {
                cancel_ = true;
                return false;
            }
            if (sameDisk()) continue;
            if (os::FileExists(archiveFile_)) {
                TOverwriteMode mode = omOverwrite;
                if (OnFileExists) {
                    os::FileTimes t;
                    const TDateTime date =
                        os::GetTimes(archiveFile_, t) ? DosDateToDateTime(FileTimeToDosDate(t.lastWrite)) : 0;
                    Paused([&] { OnFileExists(this, archiveFile_, date, mode); });
                }
                if (mode == omSkip) {
                    cancel_ = true;
                    return false;
                }
                if (!os::FileDelete(archiveFile_)) {
                    ReportError(archiveFile_, "", volumeName, 25169);
                    continue;
                }
                dm.RefreshDiskInfo();
            }
            if (roomOnDisk() >= (First ? kFirstDiskMinimum : kNextDiskMinimum)) break;
        }
    }
    volume_ = diskNumber_ + 1;
    WriteDiskLabel();
    dm.GetDiskSpace();
    diskFree_ = static_cast<int64_t>(std::min<uint64_t>(roomOnDisk(), uint64_t{1} << 62));
    lastSerial_ = dm.SerialText();
    lastLabel_ = dm.VolumeLabel();
    return true;
}

bool TZip::NextDisk() {
    if (!disk_.Close()) RaiseError(archiveFile_, "", std::to_string(volume_), 25136);
    ++diskNumber_;
    if (diskNumber_ >= 999) {
        ReportError(archiveFile_, "", "0", 25250);
        return false;
    }
    if (!SwapDisk(false)) return false;
    if (!disk_.Open(archiveFile_, os::OpenMode::Create)) {
        ReportError(archiveFile_, "", std::to_string(volume_), 25235);
        return false;
    }
    return true;
}

void TZip::SpanWrite(const uint8_t* Data, int64_t Count) {
    while (Count > 0) {
        if (diskFree_ <= 0 && !NextDisk()) throw TSpanStopped{};
        const int64_t chunk = std::min(Count, diskFree_);
        if (disk_.Write(Data, chunk) != chunk) RaiseError(archiveFile_, "", std::to_string(volume_), 25136);
        Data += chunk;
        Count -= chunk;
        diskFree_ -= chunk;
    }
}

void TZip::SpanCopy(TStream& From, int64_t Count) {
    std::vector<uint8_t> buffer(static_cast<size_t>(std::clamp<int64_t>(Count, 1, kCopyBlock)));
    while (Count > 0) {
        if (cancel_) RaiseError(archiveFile_, "", "0", 25400);
        const int64_t want = std::min<int64_t>(Count, kCopyBlock);
        if (From.Read(buffer.data(), want) != want) RaiseError(archiveFile_, "", "0", 25236);
        SpanWrite(buffer.data(), want);
        Count -= want;
        os::ProcessMessages();
    }
}

bool TZip::WriteSpanned() {
    diskNumber_ = 0;
    volume_ = 0;
    lastSerial_.clear();
    lastLabel_.clear();
    try {
        if (!SwapDisk(true)) return false;
        if (!disk_.Open(archiveFile_, os::OpenMode::Create)) {
            ReportError(archiveFile_, "", "1", 25235);
            return false;
        }
        setBegun_ = true;
        uint8_t marker[zip::kMarkerSize];
        zip::PutLe32(marker, zip::kSpanMarker);
        SpanWrite(marker, sizeof marker);

        // A program stub in front of the archive has no place in a set:
        // only the entries go to the disks.
        int count = 0;
        for (int i = 0; i < entries_.Count(); ++i) {
            THeadObject& e = entries_[i];
            if (e.Dropped()) continue;
            // A local header is never split: it goes where it is read.
            if (diskFree_ < int64_t{zip::kLocalSize} && !NextDisk()) throw TSpanStopped{};
            TZipCentralRecord c = CentralOf(e);
            if (!tempArchive_->Seek(TempPosition(e))) RaiseError(archiveFile_, "", "0", 25292);
            // Where the header really stands on its disk (on the first one
            // behind the marker), as every reader of a set looks for it.
            c.LocalOffset = static_cast<uint32_t>(disk_.Position());
            c.DiskStart = static_cast<uint16_t>(diskNumber_);
            SetCentral(e, c);
            SpanCopy(*tempArchive_, e.CopySize);
            ++count;
        }

        // The directory starts where a whole record fits.
        if (diskFree_ < int64_t{zip::kCentralSize} && !NextDisk()) throw TSpanStopped{};
        const int centralDisk = diskNumber_;
        const int64_t centralOffset = disk_.Position();
        int64_t centralSize = 0;
        for (int i = 0; i < entries_.Count(); ++i) {
            const THeadObject& e = entries_[i];
            if (e.Dropped()) continue;
            SpanWrite(e.Header.data(), static_cast<int64_t>(e.Header.size()));
            centralSize += static_cast<int64_t>(e.Header.size());
        }

        // The end record (and the comment behind it) is never split: it
        // stands on the last disk, where readers look for it.
        std::string comment = old_.comment;
        const int64_t endSize = int64_t{zip::kEndSize} + static_cast<int64_t>(comment.size());
        if (diskFree_ < endSize && !NextDisk()) throw TSpanStopped{};
        if (diskFree_ < endSize) comment.resize(static_cast<size_t>(std::max<int64_t>(diskFree_ - 22, 0)));
        TZipEndRecord end;
        end.ThisDisk = static_cast<uint16_t>(diskNumber_);
        end.CentralDisk = static_cast<uint16_t>(centralDisk);
        end.EntriesOnDisk = end.TotalEntries = static_cast<uint16_t>(count);
        end.CentralSize = static_cast<uint32_t>(centralSize);
        end.CentralOffset = static_cast<uint32_t>(centralOffset);
        end.CommentLength = static_cast<uint16_t>(comment.size());
        const auto bytes = end.Bytes();
        SpanWrite(bytes.data(), static_cast<int64_t>(bytes.size()));
        SpanWrite(reinterpret_cast<const uint8_t*>(comment.data()), static_cast<int64_t>(comment.size()));
        if (!disk_.Close()) RaiseError(archiveFile_, "", std::to_string(volume_), 25136);
        return true;
    } catch (const TSpanStopped&) {
        return false;
    }
}

// ---- reporting ----------------------------------------------------------------------

void TZip::ReportEntries() {
    int64_t packed = 0, unpacked = 0;
    for (int i = 0; i < entries_.Count(); ++i) {
        if (entries_[i].Dropped()) continue;
        packed += entries_[i].PackedSize;
        unpacked += entries_[i].UnpackedSize;
    }
    totalPacked_ = packed;
    totalUnpacked_ = unpacked;
    if (switch_ == swDelete) return;
    for (int i = 0; i < entries_.Count(); ++i) {
        const THeadObject& e = entries_[i];
        if (!e.Written || e.Dropped() || e.Header.size() < zip::kCentralSize) continue;
        const TZipCentralRecord c = CentralOf(e);
        EntryInfo.Clear();
        EntryInfo.FileName = zip::AnsiName(std::string(reinterpret_cast<const char*>(e.Header.data()) + zip::kCentralSize,
                                                       std::min<size_t>(c.NameLength, e.Header.size() - zip::kCentralSize)),
                                           c.Flags);
        EntryInfo.VersionMadeBy = c.VersionMadeBy;
        EntryInfo.VersionNeeded = c.VersionNeeded;
        EntryInfo.PackedSize = c.PackedSize;
        EntryInfo.UnpackedSize = c.UnpackedSize;
        EntryInfo.CRC = c.CRC;
        EntryInfo.Encrypted = (c.Flags & zip::kFlagEncrypted) != 0;
        EntryInfo.MethodCode = c.Method;
        EntryInfo.MethodName = CompressMethodName(c.Method, c.Flags);
        EntryInfo.Attr = c.InternalAttr;
        EntryInfo.ExternalAttr = c.ExternalAttr;
        EntryInfo.Ratio = CalcRatio(c.PackedSize, c.UnpackedSize);
        if (c.DosDateTime() > 0) EntryInfo.DateTime = DosDateToDateTime(c.DosDateTime());
        if (OnRead) OnRead(this, ClampToInt(c.LocalOffset), i + 1);
    }
}

}  // namespace bramble
