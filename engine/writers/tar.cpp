#include "engine/writers/tar.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/readers/tarheader.h"
#include "engine/writers/gzip.h"

namespace bramble {

namespace {

constexpr int64_t kMaxOctal11 = 077777777777LL;  // the largest size or time a 12-byte field holds
constexpr uint64_t kTicksPerSecond = 10000000ULL;
constexpr int64_t kUnixEpochSeconds = 11644473600LL;

uint32_t UnixToDos(int64_t seconds) {
    seconds = std::clamp<int64_t>(seconds, 0, 0xFFFFFFFFLL);
    return FileTimeToDosDate(static_cast<uint64_t>(seconds + kUnixEpochSeconds) * kTicksPerSecond);
}

// The name the entry list knows an old entry by: the stored path with '\'
// separators, without the "./" that "tar cf x.tar ." puts in front.
std::string ListName(const std::string& stored) {
    std::string name = SlashToBackslash(stored);
    while (name.size() > 2 && name[0] == '.' && name[1] == '\\') name.erase(0, 2);
    return name;
}

// The name as the lister shows it: the header's 100-byte name field with
// the blanks around it dropped ("./a.txt" stays "./a.txt").
std::string ListedName(const uint8_t* h) {
    size_t len = 0;
    while (len < 100 && h[len] != 0) ++len;
    size_t first = 0;
    while (first < len && h[first] <= ' ') ++first;
    while (len > first && h[len - 1] <= ' ') --len;
    return std::string(reinterpret_cast<const char*>(h) + first, len - first);
}

}  // namespace

TTar::TTar(TComponent* AOwner) : TCompBase(AOwner) {
    headerSize_ = 512;
    // Lower case as SetDefaultExt makes every extension.
    InitDefaultExt(".tar");
    allowedMethods_ = {cmTarred, cmGzipTar};
    compressMethod_ = cmTarred;
    arcType_ = atTar;
}

void TTar::SetArcType(TArcType) {
    arcType_ = atTar;
    arcOffset_ = 1;
    if (!ComponentState().contains(csLoading)) AddDefaultExt();
}

std::string TTar::MakeHeader(const std::string& Name, int64_t Size, int64_t MTime) {
    std::string h(512, '\0');
    std::memcpy(h.data(), Name.data(), std::min<size_t>(Name.size(), 99));
    auto put = [&h](int at, const std::string& field) { h.replace(static_cast<size_t>(at), field.size(), field); };
    put(100, IntToOctal(0100666, 8, true));  // regular file, read and write for all
    put(108, IntToOctal(0, 8, true));
    put(116, IntToOctal(0, 8, true));
    put(124, IntToOctal(Size, 11, false) + " ");
    put(136, IntToOctal(MTime, 11, false) + " ");
    h[156] = '\0';
    const int64_t sum = tar::ComputeChecksum(reinterpret_cast<const uint8_t*>(h.data()));
    char digits[16];
    std::snprintf(digits, sizeof digits, "%06llo", static_cast<unsigned long long>(sum));
    put(148, std::string(digits, 6) + std::string("\0 ", 2));
    return h;
}

bool TTar::CompressFile() {
    static const uint8_t zeros[512] = {};
    THeadObject& e = *current_;
    if (!OpenInputFile(e.SourcePath)) return false;
    const int64_t mtime = FileTimeToUnixSeconds(SourceFileTime(*this, e.SourcePath));
    std::string FN = OemToAnsiName(e.Name);
    if (!DoFileBegin(FN, currentIndex_ + 1)) return false;

    // The name field holds 99 bytes and its NUL; a longer name is refused
    // rather than cut into a different one.
    const std::string stored = BackslashToSlash(AnsiToOemName(SlashToBackslash(FN)));
    if (stored.empty() || stored.size() > 99) {
        ReportError(FN, "", "0", 25243);
        return false;
    }
    const int64_t size = inputFile_.Size();
    if (size < 0 || size > kMaxOctal11) {
        ReportError(FN, "", "0", 25136);
        return false;
    }
    const std::string header = MakeHeader(stored, size, std::min<int64_t>(mtime, kMaxOctal11));
    e.Offset = tempArchive_->Position();
    CompressWriteHook(tempArchive_.get(), false, 512, 0, false, reinterpret_cast<const uint8_t*>(header.data()));
    StoreData(inputFile_, *tempArchive_, size);
    if (size % 512 != 0) CompressWriteHook(tempArchive_.get(), false, 512 - size % 512, 0, false, zeros);

    e.Header.assign(header.begin(), header.end());
    e.PackedSize = e.UnpackedSize = size;
    e.Crc = static_cast<uint32_t>(tar::Number(e.Header.data(), 148, 8));
    e.DosDate = UnixToDos(mtime);
    e.Attr = 0x20;
    if (OnEnd) OnEnd(this, FN, e.Crc >= 1);
    return true;
}

bool TTar::NextEntry(TStream& Archive, int64_t& Pos, THeadObject& Entry, int64_t& MTime) {
    const int64_t end = Archive.Size();
    std::string longName;
    int64_t start = -1;
    int zeroBlocks = 0;
    uint8_t h[tar::kBlock];
    while (Pos >= 0 && Pos + tar::kBlock <= end) {
        if (!Archive.Seek(Pos) || Archive.Read(h, tar::kBlock) != tar::kBlock) return false;
        if (tar::IsZeroBlock(h)) {
            if (++zeroBlocks == 2) return false;
            Pos += tar::kBlock;
            start = -1;
            longName.clear();
            continue;
        }
        zeroBlocks = 0;
        if (!tar::ChecksumOk(h)) {
            // Passed over as the reader does; it does not go into the new archive.
            Pos += tar::kBlock;
            start = -1;
            longName.clear();
            continue;
        }
        const char type = tar::Type(h);
        const int64_t size = tar::Size(h);
        const int64_t data = Pos + tar::kBlock;
        // A truncated last entry ends the walk.
        if (size < 0 || size > end - data) return false;
        const int64_t next = data + tar::Padded(size);
        if (start < 0) start = Pos;
        if (type == 'L' || type == 'K' || type == 'x') {
            // Records that describe the next header travel with it, so a
            // replaced or deleted entry never leaves its long name to the
            // entry after it.
            if (type != 'K') {
                std::string record(static_cast<size_t>(std::min<int64_t>(size, 65536)), '\0');
                const int64_t got = Archive.Seek(data) ? Archive.Read(record.data(), static_cast<int64_t>(record.size())) : 0;
                record.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
                if (type == 'L')
                    longName = record.substr(0, record.find('\0'));
                else if (std::string path = tar::PaxPath(record); !path.empty())
                    longName = path;
            }
            Pos = next;
            continue;
        }
        const std::string name = longName.empty() ? tar::FullName(h) : longName;
        if (name.empty()) return false;
        Entry = THeadObject();
        Entry.Name = ListName(name);
        // The lister shows the header's own name field, trimmed: a delete
        // names the entry that way.
        if (const std::string listed = ListedName(h); SlashToBackslash(listed) != Entry.Name) Entry.RawName = listed;
        Entry.Header.assign(h, h + tar::kBlock);
        Entry.Offset = start;
        Entry.CopySize = std::min(next, end) - start;
        Entry.PackedSize = Entry.UnpackedSize = size;
        Entry.Crc = static_cast<uint32_t>(tar::Number(h, 148, 8));
        MTime = tar::MTime(h);
        Entry.DosDate = UnixToDos(MTime);
        Entry.Attr = 0x20;
        Entry.State = THeadObject::hsKept;
        Pos = next;
        return true;
    }
    return false;
}

void TTar::ReadHeaders() {
    if (!oldArchive_) return;
    // A file that is not a TAR is never replaced by one.
    const int64_t size = oldArchive_->Size();
    if (size > 0) {
        uint8_t h[tar::kBlock];
        if (size < tar::kBlock || !oldArchive_->Seek(0) || oldArchive_->Read(h, tar::kBlock) != tar::kBlock ||
            (!tar::IsZeroBlock(h) && !tar::ChecksumOk(h)))
            RaiseError(archiveFile_, "", "0", 25242);
    }
    int64_t pos = 0, mtime = 0;
    THeadObject e;
    while (!cancel_ && NextEntry(*oldArchive_, pos, e, mtime)) {
        // Named as the list shows it ("./a.txt" as stored, a long name by
        // its header's field) or by its whole name without the "./".
        if (switch_ == swDelete && !verifyPass_ &&
            (MatchesFileSpec(OemToAnsiName(e.Name), false) ||
             (!e.RawName.empty() && MatchesFileSpec(OemToAnsiName(e.RawName), false)))) {
            ++filesDeleted_;
            continue;
        }
        if (!verifyPass_) totalUnpacked_ += e.CopySize;
        entries_.Add(std::move(e));
    }
}

int TTar::ReadNextHeader() {
    if (!oldArchive_) return 0;
    int64_t mtime = 0;
    if (!NextEntry(*oldArchive_, headerPos_, readHeader_, mtime)) return 0;
    DescribeEntry(readHeader_, mtime);
    return 1;
}

void TTar::DescribeEntry(const THeadObject& e, int64_t MTime) {
    EntryInfo.Clear();
    EntryInfo.FileName = OemToAnsiName(e.Name);
    EntryInfo.DateTime = DosDateToDateTime(UnixToDos(MTime));
    EntryInfo.PackedSize = e.PackedSize;
    EntryInfo.UnpackedSize = e.UnpackedSize;
    EntryInfo.CRC = e.Crc;
    EntryInfo.Encrypted = false;
    EntryInfo.MethodName = "Tarred";
    EntryInfo.MethodCode = 0;
    EntryInfo.Attr = EntryInfo.ExternalAttr = 32;
    EntryInfo.Ratio = CalcRatio(e.PackedSize, e.UnpackedSize);
}

void TTar::FinishArchive() {
    static const uint8_t zeros[2 * tar::kBlock] = {};
    if (tempArchive_ && tempArchive_->IsOpen())
        CompressWriteHook(tempArchive_.get(), false, sizeof zeros, 0, false, zeros);
    TCompBase::FinishArchive();
}

void TTar::ReportEntries() {
    int64_t total = 0;
    for (int i = 0; i < entries_.Count(); ++i)
        if (!entries_[i].Dropped()) total += entries_[i].UnpackedSize;
    totalUnpacked_ = totalPacked_ = total;
    if (switch_ == swDelete) return;
    for (int i = 0; i < entries_.Count(); ++i) {
        const THeadObject& e = entries_[i];
        if (!e.Written || e.Header.size() != tar::kBlock) continue;
        DescribeEntry(e, tar::MTime(e.Header.data()));
        if (OnRead) OnRead(this, ClampToInt(e.Offset), i + 1);
    }
}

void TTar::CompressArchive() {
    postProcessNow_ = false;
    TCompBase::CompressArchive();
    if (compressMethod_ != cmGzipTar || switch_ == swRead || !success_ || cancel_) return;
    postProcessNow_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{postProcessNow_};
    PostProcess();
}

void TTar::PostProcess() {
    if (!postProcessNow_ || compressMethod_ != cmGzipTar) return;
    TGZip gz;
    gz.SetDefaultDir(DefaultDir());
    gz.SetDeflateType(deflateType_);
    gz.SetConfirmOverwrites(confirmOverwrites_);
    gz.SetDateAttribute(daFileDate);
    gz.OnProgress = OnProgress;
    gz.OnError = OnError;
    gz.OnBegin = OnBegin;
    gz.OnEnd = OnEnd;
    gz.OnRead = OnRead;
    gz.OnFileExists = OnFileExists;
    gz.OnNonWriteableArchive = OnNonWriteableArchive;
    gz.SetArchiveFile(ChangeFileExt(archiveFile_, gz.DefaultExt()));
    gz.FileSpec() = {archiveFile_};
    // Added, not moved: the TAR goes below, and only once its .tar.gz is
    // complete.
    gz.SetSwitch(swAdd);
    const std::string output = gz.OutputNameFor(archiveFile_);
    {
        // The gzip run is a run of its own inside this one.
        TZipCommon* running = RunningComponent();
        SetRunningComponent(nullptr);
        struct Restore {
            TZipCommon* r;
            ~Restore() { SetRunningComponent(r); }
        } restore{running};
        gz.Compress();
    }
    if (gz.Cancel()) cancel_ = true;
    if (gz.FilesAdded() == 1 && !gz.Cancel() && os::FileExists(output) && !os::FileDelete(archiveFile_))
        ReportError(archiveFile_, "", "0", 25169);
}

}  // namespace bramble
