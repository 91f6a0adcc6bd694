// The lister's single-entry kinds: gzip (and its older relatives, among
// them the compress format), and UU/XX-encoded text.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/codecs/unlzw.h"
#include "engine/core/messages.h"
#include "engine/formats/gzip.h"

namespace bramble {

// The header step is gzip's fixed header, or the whole of a compress file
// shorter than that.
void TDovex::SetupGZip() { headerSize_ = std::clamp<int64_t>(scanEnd_ - (scanPos_ - 1), 3, 10); }

namespace {

class ByteCounter final : public TLzwSink {
public:
    void Put(const uint8_t*, size_t Count) override { bytes += static_cast<int64_t>(Count); }
    void Flush() override {}
    int64_t bytes = 0;
};

}  // namespace

// A compress file keeps no size of what it holds: the codes from Start to
// the end of the file are decoded and only counted. Corrupt codes end the
// count where they stand; the reader reports them when the file is tested
// or extracted.
int64_t TDovex::CountCompressOutput(int64_t Start, uint8_t Flags) {
    const int maxBits = Flags & 0x1F;
    if ((Flags & 0x60) || maxBits < 9 || maxBits > 16 || Start >= scanEnd_) return 0;
    ByteCounter counter;
    int64_t pos = Start;
    const TReadHook saved = ReadHook;
    ReadHook = [this, &pos](TStream*, int64_t Count, int, bool, uint8_t* Buffer) {
        const int64_t got = ReadUpTo(pos, Buffer, Count);
        if (got > 0) pos += got;
        return got;
    };
    try {
        LzwDecodeCodes(*this, scanEnd_ - Start, maxBits, (Flags & 0x80) != 0, counter);
    } catch (const E_RAISE&) {
    }
    ReadHook = saved;
    return counter.bytes;
}

void TDovex::ParseGZip() {
    const int64_t at = scanPos_ - 1;
    const uint8_t* h = hdr_.data();
    EndScan();  // one member, whatever follows
    const uint16_t sig = Le16(h);
    // A compress file's header is its magic and one flags byte; the
    // smallest holds nothing more.
    if (hdrRead_ < (sig == 0x9D1F ? 3 : 10) || !IsGZipSignature(sig)) return;

    std::string stored;
    const TDateTime archiveDate = FileDateToDateTime(static_cast<uint32_t>(arcFileDate_));
    EntryInfo.Encrypted = false;
    EntryInfo.CRC = 0;
    EntryInfo.PackedSize = scanEnd_;
    EntryInfo.UnpackedSize = scanEnd_;
    EntryInfo.DateTime = archiveDate;
    if (gzip::IsGzipMagic(h)) {
        gzip::THeader g;
        gzip::ReadHeader(at, scanEnd_, [this](int64_t pos, uint8_t* out, int64_t n) { return ReadUpTo(pos, out, n); },
                         g);
        stored = g.Name;
        uint8_t b[gzip::kTrailerSize] = {};
        const bool trailer = scanEnd_ - at >= gzip::kMinMember && ReadAt(scanEnd_ - gzip::kTrailerSize, b, 8);
        const gzip::TTrailer t = gzip::ParseTrailer(b);
        EntryInfo.CRC = trailer ? t.CRC : 0;
        EntryInfo.UnpackedSize = trailer ? t.Size : 0;
        EntryInfo.PackedSize = std::max<int64_t>(0, scanEnd_ - g.DataStart - gzip::kTrailerSize);
        EntryInfo.Encrypted = (g.Flags & gzip::kFEncrypted) != 0;
        // MTIME 0 means no time was stored; the file's own date stands in,
        // as when the member is extracted.
        if (g.MTime != 0) EntryInfo.DateTime = UnixToDateTime(g.MTime);
    } else if (sig == 0x9D1F) {
        EntryInfo.PackedSize = std::max<int64_t>(0, scanEnd_ - at - 3);
        EntryInfo.UnpackedSize = CountCompressOutput(at + 3, h[2]);
    }
    EntryInfo.FileName = !stored.empty() ? ConvertStoredName(stored)
                                         : ChangeFileExt(ExtractFileName(archiveFile_), "");
    EntryInfo.MethodCode = h[2];
    // The compress format keeps its flags (code width, block mode) where
    // gzip keeps the method; every width is the same LZW method.
    EntryInfo.MethodName = CompressMethodName(sig == 0x9D1F ? 144 : h[2], sig);
    EntryInfo.VersionMadeBy = 0;
    EntryInfo.VersionNeeded = 0;
    uint32_t attr = os::GetAttributes(archiveFile_);
    if (attr == os::kInvalidAttributes || attr == 63 || attr == 128) attr = 0;
    EntryInfo.Attr = static_cast<uint16_t>(attr);
    EntryInfo.ExternalAttr = attr;

    // Always the one entry, counted before anyone hears of it; only a
    // look-up asks whether its name is the one wanted.
    ++fileCount_;
    totalPacked_ += EntryInfo.PackedSize;
    totalUnpacked_ += EntryInfo.UnpackedSize;
    ListEntry(at, scanMode_ == smLookup, false);
}

void TDovex::SetupUue() {
    headerSize_ = 0;
    std::vector<char> text(32768);
    text.resize(static_cast<size_t>(ReadUpTo(0, text.data(), static_cast<int64_t>(text.size()))));
    const size_t n = text.size();
    size_t i = 0;
    for (; i + 6 <= n; ++i)
        if ((i == 0 || text[i - 1] == '\n') && std::memcmp(&text[i], "begin ", 6) == 0) break;
    if (i + 6 > n) return;

    // "begin MODE NAME": the name runs to the end of the line or a blank.
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    auto eol = [](char c) { return c == '\r' || c == '\n'; };
    size_t p = i + 6;
    while (p < n && blank(text[p])) ++p;
    while (p < n && !blank(text[p]) && !eol(text[p])) ++p;
    while (p < n && blank(text[p])) ++p;
    std::string name;
    while (p < n && !blank(text[p]) && !eol(text[p]) && name.size() < 255) name.push_back(text[p++]);

    EntryInfo.Clear();
    EntryInfo.FileName = name;
    EntryInfo.DateTime = FileDateToDateTime(static_cast<uint32_t>(arcFileDate_));
    EntryInfo.PackedSize = arcFileSize_;
    EntryInfo.UnpackedSize = arcFileSize_;
    EntryInfo.Attr = 32;
    EntryInfo.ExternalAttr = 32;
    EntryInfo.MethodName = CompressMethodName(0, 0);
    ListEntry(0, scanMode_ == smLookup, true);
}

}  // namespace bramble
