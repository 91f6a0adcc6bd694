#include "engine/lister/dovex.h"

#include <algorithm>
#include <cstring>

#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

TDovex::TDovex(TComponent* AOwner) : TZipCommon(AOwner) { zipCmntBufSize_ = 32000; }

// ---- shared by the walks --------------------------------------------------------

int64_t TDovex::ReadCached(int64_t offset, void* buffer, int64_t count) {
    constexpr int64_t kWindow = 65536;
    if (count <= 0 || offset < 0) return 0;
    if (count > kWindow / 2) {
        if (!inFile_.Seek(offset)) return 0;
        const int64_t got = inFile_.Read(buffer, count);
        return got < 0 ? 0 : got;
    }
    // The window belongs to the file it was read from: volumes and
    // cabinets of a set are opened in turn under other names.
    const bool held = windowAt_ >= 0 && offset >= windowAt_ && offset + count <= windowAt_ + windowLen_ &&
                      windowFile_ == inFile_.FileName();
    if (!held) {
        windowAt_ = -1;
        window_.resize(static_cast<size_t>(kWindow));
        if (!inFile_.Seek(offset)) return 0;
        const int64_t got = inFile_.Read(window_.data(), kWindow);
        if (got <= 0) return 0;
        windowAt_ = offset;
        windowLen_ = got;
        windowFile_ = inFile_.FileName();
    }
    const int64_t n = std::min(count, windowAt_ + windowLen_ - offset);
    std::memcpy(buffer, &window_[static_cast<size_t>(offset - windowAt_)], static_cast<size_t>(n));
    return n;
}

bool TDovex::ReadAt(int64_t offset, void* buffer, int64_t count) {
    if (count < 0 || offset < 0) return false;
    if (count == 0) return true;
    return ReadCached(offset, buffer, count) == count;
}

int64_t TDovex::ReadUpTo(int64_t offset, void* buffer, int64_t count) {
    return ReadCached(offset, buffer, count);
}

std::string TDovex::ConvertStoredName(const std::string& raw, bool lhaSeparators) {
    // Printable ASCII is the same in the OEM and the ANSI code page: only
    // the separators change.
    if (std::all_of(raw.begin(), raw.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) {
        std::string out = raw;
        std::replace(out.begin(), out.end(), '/', '\\');
        return out;
    }
    // Convert run by run so the second byte of a Shift-JIS pair, which may
    // look like a separator or an OEM letter, is kept as it is.
    std::string out;
    std::string run;
    auto flush = [&] {
        if (!run.empty()) out += OemToAnsiName(run);
        run.clear();
    };
    for (size_t i = 0; i < raw.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(raw[i]);
        bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        if (lhaSeparators && c == 0xFF) {
            flush();
            out.push_back('\\');
        } else if (lhaSeparators && lead && i + 1 < raw.size()) {
            flush();
            out.push_back(raw[i]);
            out.push_back(raw[++i]);
        } else {
            run.push_back(static_cast<char>(c));
        }
    }
    flush();
    return out;
}

std::string TDovex::ReadStoredName(int64_t offset, int64_t length) {
    length = std::min<int64_t>(length, 2500);
    if (length <= 0) return {};
    std::string raw(static_cast<size_t>(length), '\0');
    raw.resize(static_cast<size_t>(ReadUpTo(offset, raw.data(), length)));
    return ConvertStoredName(raw);
}

bool TDovex::ListEntry(int64_t offset, bool testSpec, bool count) {
    if (OnReadFile) OnReadFile(this, EntryInfo.FileName);
    if (testSpec && !MatchesFileSpec(EntryInfo.FileName, false)) return false;
    EntryInfo.Ratio = CalcRatio(EntryInfo.PackedSize, EntryInfo.UnpackedSize);
    if (scanMode_ == smCollect) {
        collected_.push_back(EntryInfo.FileName);
        return true;
    }
    if (count) {
        ++fileCount_;
        totalPacked_ += EntryInfo.PackedSize;
        // Unpacked sizes are only what the headers say (a TAR sparse file's
        // real size is backed by no data): the total saturates.
        const int64_t u = EntryInfo.UnpackedSize;
        totalUnpacked_ = u > 0 && totalUnpacked_ > INT64_MAX - u   ? INT64_MAX
                         : u < 0 && totalUnpacked_ < INT64_MIN - u ? INT64_MIN
                                                                   : totalUnpacked_ + u;
    }
    if (scanMode_ == smLookup) {
        found_ = true;
        EndScan();
        return true;
    }
    if (OnReadBegin) OnReadBegin(this);
    if (OnRead) OnRead(this, ClampToInt(offset), fileCount_);
    if (OnReadEnd) OnReadEnd(this);
    return true;
}

bool TDovex::MoveToNextVolume(std::string& VolumeName) {
    if (!OpenNextVolume(VolumeName)) {
        SetCancelQuietly(true);
        return false;
    }
    // Offsets count in the new file from here on: the loop must not take
    // the smaller one for a step backwards.
    volumeChanged_ = true;
    scanEnd_ = arcFileSize_;
    return true;
}

// ---- the run ----------------------------------------------------------------------

bool TDovex::ReadArchive() {
    if (archiveFile_.empty()) return false;
    if (!os::FileExists(archiveFile_)) RaiseError(archiveFile_, "", "0", 25172);
    if (!OnRead && scanMode_ == smList) RaiseError(archiveFile_, "OnRead", "0", 25270);
    if (arcType_ == atNA || arcType_ == atUnknown) RaiseError(archiveFile_, "", "0", 25327);
    if (arcType_ == atFileOpenErr) RaiseError(archiveFile_, "", "0", 25172);

    // The lister reports no progress.
    TSwapGuard<decltype(ProgressHook)> noProgress(ProgressHook, nullptr);
    fileCount_ = 0;
    totalPacked_ = totalUnpacked_ = 0;
    totalRatio_ = 0;
    found_ = false;
    EntryInfo.Clear();

    inFile_.Close();
    windowAt_ = -1;
    if (!inFile_.Open(archiveFile_, os::OpenMode::Read)) RaiseError(archiveFile_, "", "0", 25236);
    arcFileSize_ = inFile_.Size();
    if (arcFileSize_ < 0) {
        inFile_.Close();
        RaiseError(archiveFile_, "", "0", 25236);
    }

    // Whatever way the walk ends, the file is closed and the state reset.
    struct Cleanup {
        TDovex& d;
        ~Cleanup() {
            d.hdr_.clear();
            d.hdr_.shrink_to_fit();
            d.window_.clear();
            d.window_.shrink_to_fit();
            d.windowAt_ = -1;
            d.msgzDirs_.clear();
            d.headerSize_ = 0;
            d.scanPos_ = 1;
            d.next_ = 0;
            if (d.inFile_.IsOpen() && !d.inFile_.Close()) {
                try {
                    d.ReportError(d.archiveFile_, "", "0", 25137);
                } catch (...) {
                }
            }
        }
    };
    {
        Cleanup cleanup{*this};  // runs after the run's OnDeactivate
        TRunScope run(*this);
        Scan();
        timer_.Stop();
        if (OnTotals) {
            totalRatio_ = CalcRatio(totalPacked_, totalUnpacked_);
            OnTotals(this, fileCount_);
        }
    }
    return true;
}

void TDovex::Scan() {
    headerSize_ = 0;
    scanPos_ = arcOffset_ < 1 ? 1 : arcOffset_;
    scanEnd_ = arcFileSize_;
    SetupFirstHeader();
    scanEnd_ = arcFileSize_;

    next_ = scanPos_ - 1;
    // A header that ends exactly at the end of the file is still whole.
    while (headerSize_ > 0 && next_ + headerSize_ <= scanEnd_ && !cancel_) {
        os::ProcessMessages();
        const int64_t at = next_;
        scanPos_ = at + 1;
        hdr_.assign(static_cast<size_t>(headerSize_), 0);
        if (!inFile_.IsOpen()) RaiseError(archiveFile_, "", "0", 25236);
        hdrRead_ = ReadCached(at, hdr_.data(), headerSize_);
        if (hdrRead_ <= 0) break;
        next_ = at + hdrRead_;
        volumeChanged_ = false;
        ParseHeader();
        // Every header must move the walk on: a chain pointing back or to
        // itself would never end.
        if (!volumeChanged_ && next_ <= at && next_ < scanEnd_) break;
    }
}

void TDovex::SetupFirstHeader() {
    switch (arcType_) {
        case atJar: case atJarExe: case atZip: case atZipExe: case atZipMV: SetupZip(); break;
        case atTar: SetupTar(); break;
        case atGZip: SetupGZip(); break;
        case atUue: SetupUue(); break;
        case atCab: SetupCab(); break;
        case atMsGZ: SetupMsGZ(); break;
        case atLha: case atLhaExe: case atLzh: case atLzhExe: SetupLha(); break;
        case atBh: case atBhExe: SetupBh(); break;
        case atArj: case atArjExe: SetupArj(); break;
        case atArc: case atArcExe: case atPak: case atPakExe: SetupArc(); break;
        case atZoo: SetupZoo(); break;
        case atHa: SetupHa(); break;
        case atRar: case atRarExe: SetupRar(); break;
        case atACE: case atAceExe: SetupAce(); break;
        default: headerSize_ = 0; break;
    }
}

void TDovex::ParseHeader() {
    switch (arcType_) {
        case atJar: case atJarExe: case atZip: case atZipExe: case atZipMV: ParseZip(); break;
        case atTar: ParseTar(); break;
        case atGZip: ParseGZip(); break;
        case atCab: ParseCab(); break;
        case atMsGZ: ParseMsGZ(); break;
        case atLha: case atLhaExe: case atLzh: case atLzhExe: ParseLha(); break;
        case atBh: case atBhExe: ParseBh(); break;
        case atArj: case atArjExe: ParseArj(); break;
        case atArc: case atArcExe: case atPak: case atPakExe: ParseArc(); break;
        case atZoo: ParseZoo(); break;
        case atHa: ParseHa(); break;
        case atRar: case atRarExe: ParseRar(); break;
        case atACE: case atAceExe: ParseAce(); break;
        default: EndScan(); break;
    }
}

// ---- silent scans -----------------------------------------------------------------

namespace {

// Runs a scan with the six list events silenced, restoring them on every
// way out.
template <typename F>
void Silently(TDovex& d, F&& body) {
    TSwapGuard<TNotifyEvent> g1(d.OnReadBegin, nullptr);
    TSwapGuard<TOnRead> g2(d.OnRead, nullptr);
    TSwapGuard<TNotifyEvent> g3(d.OnReadEnd, nullptr);
    TSwapGuard<TNotifyEvent> g4(d.OnActivate, nullptr);
    TSwapGuard<TNotifyEvent> g5(d.OnDeactivate, nullptr);
    TSwapGuard<TOnTotals> g6(d.OnTotals, nullptr);
    body();
}

}  // namespace

bool TDovex::FindEntryInfo(const std::string& Name) {
    if (Name.empty() || archiveFile_.empty() || !IsValidArcType(arcType_)) return false;
    TSwapGuard<std::vector<std::string>> spec(fileSpec_, {Name});
    TSwapGuard<int> mode(scanMode_, smLookup);
    // A look-up passes over one entry: the listing's counts and totals,
    // which the window shows, stay those of the whole archive.
    TSwapGuard<int> count(fileCount_, fileCount_);
    TSwapGuard<int64_t> packed(totalPacked_, totalPacked_);
    TSwapGuard<int64_t> unpacked(totalUnpacked_, totalUnpacked_);
    TSwapGuard<uint8_t> ratio(totalRatio_, totalRatio_);
    found_ = false;
    Silently(*this, [&] { ReadArchive(); });
    return found_;
}

std::vector<std::string> TDovex::CollectNames() {
    collected_.clear();
    if (archiveFile_.empty() || !IsValidArcType(arcType_)) return {};
    TSwapGuard<int> mode(scanMode_, smCollect);
    Silently(*this, [&] { ReadArchive(); });
    return std::move(collected_);
}

}  // namespace bramble
