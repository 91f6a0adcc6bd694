// The lister's single-entry kinds: gzip (and its older relatives, among
// them the compress format), and UU/XX-encoded text.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/dovex.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

namespace {


}  // namespace

void TDovex::SetupGZip() { headerSize_ = 10; }

void TDovex::ParseGZip() {
    const int64_t at = scanPos_ - 1;
    const uint8_t* h = hdr_.data();
    EndScan();  // one member, whatever follows
    const uint16_t sig = Le16(h);
    if (hdrRead_ < 10 || !IsGZipSignature(sig)) return;

    // Finds the NUL ending a text field at pos and moves pos past it; the
    // first `keep` bytes of the text go to *text. False when the file ends
    // first.
    auto zstring = [&](int64_t& pos, std::string* text, size_t keep) {
        char block[4096];
        for (;;) {
            const int64_t got = ReadUpTo(pos, block, sizeof block);
            if (got <= 0) return false;
            const char* nul = static_cast<const char*>(std::memchr(block, 0, static_cast<size_t>(got)));
            const int64_t n = nul ? nul - block : got;
            if (text && text->size() < keep)
                text->append(block, static_cast<size_t>(std::min<int64_t>(n, keep - text->size())));
            pos += n;
            if (nul) {
                ++pos;
                return true;
            }
        }
    };

    std::string stored;
    const TDateTime archiveDate = FileDateToDateTime(static_cast<uint32_t>(arcFileDate_));
    EntryInfo.Encrypted = false;
    EntryInfo.CRC = 0;
    EntryInfo.PackedSize = scanEnd_;
    EntryInfo.UnpackedSize = scanEnd_;
    EntryInfo.DateTime = archiveDate;
    if (sig == 0x8B1F || sig == 0x9E1F) {
        const uint8_t flags = h[3];
        int64_t pos = at + 10;
        uint8_t b[8];
        if ((flags & 0x04) && ReadAt(pos, b, 2)) pos += 2 + Le16(b);
        if (flags & 0x08) zstring(pos, &stored, 255);
        if (flags & 0x10) zstring(pos, nullptr, 0);  // comment
        if (flags & 0x02) pos += 2;                  // header CRC
        const bool trailer = scanEnd_ - at >= 18 && ReadAt(scanEnd_ - 8, b, 8);
        EntryInfo.CRC = trailer ? Le32(b) : 0;
        EntryInfo.UnpackedSize = trailer ? Le32(b + 4) : 0;
        EntryInfo.PackedSize = std::max<int64_t>(0, scanEnd_ - pos - 8);
        EntryInfo.Encrypted = (flags & 0x20) != 0;
        // MTIME 0 means no time was stored; the file's own date stands in,
        // as when the member is extracted.
        const uint32_t mtime = Le32(h + 4);
        if (mtime != 0) EntryInfo.DateTime = UnixToDateTime(mtime);
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
