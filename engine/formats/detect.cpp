// Archive-kind detection: what a name assigned to any component holds.
// Every byte looked at is bounded by what was actually read; a short file or
// a failed read simply ends as a kind, never as an exception.
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/dvxmain.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/formats/arj.h"
#include "engine/formats/bh.h"
#include "engine/formats/lha.h"
#include "engine/formats/zip.h"

namespace bramble {

namespace {

constexpr uint32_t kLocalSig = zip::kLocalSig;
constexpr uint32_t kCentralSig = zip::kCentralSig;
constexpr uint32_t kEndSig = zip::kEndSig;

// The first 4 bytes at p as a little-endian value, zeros past the end.
uint32_t Le32Bounded(const uint8_t* p, size_t available) {
    uint8_t b[4] = {0, 0, 0, 0};
    std::memcpy(b, p, std::min<size_t>(available, 4));
    return Le32(b);
}

// An ARC member header whose method the signature alone does not vouch for:
// a NUL-terminated printable name in its 13 bytes and a packed size that
// fits in the file.
bool PlausibleArcHeader(const uint8_t* h, size_t available, int64_t fileSize) {
    if (available < 2 + 13 + 4) return false;
    size_t n = 0;
    while (n < 13 && h[2 + n] != 0) {
        unsigned char c = h[2 + n];
        if (c < 0x21 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c > 0x7E) return false;
        ++n;
    }
    if (n == 0 || n == 13) return false;
    uint32_t packed = Le32(h + 15);
    int64_t headerSize = h[1] == 1 ? 25 : 29;
    return packed + headerSize <= fileSize;
}

}  // namespace

struct TdvxMain::Detector {
    TdvxMain& c;
    os::File f;
    std::vector<uint8_t> buf;  // what was read from the start of the file
    bool removable = false;

    explicit Detector(TdvxMain& owner) : c(owner) {}

    int64_t ReadAt(int64_t pos, void* out, int64_t count) {
        if (!f.Seek(pos)) return -1;
        return f.Read(out, count);
    }

    int64_t FindZipCentralDir();
    int64_t FindZipAfterStub();
    bool FindZipSfxStub();
    int64_t ScanSfxStub(int64_t start);
    bool ArjHeaderAt(int64_t pos);
    bool IsUUEncoded();
    bool IsTarHeader();
    void Run();
};

int64_t TdvxMain::Detector::FindZipCentralDir() {
    const int64_t size = c.arcFileSize_;
    c.zipHeadFlags_ = 0;
    const int64_t span = zip::EndSearchSpan(size, c.zipCmntBufSize_);
    std::vector<uint8_t> tail(static_cast<size_t>(span));
    const int64_t got = ReadAt(size - span, tail.data(), span);
    if (got != span) return 0;
    const std::optional<size_t> hit = zip::FindEndRecord(tail.data(), tail.size());
    if (!hit) return 0;
    std::memcpy(c.zipEndRecord_.data(), &tail[*hit], zip::kEndSize);
    c.zipHeadFlags_ |= 0x01;
    const uint32_t central = TZipEndRecord::Parse(c.zipEndRecord_.data()).CentralOffset;
    if (ReadAt(central, c.zipCentralRecord_.data(), zip::kCentralSize) != zip::kCentralSize) return 0;
    if (Le32(c.zipCentralRecord_.data()) != kCentralSig) return 0;
    c.zipHeadFlags_ |= 0x08;
    const uint32_t local = TZipCentralRecord::Parse(c.zipCentralRecord_.data()).LocalOffset;
    if (ReadAt(local, c.zipLocalRecord_.data(), zip::kLocalSize) != zip::kLocalSize) return 0;
    if (Le32(c.zipLocalRecord_.data()) != kLocalSig) return 0;
    c.zipHeadFlags_ |= 0x10;
    return central;
}

int64_t TdvxMain::Detector::FindZipAfterStub() {
    c.arcType_ = atUnknown;
    FindZipCentralDir();
    const uint32_t central = TZipEndRecord::Parse(c.zipEndRecord_.data()).CentralOffset;
    if (c.arcFileSize_ <= central || !(c.zipHeadFlags_ & 0x01)) return 0;
    uint8_t rec[46];
    if (central > 0 && ReadAt(central, rec, 46) == 46 && Le32(rec) == kCentralSig) return central;
    if (c.arcFileSize_ > 25000) {
        std::vector<uint8_t> block(32768);
        int64_t got = ReadAt(25000, block.data(), 32768);
        for (int64_t i = 0; i + 4 <= got; ++i) {
            if (block[static_cast<size_t>(i)] == 'P' && Le32(&block[static_cast<size_t>(i)]) == kLocalSig) {
                c.zipHeadFlags_ = 0x10;
                return i + 25000;
            }
        }
    }
    return 0;
}

bool TdvxMain::Detector::FindZipSfxStub() {
    c.arcType_ = atZipExe;
    for (int64_t offset : {int64_t{7612}, int64_t{15770}, int64_t{25661}}) {
        if (c.arcFileSize_ <= offset + 4) continue;
        uint8_t sig[4];
        if (!f.Seek(offset)) break;
        if (f.Read(sig, 4) == 4 && Le32(sig) == kLocalSig) {
            c.arcOffset_ = offset;
            if (offset != 25661) c.zipHeadFlags_ = 0x10;
            return true;
        }
    }
    c.arcType_ = atNA;
    return false;
}

int64_t TdvxMain::Detector::ScanSfxStub(int64_t start) {
    c.arcType_ = atUnknown;
    if (c.arcFileSize_ <= start) return 0;
    if (!f.Seek(start)) return 0;
    const int64_t size = c.arcFileSize_;
    // Blocks overlap by 7 bytes so a signature across a boundary is seen.
    constexpr int64_t kBlock = 32768, kLook = 8;
    std::vector<uint8_t> block(kBlock + kLook);
    for (int b = 0; b < 6; ++b) {
        int64_t base = start + kBlock * b;
        int64_t got = ReadAt(base, block.data(), kBlock + kLook);
        if (got <= 0) break;
        int64_t limit = std::min(got, kBlock);
        for (int64_t i = 0; i < limit; ++i) {
            const uint8_t* p = &block[static_cast<size_t>(i)];
            size_t avail = static_cast<size_t>(got - i);
            int64_t pos = base + i;
            auto at = [&](size_t k) -> int { return k < avail ? p[k] : -1; };
            switch (*p) {
                case 'P':
                    if (avail >= 4 && Le32(p) == kLocalSig &&
                        !(avail >= 8 && Le32(p + 4) == 0x003D0B74)) {
                        c.arcType_ = atZipExe;
                        int64_t central = FindZipCentralDir();
                        return central != 0 ? central : pos;
                    }
                    break;
                case '*':
                    if (pos + 5 < size && at(1) == '*' && at(2) == 'A' && at(3) == 'C' && at(4) == 'E') {
                        c.arcType_ = atAceExe;
                        return pos - 6;
                    }
                    break;
                case '-':
                    if (pos + 5 < size && avail >= 5 && lha::IsLhMethod(reinterpret_cast<const char*>(p))) {
                        c.arcType_ = atLhaExe;
                        return pos - 1;
                    }
                    break;
                case 'B':
                    if (bh::LooksLikeHeader(p, avail)) {
                        c.arcType_ = atBhExe;
                        return pos + 1;
                    }
                    break;
                case 'R':
                    if (avail >= 4 && std::memcmp(p, "Rar!", 4) == 0) {
                        c.arcType_ = atRarExe;
                        return pos + 1;
                    }
                    break;
                case '`':
                    if (avail >= 4 && Le16(p) == 0xEA60 && Le16(p + 2) != 0 && ArjHeaderAt(pos)) {
                        c.arcType_ = atArjExe;
                        return pos + 1;
                    }
                    break;
                default:
                    break;
            }
        }
        if (got < kBlock) break;
    }
    return 0;
}

// Two bytes of an ARJ signature turn up in any program's code (the program
// this engine writes in front of its own self-extractors holds them): only
// a whole basic header whose CRC-32 holds is taken for an ARJ archive.
bool TdvxMain::Detector::ArjHeaderAt(int64_t pos) {
    return arj::HeaderAt([this](int64_t o, void* b, int64_t n) { return ReadAt(o, b, n); }, pos);
}

bool TdvxMain::Detector::IsUUEncoded() {
    size_t count = std::min<size_t>(buf.size(), 2500);
    for (size_t i = 0; i + 6 <= count; ++i) {
        if ((i == 0 || buf[i - 1] == '\n') && std::memcmp(&buf[i], "begin ", 6) == 0) {
            c.arcType_ = atUue;
            c.arcOffset_ = 1;
            return true;
        }
    }
    return false;
}

bool TdvxMain::Detector::IsTarHeader() {
    if (c.arcFileSize_ <= 512) return false;
    auto checksumOk = [](const uint8_t* h) {
        int64_t stored = OctalToInt(std::string_view(reinterpret_cast<const char*>(h + 148), 8));
        int64_t sum = 0;
        for (int i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? 32 : h[i];
        return sum == stored;
    };
    uint8_t label[512];
    if (ReadAt(0, label, 512) != 512) return false;
    if (label[156] == 'V' && c.arcFileSize_ >= 1024) {
        // The entries start after the volume label. An archive holding only
        // a label (its next block is the end marker) is still a TAR.
        uint8_t h[512];
        c.arcOffset_ = 513;
        if (ReadAt(512, h, 512) == 512 && checksumOk(h)) {
            c.arcType_ = atTar;
            return true;
        }
        if (checksumOk(label)) {
            c.arcType_ = atTar;
            return true;
        }
    } else if (checksumOk(label)) {
        c.arcType_ = atTar;
        return true;
    }
    c.arcOffset_ = 1;
    return false;
}

void TdvxMain::Detector::Run() {
    c.arcType_ = atFileOpenErr;
    c.RefreshArchiveDrive();
    removable = c.diskManager_->DriveType() == os::dtRemovable;
    if (!f.Open(c.archiveFile_, os::OpenMode::Read)) return;

    c.arcOffset_ = 1;
    c.arcFileSize_ = f.Size();
    c.zipHeadFlags_ = 0;
    if (c.arcFileSize_ < 0) return;
    if (c.arcFileSize_ <= 19) {
        // Too short for any archive but a compress file, whose smallest
        // (a few bytes of a short text) is only its magic, flags and codes.
        uint8_t head[3];
        if (c.arcFileSize_ >= 3 && ReadAt(0, head, 3) == 3 && Le16(head) == 0x9D1F) c.arcType_ = atGZip;
        return;
    }

    buf.resize(32767);
    int64_t got = ReadAt(0, buf.data(), 32767);
    if (got < 0) return;
    buf.resize(static_cast<size_t>(got));
    const size_t n = buf.size();
    auto aceAt7 = [&] { return n >= 14 && std::memcmp(&buf[7], "**ACE**", 7) == 0; };

    if (n >= 2 && buf[0] == 0x4D && buf[1] == 0x5A) {
        // An executable: a self-extractor, or just a program.
        c.arcType_ = atUnknown;
        if (n >= 4 && Le16(&buf[2]) == 0x0050) return;
        if (FindZipSfxStub()) return;
        c.arcOffset_ = ScanSfxStub(17000);
        if (IsValidArcType(c.arcType_)) return;

        int64_t image = n >= 6 ? (int64_t{Le16(&buf[4])} - 1) * 512 + Le16(&buf[2]) : 0;
        if (image > 0 && image + 4 < c.arcFileSize_) {
            uint8_t sig[64] = {};
            if (!f.Seek(image)) {
                c.arcType_ = atFileOpenErr;
                return;
            }
            if (f.Read(sig, 4) == 4) {
                c.arcOffset_ = image + 1;
                if (Le16(sig + 2) == 0xEA60) c.arcOffset_ += 2;
                if (c.arcOffset_ + 4 < c.arcFileSize_) {
                    if (!f.Seek(c.arcOffset_ - 1)) return;
                    int64_t got2 = f.Read(sig, sizeof sig);
                    if (got2 >= 4 && Le32(sig) != kLocalSig) {
                        c.arcType_ = c.ClassifySignature(true, sig, static_cast<size_t>(got2), c.arcOffset_,
                                                         Le32(sig));
                        // A known signature that cannot be handled behind a
                        // stub is an answer too; searching on would only
                        // turn it into "unknown".
                        if (IsValidArcType(c.arcType_) || c.arcType_ == atUnsupported) return;
                    }
                }
            }
        }
        std::memset(c.zipEndRecord_.data(), 0, 4);
        if (!IsValidArcType(c.arcType_)) {
            c.arcOffset_ = FindZipCentralDir();
            if (c.arcOffset_ > 0) {
                c.arcType_ = atZipExe;
                return;
            }
            if (Le32(c.zipEndRecord_.data()) == kEndSig) {
                c.arcOffset_ = FindZipAfterStub();
                if (c.arcOffset_ > 0) c.arcType_ = atZipExe;
                return;
            }
        }
        c.arcOffset_ = ScanSfxStub(17000);
        return;
    }

    // A plain file: the kind from its first signature.
    size_t zeros = 0;
    if (n > 0 && buf[0] == 0)
        while (zeros < n && buf[zeros] == 0) ++zeros;
    uint32_t sig = Le32Bounded(&buf[std::min(zeros, n)], n - std::min(zeros, n));
    c.arcType_ = c.ClassifySignature(false, buf.data() + std::min(zeros, n), n - std::min(zeros, n),
                                     c.arcOffset_, sig);

    if (c.arcType_ == atJar || c.arcType_ == atZip || c.arcType_ == atZipExe) {
        c.arcOffset_ = FindZipCentralDir();
        if (c.arcOffset_ == 0) {
            c.arcOffset_ = static_cast<int64_t>(zeros);
            c.zipHeadFlags_ |= 0x10;
        }
        if (removable && !(c.zipHeadFlags_ & 0x01)) c.arcType_ = atZipMV;
    } else if (c.arcType_ != atZipMV) {
        if (aceAt7()) c.arcType_ = atACE;
    }
    if (IsValidArcType(c.arcType_)) return;

    if (removable && c.diskManager_->DiskNumber() > 0) {
        c.arcOffset_ = FindZipCentralDir();
        if (c.zipHeadFlags_ < 0x10) c.arcType_ = atZipMV;
    } else if (aceAt7()) {
        c.arcType_ = atACE;
    } else if (IsUUEncoded() || IsTarHeader()) {
        // the kind is set
    } else {
        c.arcOffset_ = FindZipCentralDir();
        if ((c.zipHeadFlags_ & 0x11) == 0x11)
            c.arcType_ = atZip;
        else if (removable && !(c.zipHeadFlags_ & 0x10) && (c.zipHeadFlags_ & 0x01))
            c.arcType_ = atZipMV;
    }
}

TArcType TdvxMain::ClassifySignature(bool InSfx, const uint8_t* Header, size_t Available, int64_t& Offset,
                                     uint32_t S) {
    const uint16_t lo = S & 0xFFFF, hi = S >> 16;
    const bool removable = diskManager_->DriveType() == os::dtRemovable;
    auto pick = [InSfx](TArcType plain, TArcType sfx) { return InSfx ? sfx : plain; };

    if (lo == 0x4B50 && hi == 0x0807) {
        RefreshArchiveDrive();
        zipHeadFlags_ |= 0x10;
        return diskManager_->DriveType() == os::dtRemovable ? atZipMV : atZip;
    }
    if (lo == 0x4B50 && hi == 0x0201) {
        if (!removable) return atNA;
        Detector d(*this);
        if (d.f.Open(archiveFile_, os::OpenMode::Read)) d.FindZipCentralDir();
        return atZipMV;
    }
    if (lo == 0x4B50 && hi == 0x3447) return atNA;
    if (lo == 0x4B50) return pick(atZip, atZipExe);
    if (S == 0x4643534D) return pick(atCab, atUnsupported);  // "MSCF"
    if (S == bh::kSignature) return pick(atBh, atBhExe);
    if (S == 0x8C655D13) return pick(atMsGZ, atUnsupported);
    if (lo == 0x4148) return pick(atHa, atUnsupported);
    if (lo == 0x8B1F || lo == 0x9D1F || lo == 0x9E1F || lo == 0x1E1F || lo == 0x2125 || lo == 0xA01F)
        return pick(atGZip, atUnsupported);
    if (lo == arj::kHeaderId) return pick(atArj, atArjExe);
    if (lo == 0x4F5A) return pick(atZoo, atUnsupported);
    if (lha::LooksLikeStart(S)) return pick(atLha, atLhaExe);
    if (S == 0x21726152) return pick(atRar, atRarExe);  // "Rar!"
    if (lo == 0x0A1A || lo == 0x0B1A) return pick(atPak, atPakExe);
    if (lo == 0x1E1A || lo == 0x021A) return pick(atArc, atUnsupported);
    if (lo == 0x081A || lo == 0x091A) return pick(atArc, atArcExe);
    // The arc program itself starts an archive with whatever method suited
    // the first member (stored, packed, squeezed, crunched); those methods
    // carry no distinctive signature, so the header must look like one.
    if ((lo & 0xFF) == 0x1A) {
        unsigned method = lo >> 8;
        if (method >= 1 && method <= 7 && PlausibleArcHeader(Header, Available, arcFileSize_))
            return pick(atArc, atArcExe);
    }
    if (lo == 0x92B7 || lo == 0xDFB7) {
        Offset = 7717;
        return atArcExe;
    }
    return atUnknown;
}

void TdvxMain::DetectArcType() {
    if (archiveFile_.empty()) {
        arcType_ = atNA;
        return;
    }
    {
        Detector d(*this);
        d.Run();
    }  // the file is closed here, before its date is asked
    if (IsValidArcType(arcType_)) {
        if (arcType_ == atZip && UpperCase(ExtractFileExt(archiveFile_)) == ".JAR") arcType_ = atJar;
        os::FileTimes times;
        arcFileDate_ = os::GetTimes(archiveFile_, times) ? static_cast<int>(FileTimeToDosDate(times.lastWrite))
                                                        : 29221;
    } else {
        arcFileDate_ = 29221;
    }
}

}  // namespace bramble
