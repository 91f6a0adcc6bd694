#include "engine/writers/bh.h"

#include <algorithm>

#include "engine/codecs/deflate.h"
#include "engine/codecs/lh5encode.h"
#include "engine/core/crc.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/core/zipcrypt.h"

namespace bramble {

namespace {

bool IsBhKind(TArcType t) { return t == atBh || t == atBhExe; }

}  // namespace

TBlakHole::TBlakHole(TComponent* AOwner) : TCompBase(AOwner) {
    headerSize_ = static_cast<int>(bh::kHeaderSize);
    InitDefaultExt(".BH");
    allowedMethods_ = {cmStore, cmDeflate, cmFuse};
    compressMethod_ = cmFuse;
    arcType_ = atBh;
}

void TBlakHole::SetArcType(TArcType) {
    if (!ComponentState().contains(csLoading)) AddDefaultExt();
    // The first header lies behind a program stub, as detection finds it.
    arcOffset_ = 1;
    if (!archiveFile_.empty() && os::FileExists(archiveFile_)) {
        DetectArcType();
        if (!IsBhKind(arcType_)) arcOffset_ = 1;
    }
    arcType_ = atBh;
}

void TBlakHole::CompressArchive() {
    SetArcType(arcType_);
    TCompBase::CompressArchive();
}

// ---- the entries of an existing archive ------------------------------------------

THeadObject TBlakHole::KeptEntry(const bh::TEntry& E) {
    THeadObject e;
    e.Name = E.Name;
    e.Offset = E.Offset;
    // Header, name and data as they stand.
    e.CopySize = E.Next - E.Offset;
    e.PackedSize = E.H.PackedSize;
    e.UnpackedSize = E.H.UnpackedSize;
    e.Crc = E.H.Crc;
    e.DosDate = E.H.DosDate;
    e.Attr = E.H.Attr;
    const auto head = E.H.Bytes();
    e.Header.assign(head.begin(), head.end());
    e.State = THeadObject::hsKept;
    return e;
}

void TBlakHole::ReadHeaders() {
    if (!oldArchive_) return;
    const int64_t size = oldArchive_->Size();
    const int64_t start = std::max<int64_t>(scanPosition_ - 1, 0);
    if (size <= start) return;  // an empty file takes the new archive
    const bh::TReadAt read = bh::StreamReader(*oldArchive_);
    int64_t at = start;
    for (bool first = true; !cancel_; first = false) {
        bh::TEntry h;
        const bh::TParse parsed = bh::ParseEntry(read, size, at, h);
        if (parsed == bh::TParse::End) {
            // A file that is no BH archive is never replaced by one.
            if (first && !verifyPass_) RaiseError(archiveFile_, "", "0", 25242);
            return;
        }
        // What cannot be read whole cannot be carried over: the archive
        // stays as it is. Nor can an entry whose extra bytes, which lie in
        // front of the next header, would reach back past its own data:
        // where it ends would then depend on who reads it.
        if (parsed != bh::TParse::Ok || h.Next > size || h.H.ExtraLength > h.H.PackedSize) {
            if (verifyPass_) return;
            RaiseError(archiveFile_, "", "0", 25350);
        }
        at = h.Next;
        // A header that holds no entry is not one to keep.
        if (!h.Listed()) continue;
        if (verifyPass_) {
            THeadObject e;
            e.Name = h.Name;
            entries_.Add(std::move(e));
            continue;
        }
        if (switch_ == swDelete && MatchesFileSpec(OemToAnsiName(h.Name), false)) {
            ++filesDeleted_;
            continue;
        }
        THeadObject e = KeptEntry(h);
        if (h.H.ExtraLength > 0) {
            e.Extra.resize(h.H.ExtraLength);
            const int64_t from = h.Next - h.H.ExtraLength;
            if (read(from, e.Extra.data(), h.H.ExtraLength) != h.H.ExtraLength) RaiseError(archiveFile_, "", "0", 25350);
        }
        totalUnpacked_ += e.CopySize;
        entries_.Add(std::move(e));
    }
}

int TBlakHole::ReadFirstHeader() {
    headersToRead_ = -1;
    headerPos_ = std::max<int64_t>(scanPosition_ - 1, 0);
    return ReadNextHeader();
}

int TBlakHole::ReadNextHeader() {
    if (!oldArchive_) return 0;
    // The same walk as ReadHeaders: header, name and data, one entry after
    // the other.
    for (;;) {
        bh::TEntry h;
        if (bh::ParseEntry(bh::StreamReader(*oldArchive_), oldArchive_->Size(), headerPos_, h) != bh::TParse::Ok)
            return 0;
        headerPos_ = h.Next;
        if (!h.Listed()) continue;
        readHeader_ = KeptEntry(h);
        DescribeEntry(readHeader_);
        return 1;
    }
}

// ---- adding a file ------------------------------------------------------------------

void TBlakHole::BhWriteCryptHeader(uint32_t CheckCrc) {
    uint8_t crypt[bh::kCryptHeaderSize];
    ZipMakeCryptHeader(password_, CheckCrc, crypt);
    CompressWriteHook(tempArchive_.get(), false, sizeof crypt, 0, false, crypt);
}

bool TBlakHole::CompressFile() {
    THeadObject& e = *current_;
    TFileStart start;
    if (!StartFile(e, start)) return false;
    const std::string& FN = start.FN;
    const uint32_t dosDate = start.DosDate;
    const std::string stored = start.NameKept ? e.Name : AnsiToOemName(FN);
    auto refuse = [&](int code) { return RefuseFile(FN, code); };
    // The header's 16-bit size field holds 37 + the name's length.
    if (stored.empty() || stored.size() > bh::kMaxName) return refuse(25243);
    int64_t size = 0;
    if (!SourceSizeWithin(FN, kMaxFileSize, size)) return false;

    bh::THeader h;
    h.DosDate = dosDate;
    h.UnpackedSize = static_cast<uint32_t>(size);
    h.Attr = static_cast<uint16_t>(e.Attr & (os::faReadOnly | os::faHidden | os::faSysFile | os::faArchive));
    const bool encrypt = !password_.empty() && size > 0;
    h.Flags = encrypt ? 1 : 0;
    h.Method = bh::kMethodStored;
    std::vector<uint8_t> header = bh::MakeHeader(h, stored);
    TStream* out = tempArchive_.get();
    const int64_t offset = tempArchive_->Position();
    CompressWriteHook(out, false, static_cast<int64_t>(header.size()), 0, false, header.data());
    const int64_t dataStart = tempArchive_->Position();

    int64_t packed = 0, read = 0;
    uint32_t checkCrc = 0;
    Crc = 0xFFFFFFFF;
    if (size > 0) {
        if (encrypt) {
            // The header's check byte is the CRC's top byte: the CRC is
            // known before the data is.
            checkCrc = ~StreamCrc32(inputFile_);
            BhWriteCryptHeader(checkCrc);
        }
        uint8_t method = compressMethod_ == cmFuse      ? bh::kMethodFuse
                         : compressMethod_ == cmDeflate ? bh::kMethodDeflate
                                                        : bh::kMethodStored;
        if (method != bh::kMethodStored && storeAlreadyCompressed_) {
            const std::string ext = UpperCase(ExtractFileExt(e.SourcePath));
            if (ext != ".EXE" && ArcExtIndex(ext) >= 0) method = bh::kMethodStored;
        }
        const int64_t todo = bytesToDo_;
        for (;;) {
            Crc = 0xFFFFFFFF;
            bytesToDo_ = todo;
            if (!inputFile_.Seek(0)) RaiseError(e.SourcePath, "", "0", 25292);
            h.Method = method;
            h.Flags = encrypt ? 1 : 0;
            if (method == bh::kMethodStored) {
                packed = read = StoreData(inputFile_, *out, size, 32, encrypt);
                break;
            }
            if (method == bh::kMethodDeflate) {
                // Always a deflate stream: data that does not shrink goes in
                // stored blocks (5 bytes per 64 KB), not as a second method.
                uint16_t written = 8;
                packed = Deflate(*this, deflateType_, encrypt, &inputFile_, out, size, false, written,
                                 std::max<int64_t>(totalToDo_, 1));
                read = inputFile_.Position();
                bytesToDo_ -= read;
                uint16_t flags = h.Flags;
                DeflateFlags(flags);
                h.Flags = static_cast<uint8_t>(flags);
                break;
            }
            bool incompressible = false;
            packed = LzhEncode(*this, encrypt, out, &inputFile_, size, incompressible, std::max<int64_t>(totalToDo_, 1));
            read = inputFile_.Position();
            bytesToDo_ -= read;
            if (!incompressible) break;
            // Stored instead: what the attempt wrote goes, and so does the
            // state the cipher was left in: the stored copy gets an
            // encryption header of its own, with keys started afresh.
            if (!tempArchive_->SetSize(dataStart) || !tempArchive_->Seek(dataStart)) {
                // What was still buffered of the attempt did not fit: the report
                // names the temporary archive, as for any write that fell short.
                OutputWriteFailed(tempArchive_.get());
                throw E_RAISE(25136);
            }
            method = bh::kMethodStored;
            if (encrypt) BhWriteCryptHeader(checkCrc);
        }
    }
    // A file that grew while it was read is refused like a large one.
    if (read > kMaxFileSize || packed > kMaxFileSize) return refuse(25256);
    const uint32_t crc = ~Crc;
    h.Crc = encrypt ? checkCrc : crc;
    // A file that changed between the CRC pass and the data pass would be
    // an entry no password opens: it stays out.
    if (h.Crc != crc) return refuse(25151);
    h.UnpackedSize = static_cast<uint32_t>(read);
    h.PackedSize = static_cast<uint32_t>(packed + (encrypt ? int64_t{bh::kCryptHeaderSize} : 0));
    header = bh::MakeHeader(h, stored);
    const int64_t end = tempArchive_->Position();
    if (!tempArchive_->Seek(offset)) RaiseError(archiveFile_, "", "0", 25292);
    CompressWriteHook(out, false, static_cast<int64_t>(header.size()), 0, false, header.data());
    if (!tempArchive_->Seek(end)) RaiseError(archiveFile_, "", "0", 25292);

    e.Header.assign(header.begin(), header.begin() + bh::kHeaderSize);
    e.Offset = offset;
    e.CopySize = end - offset;
    e.PackedSize = h.PackedSize;
    e.UnpackedSize = h.UnpackedSize;
    e.Crc = h.Crc;
    e.DosDate = dosDate;
    e.Attr = h.Attr;
    if (OnEnd) OnEnd(this, FN, true);
    return true;
}

// ---- reporting ----------------------------------------------------------------------

void TBlakHole::DescribeEntry(const THeadObject& E) {
    bh::THeader h;
    bh::THeader::Parse(E.Header.data(), E.Header.size(), h);
    EntryInfo.Clear();
    EntryInfo.FileName = OemToAnsiName(E.Name);
    EntryInfo.VersionMadeBy = h.VersionMadeBy;
    EntryInfo.VersionNeeded = h.VersionNeeded;
    EntryInfo.PackedSize = E.PackedSize;
    EntryInfo.UnpackedSize = E.UnpackedSize;
    EntryInfo.CRC = E.Crc;
    EntryInfo.Encrypted = h.Encrypted();
    EntryInfo.MethodCode = h.Method;
    EntryInfo.MethodName = CompressMethodName(h.Method, h.Flags);
    EntryInfo.Attr = h.Attr;
    EntryInfo.ExternalAttr = h.Attr;
    EntryInfo.Ratio = CalcRatio(E.PackedSize, E.UnpackedSize);
    if (E.DosDate > 0) EntryInfo.DateTime = DosDateToDateTime(E.DosDate);
}

void TBlakHole::ReportEntries() {
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
        if (!e.Written || e.Header.size() < bh::kHeaderSize) continue;
        DescribeEntry(e);
        if (OnRead) OnRead(this, ClampToInt(e.Offset), i + 1);
    }
}

}  // namespace bramble
