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

}  // namespace bramble::cabfmt
