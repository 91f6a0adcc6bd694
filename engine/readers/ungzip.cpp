#include "engine/core/bytes.h"
#include "engine/readers/ungzip.h"

#include "engine/codecs/unlzw.h"
#include "engine/codecs/zipmethod.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

namespace {

constexpr uint8_t kFHCrc = 0x02, kFExtra = 0x04, kFName = 0x08, kFComment = 0x10,
                  kFEncrypted = 0x20;


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
    uint8_t h[10];
    if (!inFile_.Seek(pos) || inFile_.Read(h, 10) != 10) return false;
    if (h[0] != 0x1F || (h[1] != 0x8B && h[1] != 0x9E)) return false;
    m.method = h[2];
    m.flags = h[3];
    m.mtime = Le32(h + 4);
    int64_t p = pos + 10;
    const int64_t end = arcFileSize_;
    if (m.flags & kFExtra) {
        uint8_t xl[2];
        if (!inFile_.Seek(p) || inFile_.Read(xl, 2) != 2) return false;
        p += 2 + (xl[0] | xl[1] << 8);
    }
    // A NUL-terminated field of any length; only its end matters, and the
    // first 1024 bytes of a name.
    auto zfield = [&](std::string* keep) {
        uint8_t buf[512];
        for (;;) {
            if (p >= end || !inFile_.Seek(p)) return false;
            int64_t got = inFile_.Read(buf, sizeof buf);
            if (got <= 0) return false;
            for (int64_t i = 0; i < got; ++i) {
                if (buf[i] == 0) {
                    p += i + 1;
                    return true;
                }
                if (keep && keep->size() < 1024) keep->push_back(static_cast<char>(buf[i]));
            }
            p += got;
        }
    };
    m.name.clear();
    if ((m.flags & kFName) && !zfield(&m.name)) return false;
    if ((m.flags & kFComment) && !zfield(nullptr)) return false;
    if (m.flags & kFHCrc) p += 2;
    // Only the file's own name counts: a stored path is not trusted.
    size_t cut = m.name.find_last_of("/\\:");
    if (cut != std::string::npos) m.name.erase(0, cut + 1);
    m.dataStart = p;
    return p + 8 <= end;
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
        int64_t consumed;
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
            ReportError(FN, "", "0", 25326);
            return false;
        }
        uint8_t trailer[8];
        const int64_t trailerPos = m.dataStart + consumed;
        if (!inFile_.Seek(trailerPos) || inFile_.Read(trailer, 8) != 8) RaiseError(FN, "", "0", 25236);
        const bool pass = ~Crc == Le32(trailer) && static_cast<uint32_t>(produced) == Le32(trailer + 4);
        allPass = allPass && pass;
        // Another member may follow; anything else after the trailer (zeros
        // written by tape and disk tools) is ignored as gzip does.
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
    const bool gzip = magic == 0x8B1F || magic == 0x9E1F;
    if (gzip && arcFileSize_ < 18) RaiseError(archiveFile_, "", "0", 25236);

    Member first;
    std::string storedName;
    uint32_t dosDate = static_cast<uint32_t>(arcFileDate_);
    if (gzip) {
        if (!ReadMember(0, first)) RaiseError(archiveFile_, "", "0", 25236);
        storedName = first.name;
        if (first.mtime != 0)
            dosDate = FileTimeToDosDate((static_cast<uint64_t>(first.mtime) + 11644473600ULL) * 10000000ULL);
    }
    const std::string entryName =
        storedName.empty() ? NameWithoutExtension(archiveFile_) : OemToAnsiName(storedName);
    std::string outPath = ConvertFileName(entryName);
    if (outPath.empty()) return;
    const bool toFile = OutputTarget == otFile || OutputTarget == otTempStream;
    std::string FN = toFile ? outPath : entryName;
    bool exists = false;
    SetBytesToDo(gzip ? 0 : arcFileSize_);
    if (PrepareExtractFile(FN, exists, DosDateToDateTime(dosDate)) != prExtract) return;

    const std::string target = toFile ? OutputName() : FN;
    TSwapGuard<bool> text(TextMode, asciiTranslation_);
    bool pass = false;
    if (magic == 0x9D1F) {
        if (!OpenOutput(target, OutputStreamArg())) RaiseError(target, "", "0", 25235);
        Crc = 0;
        if (!inFile_.Seek(2)) RaiseError(target, "", "0", 25292);
        try {
            pass = UnLzwDecode(*this, arcFileSize_ - 2);
        } catch (...) {
            CloseOutput();
            throw;
        }
    } else if (gzip) {
        // Refused before the output exists: no empty file is left behind.
        if (first.flags & kFEncrypted) RaiseError(FN, "", "0", 25290);
        if (!OpenOutput(target, OutputStreamArg())) RaiseError(target, "", "0", 25235);
        try {
            pass = DecodeGzip(first, FN);
        } catch (...) {
            CloseOutput();
            throw;
        }
    } else {
        ReportError(FN, "", "0", 25326);
        return;
    }
    if (OutputTarget == otFile)
        RestoreFileStamp(0x20, dosDate, target);
    else
        CloseOutput();
    if (OnEnd)
        OnEnd(this, FN, pass);
    else if (!pass)
        ReportError(FN, "", "0", 25151);
    if (pass) HandToTar(target);
}

}  // namespace bramble
