#include "engine/core/bytes.h"
#include "engine/writers/gzip.h"

#include <algorithm>

#include "engine/codecs/deflate.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/formats/gzip.h"

namespace bramble {

namespace {

using gzip::kFName;



bool SameText(const std::string& a, const std::string& b) { return UpperCase(a) == UpperCase(b); }

}  // namespace

uint64_t SourceFileTime(const TCompBase& Writer, const std::string& Path) {
    switch (Writer.DateAttribute()) {
        case daSysDate: return os::NowFileTime();
        case daMaxFileDate:
            if (Writer.MaxFileDate() != 0) return DosDateToFileTime(Writer.MaxFileDate());
            break;
        default: break;
    }
    // The file's own time to the second: a DOS date would lose the odd one.
    os::FileTimes t;
    if (os::GetTimes(Path, t) && t.lastWrite != 0) return t.lastWrite;
    return os::NowFileTime();
}

TGZip::TGZip(TComponent* AOwner) : TCompBase(AOwner) {
    // Peers take the suffix in either case (gunzip and tar do).
    InitDefaultExt(".GZ");
    deflateType_ = dtDeflateN;
    deflateLevel_ = 7;
    allowedMethods_ = {cmDeflate};
    compressMethod_ = cmDeflate;
    arcType_ = atGZip;
}

void TGZip::SetArcType(TArcType) {
    arcType_ = atGZip;
    arcOffset_ = 1;
    if (ComponentState().contains(csLoading) || archiveFile_.empty()) return;
    if (!SameText(ExtractFileExt(archiveFile_), defaultExt_)) archiveFile_ += defaultExt_;
}

std::string TGZip::OutputNameFor(const std::string& Source) const {
    // The files it makes end in ".gz" whatever the case DefaultExt is kept
    // in: a.txt.gz, as gzip itself names them and as they were always named.
    std::string ext = defaultExt_;
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ExtractFilePath(archiveFile_) + ExtractFileName(Source) + ext;
}

std::string TGZip::GzMethodName(uint8_t CM, uint8_t FLG) {
    if (CM == 0) return "Stored";
    if (CM == 8) return DeflateMethodName(FLG);
    return "Unknown";
}

int64_t TGZip::GzWriteMember(const std::string& Name, uint32_t MTime, TStream& Output, uint8_t& FLG,
                             uint32_t& CrcOut, int64_t& Size) {
    // Only a member with data carries a name: an empty source gives the
    // 20-byte member (header, empty deflate stream, trailer), since a
    // header alone is a member cut short to every other gzip reader.
    const int64_t sourceSize = inputFile_.Size();
    FLG = sourceSize > 0 && !Name.empty() ? kFName : 0;
    const auto header = gzip::MakeHeader(FLG, MTime);
    int64_t written = CompressWriteHook(&Output, false, gzip::kHeaderSize, 0, false, header.data());
    if (FLG & kFName)
        written += CompressWriteHook(&Output, false, static_cast<int64_t>(Name.size()) + 1, 0, false,
                                     reinterpret_cast<const uint8_t*>(Name.c_str()));

    // Never raw-stored: CM 0 is no gzip method, and other readers refuse
    // it. Incompressible data goes into stored deflate blocks.
    Crc = 0xFFFFFFFF;
    uint16_t method = 8;
    const int64_t start = inputFile_.Position();
    const int64_t packed = Deflate(*this, deflateType_, false, &inputFile_, &Output, sourceSize, false, method,
                                   std::max<int64_t>(bytesToDo_, 1));
    written += packed;
    Size = inputFile_.Position() - start;  // what was read, if the file changed meanwhile
    CrcOut = ~Crc;
    uint8_t trailer[8];
    PutLe32(trailer, CrcOut);
    PutLe32(trailer + 4, static_cast<uint32_t>(Size));
    written += CompressWriteHook(&Output, false, 8, 0, false, trailer);
    bytesToDo_ -= Size;

    if (OnRead) {
        EntryInfo.Clear();
        EntryInfo.FileName = OemToAnsiName(Name);
        EntryInfo.DateTime = DosDateToDateTime(UnixSecondsToDosDate(MTime));
        EntryInfo.PackedSize = packed;
        EntryInfo.UnpackedSize = Size;
        EntryInfo.CRC = CrcOut;
        EntryInfo.Encrypted = false;
        EntryInfo.MethodCode = 8;
        EntryInfo.MethodName = GzMethodName(8, FLG);
        EntryInfo.Attr = EntryInfo.ExternalAttr = 0x20;
        EntryInfo.Ratio = CalcRatio(packed, Size);
        OnRead(this, 0, 1);
    }
    return written;
}

bool TGZip::CompressOne(THeadObject& e, int Count) {
    std::string FN = ExtractFileName(e.SourcePath);
    if (!DoFileBegin(FN, Count)) return false;
    const std::string output = OutputNameFor(e.SourcePath);

    if (os::FileExists(output)) {
        TOverwriteMode mode = overwriteMode_;
        if (confirmOverwrites_ && OnFileExists) {
            os::FileTimes t;
            const TDateTime date =
                os::GetTimes(output, t) ? DosDateToDateTime(FileTimeToDosDate(t.lastWrite)) : 0;
            Paused([&] { OnFileExists(this, output, date, mode); });
            overwriteMode_ = mode;  // a "skip" answer holds for the rest of the run
        }
        bool write = mode == omOverwrite && !cancel_;
        if (write && !IsWritableFile(output)) {
            if (OnNonWriteableArchive) {
                bool writeToFile = false;
                Paused([&] { OnNonWriteableArchive(this, output, writeToFile); });
                write = writeToFile;
                if (write && (!os::SetAttributes(output, os::faArchive) || !IsWritableFile(output))) {
                    ReportError(output, "", "0", 25136);
                    cancel_ = true;  // the run ends here
                    write = false;
                }
            } else {
                ReportError(output, "", "0", 25136);
                write = false;
            }
        }
        if (!write) {
            if (OnEnd) OnEnd(this, FN, false);
            return false;
        }
    }

    if (!OpenInputFile(e.SourcePath)) return false;
    const uint32_t mtime = FileTimeToUnixSeconds(SourceFileTime(*this, e.SourcePath));
    os::FileTimes sourceTimes;
    os::GetTimes(e.SourcePath, sourceTimes);

    // The member is built beside its target and moved over it only when
    // complete: a failed run leaves an older .gz as it was.
    const std::string temp = os::MakeTempFile(ExtractFilePath(output), "dvx");
    TFileStream out;
    if (temp.empty() || !out.Open(temp, os::OpenMode::Create)) {
        if (!temp.empty()) os::FileDelete(temp);
        inputFile_.Close();
        ReportError(output, "", "0", 25235);
        return false;
    }
    uint8_t flg = 0;
    uint32_t crc = 0;
    int64_t size = 0;
    try {
        GzWriteMember(AnsiToOemName(FN), mtime, out, flg, crc, size);
    } catch (...) {
        out.Close();
        os::FileDelete(temp);
        inputFile_.Close();
        throw;
    }
    inputFile_.Close();
    const bool closed = out.Close();
    if (!closed || !os::FileRename(temp, output)) {
        os::FileDelete(temp);
        ReportError(output, "", "0", 25136);
        if (OnEnd) OnEnd(this, FN, false);
        return false;
    }
    if (sourceTimes.lastWrite != 0) {
        os::FileTimes t;
        t.lastWrite = sourceTimes.lastWrite;
        os::SetTimes(output, t);
    }
    e.Written = true;
    e.Crc = crc;
    e.UnpackedSize = size;
    ++filesAdded_;
    if (OnEnd) OnEnd(this, FN, true);
    // Only a source whose .gz is complete goes.
    if (switch_ == swMove && !EraseFile(e.SourcePath, deleteOptions_ == doAllowUndo))
        ReportError(e.SourcePath, "", "0", 25169);
    return true;
}

void TGZip::CompressArchive() {
    if (archiveFile_.empty() || fileSpec_.empty()) return;
    if (switch_ == swDelete) {
        ReportError(archiveFile_, "", "0", 26859);
        return;
    }
    if (switch_ == swRead) {
        TCompBase::CompressArchive();
        return;
    }

    TRunScope run(*this, this);
    struct Cleanup {
        TGZip& c;
        ~Cleanup() {
            c.inputFile_.Close();
            c.entries_.Clear();
        }
    } cleanup{*this};

    GatherAll();
    int count = 0;
    for (int i = 0; i < entries_.Count(); ++i) {
        os::ProcessMessages();
        if (cancel_) RaiseError(archiveFile_, "", "0", 25400);
        THeadObject& e = entries_[i];
        if (e.State != THeadObject::hsNew) continue;
        if (!CompressOne(e, ++count)) bytesToDo_ -= e.UnpackedSize;
    }
    success_ = filesAdded_ > 0;
}

int TGZip::ReadNextHeader() {
    // One member, described from its header and trailer.
    if (!oldArchive_ || headerPos_ != 0) return 0;
    const int64_t size = oldArchive_->Size();
    uint8_t trailer[gzip::kTrailerSize];
    if (size < gzip::kMinMember || !oldArchive_->Seek(size - gzip::kTrailerSize) ||
        oldArchive_->Read(trailer, gzip::kTrailerSize) != gzip::kTrailerSize)
        return 0;
    gzip::THeader h;
    gzip::ReadHeader(0, size, [this](int64_t at, uint8_t* out, int64_t n) {
        return oldArchive_->Seek(at) ? oldArchive_->Read(out, n) : int64_t{-1};
    }, h);
    if (h.DataStart == 0) return 0;  // no gzip header at all
    std::string name = gzip::BaseName(h.Name);
    if (name.empty()) name = ChangeFileExt(ExtractFileName(archiveFile_), "");
    readHeader_ = THeadObject();
    readHeader_.Name = name;
    readHeader_.Offset = 0;
    readHeader_.PackedSize = size;
    const gzip::TTrailer t = gzip::ParseTrailer(trailer);
    readHeader_.UnpackedSize = t.Size;
    readHeader_.Crc = t.CRC;
    readHeader_.State = THeadObject::hsKept;
    const uint32_t mtime = h.MTime;
    readHeader_.DosDate = mtime ? UnixSecondsToDosDate(mtime)
                                : static_cast<uint32_t>(0);

    EntryInfo.Clear();
    EntryInfo.FileName = OemToAnsiName(name);
    EntryInfo.DateTime = DosDateToDateTime(readHeader_.DosDate);
    EntryInfo.PackedSize = size;
    EntryInfo.UnpackedSize = readHeader_.UnpackedSize;
    EntryInfo.CRC = readHeader_.Crc;
    EntryInfo.MethodCode = h.Method;
    EntryInfo.MethodName = GzMethodName(h.Method, h.Flags);
    EntryInfo.Attr = EntryInfo.ExternalAttr = 0x20;
    EntryInfo.Ratio = CalcRatio(size, readHeader_.UnpackedSize);
    headerPos_ = size;
    return 1;
}

}  // namespace bramble
