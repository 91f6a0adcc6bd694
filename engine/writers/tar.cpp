#include "engine/writers/tar.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/formats/tar.h"
#include "engine/writers/gzip.h"

namespace bramble {

namespace {

constexpr int64_t kMaxOctal11 = 077777777777LL;  // the largest size or time a 12-byte field holds

// The name the entry list knows an old entry by: the stored path with '\'
// separators, without the "./" that "tar cf x.tar ." puts in front.
std::string ListName(const std::string& stored) {
    std::string name = SlashToBackslash(stored);
    while (name.size() > 2 && name[0] == '.' && name[1] == '\\') name.erase(0, 2);
    return name;
}

}  // namespace

TTar::TTar(TComponent* AOwner) : TCompBase(AOwner) {
    headerSize_ = 512;
    InitDefaultExt(".TAR");
    allowedMethods_ = {cmTarred, cmGzipTar};
    compressMethod_ = cmTarred;
    arcType_ = atTar;
}

void TTar::SetArcType(TArcType) {
    arcType_ = atTar;
    arcOffset_ = 1;
    if (!ComponentState().contains(csLoading)) AddDefaultExt();
}

bool TTar::CompressFile() {
    static const uint8_t zeros[512] = {};
    THeadObject& e = *current_;
    if (!OpenInputFile(e.SourcePath)) return false;
    // Seconds since 1970 in UTC, as every TAR reader takes them: a local
    // count with a fixed offset would put every entry hours off for them.
    // The time the gathering found is the file's own: asking the system
    // again would cost a call per file for the same answer.
    const bool ownTime = DateAttribute() == daFileDate && e.FoundWrite != 0;
    const int64_t mtime = FileTimeToUnixSeconds(ownTime ? e.FoundWrite : SourceFileTime(*this, e.SourcePath));
    std::string FN = OemToAnsiName(e.Name);
    if (!DoFileBegin(FN, currentIndex_ + 1)) return false;

    // The name field holds 99 bytes and its NUL; a longer name is refused
    // rather than cut into a different one.
    const std::string stored = BackslashToSlash(AnsiToOemName(FN));
    if (stored.empty() || stored.size() > 99) return RefuseFile(FN, 25243);
    // Nothing is written for a file the size field cannot hold.
    int64_t size = 0;
    if (!SourceSizeWithin(FN, kMaxOctal11, size)) return false;
    const std::string header = tar::MakeHeader(stored, size, std::min<int64_t>(mtime, kMaxOctal11));
    e.Offset = tempArchive_->Position();
    CompressWriteHook(tempArchive_.get(), false, 512, 0, false, reinterpret_cast<const uint8_t*>(header.data()));
    StoreData(inputFile_, *tempArchive_, size);
    if (size % 512 != 0) CompressWriteHook(tempArchive_.get(), false, 512 - size % 512, 0, false, zeros);

    e.Header.assign(header.begin(), header.end());
    e.PackedSize = e.UnpackedSize = size;
    e.Crc = static_cast<uint32_t>(tar::StoredChecksum(e.Header.data()));
    e.DosDate = UnixSecondsToDosDate(mtime);
    e.Attr = 0x20;
    if (OnEnd) OnEnd(this, FN, e.Crc >= 1);
    return true;
}

bool TTar::NextEntry(TStream& Archive, int64_t& Pos, THeadObject& Entry, int64_t& MTime) {
    const int64_t end = Archive.Size();
    tar::TWalker walk(Pos, end, [&Archive](int64_t at, uint8_t* out, int64_t n) {
        return at >= 0 && Archive.Seek(at) ? Archive.Read(out, n) : int64_t{-1};
    });
    // Each step is a walker of its own: the global headers' defaults go on
    // from the last one.
    if (Pos == 0) paxGlobals_ = {};
    walk.SetGlobals(paxGlobals_);
    tar::TWalkEntry e;
    // Damaged blocks are passed over as the reader does; they do not go
    // into the new archive. A truncated last entry ends the walk.
    if (Pos < 0 || walk.Next(e) != tar::TWalker::Step::Entry || e.Cut) return false;
    paxGlobals_ = walk.Globals();
    const uint8_t* h = e.Header.data();
    Entry = THeadObject();
    Entry.Name = ListName(e.Name);
    // The lister shows the header's own name field, trimmed: a delete
    // names the entry that way.
    if (const std::string listed = tar::ListedName(h); SlashToBackslash(listed) != Entry.Name) Entry.RawName = listed;
    Entry.Header.assign(h, h + tar::kBlock);
    Entry.Offset = e.Start;
    Entry.CopySize = std::min(e.Next, end) - e.Start;
    Entry.PackedSize = Entry.UnpackedSize = e.Size;
    Entry.Crc = static_cast<uint32_t>(tar::StoredChecksum(h));
    MTime = e.MTime;
    Entry.DosDate = UnixSecondsToDosDate(MTime);
    Entry.Attr = 0x20;
    Entry.State = THeadObject::hsKept;
    Pos = e.Next;
    return true;
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
    EntryInfo.DateTime = DosDateToDateTime(UnixSecondsToDosDate(MTime));
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
    // The two zero blocks POSIX ends an archive with: what follows the last
    // entry (a tape's next file, a block device's slack) is then never
    // read as more entries.
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
