// The ARC and PAK record layout, read and written in this one place: the
// lister, the reader and the tests' fixture builder all come here.
//
// An archive is a sequence of entries, each a header and its packed data:
//   0  1  marker 0x1A; any other byte ends the archive
//   1  1  method: 0 ends the archive; 1-9 the ARC methods; 30 opens a PAK
//         directory (the entries after it lie in it); 31 closes the
//         directory last opened, and is all of its header
//   2  13 name, NUL-terminated, OEM code page
//   15 4  packed size
//   19 4  DOS date (low half) and time (high half)
//   23 2  CRC-16 of the unpacked data
//   25 4  unpacked size; method 1, the oldest stored kind, stops before it
//         (its unpacked size is its packed size)
// Every number is little-endian; the data follows the header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bramble {
namespace arc {

constexpr uint8_t kMarker = 0x1A;
constexpr int kHeaderSize = 29;
constexpr int kOldHeaderSize = 25;  // method 1
constexpr int kNameSize = 13;
constexpr uint8_t kMethodEnd = 0;
constexpr uint8_t kMethodDirectory = 30;
constexpr uint8_t kMethodDirectoryEnd = 31;

enum class TParse : uint8_t {
    Ok,            // an entry (a file, or a directory with method 30)
    DirectoryEnd,  // method 31: two bytes, no entry
    End,           // no further header: another marker, method 0, or a header cut short
};

struct THeader {
    int64_t Offset = 0;
    uint8_t Method = 0;
    // The stored name up to its NUL, at most 13 bytes (OEM code page).
    std::string Name;
    uint32_t PackedSize = 0;
    uint32_t Stamp = 0;  // DOS stamp, time in the low half
    uint16_t Crc = 0;
    uint32_t UnpackedSize = 0;
    int HeaderSize = kHeaderSize;

    bool Directory() const { return Method == kMethodDirectory; }
    int64_t DataOffset() const { return Offset + HeaderSize; }
    // Where the next header starts: a directory's entries follow its header.
    int64_t Next() const { return DataOffset() + (Directory() ? 0 : int64_t{PackedSize}); }
};

// The header at At, of which Available bytes are at P (at most 29 needed).
TParse ParseHeader(const uint8_t* P, size_t Available, int64_t At, THeader& H);

// A header's bytes as an archiver writes them: 29 bytes (25 for method 1,
// 2 for method 31); the name is cut to 12 bytes to keep its NUL.
std::vector<uint8_t> MakeHeader(const THeader& H);
// The two bytes that end an archive.
inline std::vector<uint8_t> EndMarker() { return {kMarker, kMethodEnd}; }

// The PAK directories open at a point of the walk, each one stored name;
// an end marker closes the innermost one, and is passed over when none is
// open. Names are kept as stored: the path they give goes through the
// same conversion as every other name on its way to a file.
class TDirectoryPath {
public:
    void Open(const std::string& Name);
    void Close();
    void Clear() { parts_.clear(), path_.clear(); }
    // The open directories joined by '\', with a '\' at the end when any
    // is open.
    const std::string& Path() const { return path_; }
    size_t Depth() const { return parts_.size(); }

private:
    std::vector<std::string> parts_;
    std::string path_;
};

}  // namespace arc
}  // namespace bramble
