#include "engine/formats/cab.h"

#include <algorithm>
#include <cstring>

#include "engine/core/bytes.h"

namespace bramble::cabfmt {

namespace {

// A NUL-terminated name of at most max bytes at pos; pos moves past it.
bool Name(const uint8_t* data, size_t size, size_t& pos, std::string& out, size_t max = kMaxName) {
    if (pos >= size) return false;
    const size_t limit = std::min(size - pos, max);
    const void* nul = std::memchr(data + pos, 0, limit);
    if (!nul) return false;
    const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(nul) - (data + pos));
    out.assign(reinterpret_cast<const char*>(data + pos), length);
    pos += length + 1;
    return true;
}

}  // namespace

bool ParseHeader(const uint8_t* data, size_t size, Header& out) {
    if (size < kHeaderFixed || std::memcmp(data, "MSCF", 4) != 0) return false;
    out = Header();
    out.cbCabinet = Le32(data + 8);
    out.coffFiles = Le32(data + 16);
    out.versionMinor = data[24];
    out.versionMajor = data[25];
    out.cFolders = Le16(data + 26);
    out.cFiles = Le16(data + 28);
    out.flags = Le16(data + 30);
    out.setID = Le16(data + 32);
    out.iCabinet = Le16(data + 34);
    size_t pos = kHeaderFixed;
    if (out.flags & kHasReserve) {
        if (size - pos < 4) return false;
        out.cbCFHeader = Le16(data + pos);
        out.cbCFFolder = data[pos + 2];
        out.cbCFData = data[pos + 3];
        pos += 4;
        if (size - pos < out.cbCFHeader) return false;
        pos += out.cbCFHeader;
    }
    if (out.flags & kHasPrev) {
        if (!Name(data, size, pos, out.prevCabinet) || !Name(data, size, pos, out.prevDisk)) return false;
    }
    if (out.flags & kHasNext) {
        if (!Name(data, size, pos, out.nextCabinet) || !Name(data, size, pos, out.nextDisk)) return false;
    }
    out.size = pos;
    return true;
}

bool ParseFolder(const uint8_t* data, size_t size, Folder& out) {
    if (size < kFolderFixed) return false;
    out.coffCabStart = Le32(data);
    out.cCFData = Le16(data + 4);
    out.typeCompress = Le16(data + 6);
    return true;
}

bool ParseDataBlock(const uint8_t* data, size_t size, DataBlock& out) {
    if (size < kDataFixed) return false;
    out.csum = Le32(data);
    out.cbData = Le16(data + 4);
    out.cbUncomp = Le16(data + 6);
    return true;
}

bool ParseFile(const uint8_t* data, size_t size, File& out) {
    if (size < kFileFixed) return false;
    out.cbFile = Le32(data);
    out.uoffFolderStart = Le32(data + 4);
    out.iFolder = Le16(data + 8);
    out.date = Le16(data + 10);
    out.time = Le16(data + 12);
    out.attribs = Le16(data + 14);
    size_t pos = kFileFixed;
    if (!Name(data, size, pos, out.name, kMaxFileName)) return false;
    out.size = pos;
    return true;
}

int FolderOf(uint16_t iFolder, uint16_t Folders) {
    if (Folders == 0) return -1;
    switch (iFolder) {
        case kContinuedFromPrev:
        case kContinuedPrevAndNext: return 0;
        case kContinuedToNext: return Folders - 1;
        default: return iFolder < Folders ? iFolder : -1;
    }
}

namespace {

// The bytes a folder's data blocks unpack to, as far as whole blocks lie
// inside the file.
uint64_t FolderBytes(const Folder& f, const Header& h, uint64_t Size, const ReadAt& Read) {
    uint64_t unpacked = 0;
    uint64_t at = f.coffCabStart;
    for (unsigned b = 0; b < f.cCFData; ++b) {
        uint8_t raw[kDataFixed];
        DataBlock block;
        if (at > Size || Size - at < kDataFixed + h.cbCFData || Read(at, raw, sizeof raw) != sizeof raw ||
            !ParseDataBlock(raw, sizeof raw, block))
            break;
        at += kDataFixed + h.cbCFData;
        if (Size - at < block.cbData) break;
        at += block.cbData;
        unpacked += block.cbUncomp;
    }
    return unpacked;
}

}  // namespace

Survey SurveyCabinet(uint64_t Size, const ReadAt& Read) {
    Survey s;
    Header& h = s.header;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(Size, kHeaderMax)));
    const size_t got = Read(0, buffer.data(), buffer.size());
    if (!ParseHeader(buffer.data(), std::min(got, buffer.size()), h)) return s;
    const uint64_t folderRecord = kFolderFixed + h.cbCFFolder;
    s.cutShort = h.cbCabinet > Size;
    if ((h.cFiles > 0 && (h.cFolders == 0 || h.coffFiles >= Size)) ||
        h.size + h.cFolders * folderRecord > Size)
        return s;

    // The file table ends where the first data block behind it begins.
    uint64_t tableEnd = Size;
    for (unsigned i = 0; i < h.cFolders; ++i) {
        uint8_t raw[kFolderFixed];
        Folder f;
        if (Read(h.size + i * folderRecord, raw, sizeof raw) != sizeof raw || !ParseFolder(raw, sizeof raw, f))
            return s;
        if (f.coffCabStart > Size || (f.cCFData > 0 && Size - f.coffCabStart < kDataFixed)) return s;
        if (f.cCFData > 0 && f.coffCabStart > h.coffFiles) tableEnd = std::min<uint64_t>(tableEnd, f.coffCabStart);
        s.folders.push_back(f);
    }

    uint64_t at = h.coffFiles;
    for (unsigned i = 0; i < h.cFiles && at < tableEnd; ++i) {
        uint8_t raw[kFileMax];
        const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof raw, tableEnd - at));
        File f;
        if (!ParseFile(raw, std::min(Read(at, raw, want), want), f) || FolderOf(f.iFolder, h.cFolders) < 0) break;
        at += f.size;
        s.files.push_back(std::move(f));
    }
    if (h.cFiles > 0 && s.files.empty()) return s;
    s.usable = true;

    std::vector<uint64_t> bytes;
    for (const Folder& f : s.folders) bytes.push_back(FolderBytes(f, h, Size, Read));
    for (const File& f : s.files) {
        const bool continued = f.iFolder >= h.cFolders || (f.iFolder == 0 && (h.flags & kHasPrev)) ||
                               (f.iFolder + 1 == h.cFolders && (h.flags & kHasNext));
        s.pastItsFolder.push_back(!continued && uint64_t{f.uoffFolderStart} + f.cbFile > bytes[f.iFolder]);
    }
    return s;
}

}  // namespace bramble::cabfmt
