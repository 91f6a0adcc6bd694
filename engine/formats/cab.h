// The cabinet file's records: the header (CFHEADER, with its optional
// reserve and the names of the neighbouring cabinets), the folder records
// (CFFOLDER) and the file records (CFFILE). Each parse reads only the bytes
// it is handed and says false when they are not a whole record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bramble::cabfmt {

constexpr uint16_t kHasPrev = 0x01, kHasNext = 0x02, kHasReserve = 0x04;
// CFFILE.iFolder values for entries that cross a cabinet boundary.
constexpr uint16_t kContinuedFromPrev = 0xFFFD, kContinuedToNext = 0xFFFE, kContinuedPrevAndNext = 0xFFFF;
// CFFILE.attribs: the name is UTF-8, not the OEM code page.
constexpr uint16_t kNameIsUtf = 0x80;
// The header's names are NUL-terminated in at most kMaxName bytes, an
// entry's name in at most kMaxFileName.
constexpr size_t kMaxName = 256;
constexpr size_t kMaxFileName = 257;

constexpr size_t kHeaderFixed = 36;
constexpr size_t kFolderFixed = 8;
constexpr size_t kFileFixed = 16;
constexpr size_t kDataFixed = 8;
// The most bytes a header can take: fixed part, reserve sizes and reserve,
// four names.
constexpr size_t kHeaderMax = kHeaderFixed + 4 + 65535 + 4 * kMaxName;
constexpr size_t kFileMax = kFileFixed + kMaxFileName;
// Where the header keeps its count of file records.
constexpr size_t kFileCountAt = 28;

struct Header {
    uint32_t cbCabinet = 0;
    uint32_t coffFiles = 0;  // first CFFILE, from the start of the cabinet
    uint8_t versionMinor = 0, versionMajor = 0;
    uint16_t cFolders = 0, cFiles = 0, flags = 0, setID = 0, iCabinet = 0;
    uint16_t cbCFHeader = 0;  // header reserve
    uint8_t cbCFFolder = 0;   // reserve behind each folder record
    uint8_t cbCFData = 0;     // reserve behind each data block header
    std::string prevCabinet, prevDisk, nextCabinet, nextDisk;
    size_t size = 0;  // bytes of the header: the first folder record follows
};

struct Folder {
    uint32_t coffCabStart = 0;
    uint16_t cCFData = 0;
    uint16_t typeCompress = 0;  // low nibble: 0 none, 1 MSZIP, 2 Quantum, 3 LZX
};

// A data block's header (CFDATA): the block's compressed bytes follow it,
// behind the header's cbCFData reserve.
struct DataBlock {
    uint32_t csum = 0;
    uint16_t cbData = 0;    // compressed bytes in this block
    uint16_t cbUncomp = 0;  // bytes they give
};

struct File {
    uint32_t cbFile = 0;
    uint32_t uoffFolderStart = 0;
    uint16_t iFolder = 0, date = 0, time = 0, attribs = 0;
    std::string name;  // as stored
    size_t size = 0;   // bytes of the record, name and NUL included
};

bool ParseHeader(const uint8_t* data, size_t size, Header& out);
// The folder record at data; a folder's record takes kFolderFixed plus the
// header's cbCFFolder bytes.
bool ParseFolder(const uint8_t* data, size_t size, Folder& out);
bool ParseFile(const uint8_t* data, size_t size, File& out);
bool ParseDataBlock(const uint8_t* data, size_t size, DataBlock& out);

// The folder whose method an entry uses: an entry carried over from the
// previous cabinet lives in the first folder, one going on into the next
// in the last. Folders is the cabinet's count; the index, or -1 when the
// entry names no folder of this cabinet.
int FolderOf(uint16_t iFolder, uint16_t Folders);

// Reads up to Count bytes at Offset, counted from the cabinet's first
// byte; the bytes read, 0 past the end or on failure.
using ReadAt = std::function<size_t(uint64_t Offset, void* Buffer, size_t Count)>;

// A cabinet's tables held against each other and against the Size bytes
// it has. The cabinet library takes every count and offset as it stands (a
// file table with no folder for it sends it through a folder that is not
// there), so it is handed only what this finds sound.
struct Survey {
    Header header;
    // False when nothing of the cabinet may be handed over: a header that
    // cannot be read, a folder table, file table or data start past the end
    // of the file, files with no folder at all, or a file table whose very
    // first record lies.
    bool usable = false;
    // The header says the cabinet is longer than the file.
    bool cutShort = false;
    std::vector<Folder> folders;
    // The file records before the first one that lies: one that is not
    // whole before the data blocks (or the end of the file) begin, or that
    // names a folder the cabinet does not have. The library may see these
    // and no more.
    std::vector<File> files;
    // Per record of files: its bytes reach past what its folder's data
    // blocks hold. Folders that go on in a neighbouring cabinet are not
    // held to it.
    std::vector<bool> pastItsFolder;
};

Survey SurveyCabinet(uint64_t Size, const ReadAt& Read);

}  // namespace bramble::cabfmt
