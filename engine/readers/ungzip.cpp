#include "engine/core/bytes.h"
#include "engine/readers/ungzip.h"

#include "engine/codecs/unlzw.h"
#include "engine/codecs/zipmethod.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/formats/gzip.h"

namespace bramble {

namespace {

using gzip::kFEncrypted;

// Faults of the data, which fail the entry (and the output it began); a
// cancel, a full disk or a seek that fails end the run as they stand.
bool IsDataError(int code) {
    switch (code) {
        case 25109: case 25120: case 25121: case 25138: case 25139: case 25236: case 25247: case 25290: case 25326:
            return true;
        default:
            return false;
    }
}

// The name an entry gets when the member stores none: the archive's name
// less its last extension (a .tgz or .taz holds a .tar).
std::string NameWithoutExtension(const std::string& archive) {
    std::string name = ExtractFileName(archive);
    std::string ext = UpperCase(ExtractFileExt(name));
    std::string base = name.substr(0, name.size() - ext.size());
    if (ext == ".TGZ" || ext == ".TAZ") return base + ".tar";
    return base.empty() ? name : base;
}

}  // namespace

bool TUnGZIP::ReadMember(int64_t pos, Member& m) {
    gzip::THeader h;
    const bool whole = gzip::ReadHeader(pos, arcFileSize_, [this](int64_t at, uint8_t* out, int64_t n) {
        return inFile_.Seek(at) ? inFile_.Read(out, n) : int64_t{-1};
    }, h);
    m.method = h.Method;
    m.flags = h.Flags;
    m.mtime = h.MTime;
    // Folders and all: the output path is made of it as of any stored name.
    m.name = h.Name;
    m.dataStart = h.DataStart;
    return whole && h.DataStart + gzip::kTrailerSize <= arcFileSize_;
}

bool TUnGZIP::DecodeGzip(const Member& first, const std::string& FN) {
    // Counts what each member decodes to, for its size field.
    int64_t produced = 0;
    TWriteHook inner = ExtractWriteHook;
    TSwapGuard<TWriteHook> counting(ExtractWriteHook, [&](TStream* s, bool data, int64_t n, int k, bool d,
                                                          const uint8_t* b) {
        if (data) produced += n;
        return inner(s, data, n, k, d, b);
    });

    bool allPass = true;
    Member m = first;
    for (;;) {
        if (m.flags & kFEncrypted) RaiseError(FN, "", "0", 25290);
        const int64_t count = arcFileSize_ - m.dataStart;
        if (!inFile_.Seek(m.dataStart)) RaiseError(FN, "", "0", 25292);
        Crc = 0xFFFFFFFF;
        produced = 0;
        int64_t consumed = 0;
        if (m.method == 8) {
            TZipInput in(*this, count, false);
            ZipMethodDecode(in, 8, m.flags, -1, bytesToDo_);
            // Where the deflate data ended: what was read, less what the
            // decoder still holds unread.
            int64_t held = (in.End - in.Next) + (in.BitCount > 8 * in.Overread ? (in.BitCount - 8 * in.Overread) / 8 : 0);
            consumed = (count - in.Remaining()) - held;
        } else if (m.method == 0) {
            consumed = count - 8;
            ZipMethodDecode(*this, 0, 0, consumed, consumed, false, bytesToDo_);
        } else {
            RaiseError(FN, "", "0", 25326);
        }
        uint8_t trailer[8];
        const int64_t trailerPos = m.dataStart + consumed;
        if (!inFile_.Seek(trailerPos) || inFile_.Read(trailer, 8) != 8) RaiseError(FN, "", "0", 25236);
        const bool pass = ~Crc == Le32(trailer) && static_cast<uint32_t>(produced) == Le32(trailer + 4);
        allPass = allPass && pass;
        // Another member may follow (cat a.gz b.gz, pigz, bgzip), and gzip
        // unpacks them all into one file; anything else after the trailer
        // (zeros written by tape and disk tools) is ignored as gzip does.
        Member next;
        if (!ReadMember(trailerPos + 8, next)) break;
        m = next;
    }
    return allPass;
}

void TUnGZIP::HandToTar(const std::string& output) {
    if (!unTar_ || OutputTarget != otFile) return;
    TUnTAR& t = *unTar_;
    t.SetArchiveFile(output);
    if (t.ArcType() != atTar) return;
    t.SetExtractDir(extractDir_);
    t.SetFileSpec(fileSpec_);
    // The TAR is extracted as this run would extract it: the same answers
    // about existing files, dates and attributes, and the same listeners,
    // whoever set up the TAR reader. Its own handlers come back afterwards.
    t.SetConfirmOverwrites(confirmOverwrites_);
    t.SetOverwriteMode(overwriteMode_);
    t.SetDateAttribute(dateAttribute_);
    t.SetRestoreFileAttr(restoreFileAttr_);
    t.SetUseStoredDirs(useStoredDirs_);
    TSwapGuard<TOnBegin> begin(t.OnBegin, OnBegin);
    TSwapGuard<TOnEnd> end(t.OnEnd, OnEnd);
    TSwapGuard<TOnError> error(t.OnError, OnError);
    TSwapGuard<TOnProgress> progress(t.OnProgress, OnProgress);
    TSwapGuard<TOnFileExists> exists(t.OnFileExists, OnFileExists);
    TSwapGuard<TOnRenameFile> rename(t.OnRenameCompressedFile, OnRenameCompressedFile);
    t.Extract(this);
    // "Skip all" chosen during the TAR sticks for the rest of this run too.
    overwriteMode_ = t.OverwriteMode();
}

void TUnGZIP::ExtractArchive() {
    uint8_t h[10] = {};
    if (!inFile_.Seek(0) || inFile_.Read(h, 10) < 2) RaiseError(archiveFile_, "", "0", 25236);
    const uint16_t magic = static_cast<uint16_t>(h[0] | h[1] << 8);
    if (!IsGZipSignature(magic)) RaiseError(archiveFile_, "", "0", 25238);
    const bool isGzip = gzip::IsGzipMagic(h);
    if (isGzip && arcFileSize_ < gzip::kMinMember) RaiseError(archiveFile_, "", "0", 25236);

    Member first;
    std::string storedName;
    uint32_t dosDate = static_cast<uint32_t>(arcFileDate_);
    if (isGzip) {
        if (!ReadMember(0, first)) RaiseError(archiveFile_, "", "0", 25236);
        storedName = first.name;
        if (first.mtime != 0)
            dosDate = UnixSecondsToDosDate(first.mtime);
    }
    const std::string entryName =
        storedName.empty() ? NameWithoutExtension(archiveFile_) : OemToAnsiName(storedName);
    std::string outPath = ConvertFileName(entryName);
    if (outPath.empty()) {
        NameRefused(entryName, 0);
        return;
    }
    const bool toFile = OutputTarget == otFile || OutputTarget == otTempStream;
    std::string FN = toFile ? outPath : entryName;
    bool exists = false;
    SetBytesToDo(isGzip ? 0 : arcFileSize_);
    if (PrepareExtractFile(FN, exists, DosDateToDateTime(dosDate)) != prExtract) return;

    const std::string target = toFile ? OutputName() : FN;
    // pack and the other relatives are not decoded.
    if (isGzip ? first.method != 0 && first.method != 8 : magic != 0x9D1F) {
        EntryFailed(FN, 25326, bytesToDo_);
        return;
    }
    // Refused before the output exists: no empty file is left behind.
    if (isGzip && (first.flags & kFEncrypted)) RaiseError(FN, "", "0", 25290);
    TSwapGuard<bool> text(TextMode, asciiTranslation_);
    if (!OpenEntryOutput(FN, target, bytesToDo_)) return;
    bool pass = false;
    try {
        if (isGzip) {
            pass = DecodeGzip(first, FN);
        } else {
            Crc = 0;
            if (!inFile_.Seek(2)) RaiseError(target, "", "0", 25292);
            // A cancel stops the decoder where it stands: not the whole file.
            pass = UnLzwDecode(*this, arcFileSize_ - 2) && !cancel_;
        }
    } catch (const E_RAISE& err) {
        if (!IsDataError(err.Code()) || cancel_) {
            CloseOutput();
            throw;
        }
        // What was decoded before the fault is not the file. The deflate
        // decoder has said what it found; the compress decoder says nothing.
        DiscardOutput();
        if (isGzip) {
            SkipBytes(bytesToDo_);
            EndEntry(FN, false);
        } else {
            EntryFailed(FN, err.Code(), bytesToDo_);
        }
        return;
    } catch (...) {
        CloseOutput();
        throw;
    }
    if (OutputTarget == otFile)
        RestoreFileStamp(0x20, dosDate, target);
    else
        CloseOutput();
    if (!EndEntry(FN, pass) && !pass) ReportError(FN, "", "0", 25151);
    if (pass) HandToTar(target);
}

}  // namespace bramble
