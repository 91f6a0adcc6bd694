#include "engine/writers/lha.h"

#include <algorithm>

#include "engine/codecs/lh5encode.h"
#include "engine/codecs/lzhuf.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

namespace {

constexpr int64_t kMaxFileSize = 0xFFFFFFFFLL;  // the size fields hold 32 bits

bool IsLhaKind(TArcType t) { return t == atLha || t == atLhaExe || t == atLzh || t == atLzhExe; }

// Version numbers the writer reports for its entries.
constexpr uint16_t kVersionMadeBy = 122;
constexpr uint16_t kVersionNeeded = 112;

}  // namespace

TLha::TLha(TComponent* AOwner) : TCompBase(AOwner) {
    headerSize_ = lha::kLevel0Fixed;
    InitDefaultExt(".LHA");
    allowedMethods_ = {cmStore, cmFrozen1, cmFrozen5};
    compressMethod_ = cmFrozen5;
    arcType_ = atLha;
}

void TLha::SetArcType(TArcType) {
    if (!ComponentState().contains(csLoading)) AddDefaultExt();
    // Where the first header is: behind a program stub, as detection finds
    // it, and behind the 128-byte prefix of an archive that starts with 0.
    arcOffset_ = 1;
    if (!archiveFile_.empty() && os::FileExists(archiveFile_)) {
        DetectArcType();
        if (!IsLhaKind(arcType_)) arcOffset_ = 1;
        TFileStream f;
        if (f.Open(archiveFile_, os::OpenMode::Read))
            arcOffset_ = lha::FirstHeaderOffset(lha::StreamReader(f), arcOffset_ - 1) + 1;
    }
    arcType_ = atLha;
}

void TLha::CompressArchive() {
    SetArcType(arcType_);
    TCompBase::CompressArchive();
}

// ---- the entries of an existing archive ------------------------------------------

THeadObject TLha::KeptEntry(const lha::THeader& H) {
    THeadObject e;
    e.Name = H.Name;
    e.Offset = H.Offset;
    // Header, extended headers and data as they stand.
    e.CopySize = H.Next - H.Offset;
    e.PackedSize = H.PackedSize;
    e.UnpackedSize = H.UnpackedSize;
    e.Crc = H.Crc;
    e.DosDate = H.UnixTime() ? UnixSecondsToDosDate(H.Stamp) : H.Stamp;
    e.Attr = H.Attr & 0x3F;
    e.Header.assign(H.Method, H.Method + lha::kMethodSize);
    e.State = THeadObject::hsKept;
    return e;
}

void TLha::ReadHeaders() {
    if (!oldArchive_) return;
    const int64_t size = oldArchive_->Size();
    if (size <= 0) return;  // an empty file takes the new archive
    const lha::TReadAt read = lha::StreamReader(*oldArchive_);
    int64_t at = std::max<int64_t>(scanPosition_ - 1, 0);
    for (bool first = true; !cancel_; first = false) {
        lha::THeader h;
        const lha::TParse parsed = lha::ParseHeader(read, size, at, h);
        if (parsed == lha::TParse::End) {
            // A file that is no LHA archive is never replaced by one; an
            // archive of no entries is its end marker alone.
            uint8_t b = 1;
            if (first && !verifyPass_ && !(read(at, &b, 1) == 1 && b == 0)) RaiseError(archiveFile_, "", "0", 25242);
            // No header where the last one pointed: the entries behind it
            // would be lost, so the archive stays as it is.
            if (!first && !verifyPass_ && !lha::EndsHere(read, size, at)) RaiseError(archiveFile_, "", "0", 25350);
            return;
        }
        // What cannot be read whole cannot be carried over: the archive
        // stays as it is.
        if (parsed != lha::TParse::Ok || h.Next > size) {
            if (verifyPass_) return;
            RaiseError(archiveFile_, "", "0", 25350);
        }
        at = h.Next;
        if (verifyPass_) {
            THeadObject e;
            e.Name = h.Name;
            entries_.Add(std::move(e));
            continue;
        }
        if (switch_ == swDelete && MatchesFileSpec(lha::NameToAnsi(h.Name), false)) {
            ++filesDeleted_;
            continue;
        }
        THeadObject e = KeptEntry(h);
        totalUnpacked_ += e.CopySize;
        entries_.Add(std::move(e));
    }
}

int TLha::ReadFirstHeader() {
    headersToRead_ = -1;
    headerPos_ = std::max<int64_t>(scanPosition_ - 1, 0);
    return ReadNextHeader();
}

int TLha::ReadNextHeader() {
    if (!oldArchive_) return 0;
    lha::THeader h;
    if (lha::ParseHeader(lha::StreamReader(*oldArchive_), oldArchive_->Size(), headerPos_, h) != lha::TParse::Ok)
        return 0;
    headerPos_ = h.Next;
    readHeader_ = KeptEntry(h);
    const char digit = lha::IsLhMethod(h.Method) ? h.Method[3] : '?';
    DescribeEntry(readHeader_, digit);
    return 1;
}

// ---- adding a file ------------------------------------------------------------------

bool TLha::CompressFile() {
    THeadObject& e = *current_;
    TFileStart start;
    if (!StartFile(e, start)) return false;
    const std::string& FN = start.FN;
    const uint32_t dosDate = start.DosDate;
    const std::string stored = start.NameKept ? e.Name : AnsiToOemName(FN);
    auto refuse = [&](int code) { return RefuseFile(FN, code); };
    // The header's size byte holds 22 + the name's length.
    if (stored.empty() || stored.size() > lha::kMaxLevel0Name) return refuse(25243);
    int64_t size = 0;
    if (!SourceSizeWithin(FN, kMaxFileSize, size)) return false;

    char digit = '0';
    if (size > 0) {
        digit = compressMethod_ == cmFrozen1 ? '1' : compressMethod_ == cmFrozen5 ? '5' : '0';
        if (digit != '0' && storeAlreadyCompressed_) {
            const std::string ext = UpperCase(ExtractFileExt(e.SourcePath));
            if (ext != ".EXE" && ArcExtIndex(ext) >= 0) digit = '0';
        }
    }
    lha::TLevel0 h;
    h.Digit = digit;
    h.UnpackedSize = static_cast<uint32_t>(size);
    h.DosDate = dosDate;
    h.Attr = static_cast<uint8_t>(e.Attr & (os::faReadOnly | os::faHidden | os::faSysFile | os::faArchive));
    h.Name = stored;
    std::vector<uint8_t> header = lha::MakeLevel0(h);
    TStream* out = tempArchive_.get();
    const int64_t offset = tempArchive_->Position();
    CompressWriteHook(out, false, static_cast<int64_t>(header.size()), 0, false, header.data());
    const int64_t dataStart = tempArchive_->Position();

    const int64_t todo = bytesToDo_;
    int64_t packed = 0, read = 0;
    for (;;) {
        Crc = 0;
        bytesToDo_ = todo;
        if (!inputFile_.Seek(0)) RaiseError(e.SourcePath, "", "0", 25292);
        if (digit == '0') {
            packed = read = size > 0 ? StoreData(inputFile_, *out, size, 16) : 0;
            break;
        }
        if (digit == '1') {
            packed = LzhufEncode(*this, out, &inputFile_, size, std::max<int64_t>(totalToDo_, 1));
            read = inputFile_.Position();
            bytesToDo_ -= read;
            break;
        }
        bool incompressible = false;
        packed = LzhEncode(*this, out, &inputFile_, size, incompressible, std::max<int64_t>(totalToDo_, 1));
        read = inputFile_.Position();
        bytesToDo_ -= read;
        if (!incompressible) break;
        // Stored instead: what the attempt wrote goes.
        if (!tempArchive_->SetSize(dataStart) || !tempArchive_->Seek(dataStart)) {
            // What was still buffered of the attempt did not fit: the report
            // names the temporary archive, as for any write that fell short.
            OutputWriteFailed(tempArchive_.get());
            throw E_RAISE(25136);
        }
        digit = '0';
    }
    // A file that grew while it was read is refused like a large one.
    if (read > kMaxFileSize || packed > kMaxFileSize) return refuse(25256);

    h.Digit = digit;
    h.PackedSize = static_cast<uint32_t>(packed);
    h.UnpackedSize = static_cast<uint32_t>(read);
    h.Crc = static_cast<uint16_t>(Crc);
    header = lha::MakeLevel0(h);
    const int64_t end = tempArchive_->Position();
    if (!tempArchive_->Seek(offset)) RaiseError(archiveFile_, "", "0", 25292);
    CompressWriteHook(out, false, static_cast<int64_t>(header.size()), 0, false, header.data());
    if (!tempArchive_->Seek(end)) RaiseError(archiveFile_, "", "0", 25292);

    e.Header = header;
    e.Offset = offset;
    e.CopySize = end - offset;
    e.PackedSize = packed;
    e.UnpackedSize = read;
    e.Crc = h.Crc;
    e.DosDate = dosDate;
    e.Attr = h.Attr;
    if (OnEnd) OnEnd(this, FN, true);
    return true;
}

void TLha::FinishArchive() {
    static const uint8_t end = 0;
    if (tempArchive_ && tempArchive_->IsOpen()) CompressWriteHook(tempArchive_.get(), false, 1, 0, false, &end);
    TCompBase::FinishArchive();
}

// ---- reporting ----------------------------------------------------------------------

void TLha::DescribeEntry(const THeadObject& E, char Digit) {
    EntryInfo.Clear();
    EntryInfo.FileName = lha::NameToAnsi(E.Name);
    EntryInfo.VersionMadeBy = kVersionMadeBy;
    EntryInfo.VersionNeeded = kVersionNeeded;
    EntryInfo.PackedSize = E.PackedSize;
    EntryInfo.UnpackedSize = E.UnpackedSize;
    EntryInfo.CRC = E.Crc;
    EntryInfo.Encrypted = false;
    EntryInfo.MethodCode = static_cast<uint16_t>(Digit >= '0' && Digit <= '9' ? Digit - '0' : Digit);
    EntryInfo.MethodName = CompressMethodName(EntryInfo.MethodCode, 0);
    EntryInfo.Attr = static_cast<uint16_t>(E.Attr);
    EntryInfo.ExternalAttr = E.Attr;
    EntryInfo.Ratio = CalcRatio(E.PackedSize, E.UnpackedSize);
    if (E.DosDate > 0) EntryInfo.DateTime = DosDateToDateTime(E.DosDate);
}

void TLha::ReportEntries() {
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
        if (!e.Written || e.Header.size() < static_cast<size_t>(lha::kLevel0Fixed)) continue;
        DescribeEntry(e, static_cast<char>(e.Header[lha::kMethodOffset + 3]));
        if (OnRead) OnRead(this, ClampToInt(e.Offset), i + 1);
    }
}

}  // namespace bramble
