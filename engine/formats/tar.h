// The TAR format's records, the one place that knows their layout: the
// 512-byte header block (ustar with its name prefix, the GNU form), the
// GNU long-name records and the pax extended and global headers that
// describe the headers after them, GNU tar's sparse maps, the checksum, the
// number fields, and the walk over an archive's records that the TAR reader
// and the TAR writer share. The lister reads its headers through the same
// field, checksum and pax rules.
//
// Everything here looks only at the bytes it is given: a header is always a
// whole block, and the walk reads through a small reader function, so the
// module is tested and fuzzed on bytes in memory.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bramble::tar {

constexpr int kBlock = 512;

// Sum of the block's bytes with the checksum field counted as blanks.
int64_t ComputeChecksum(const uint8_t* block);
// The stored checksum matches the sum of the block's bytes taken unsigned,
// or taken signed as some old archivers summed them (an all-zero block
// matches neither).
bool ChecksumOk(const uint8_t* block);
// The first Count bytes of a block are all zero.
bool IsZeroBlock(const uint8_t* block, int Count = kBlock);

// A NUL-terminated field of at most width bytes.
std::string Field(const uint8_t* block, int offset, int width);
// A number field: octal digits up to the first NUL (others skipped), or,
// when the first byte has its top bit set, the big-endian binary form GNU
// tar uses for values octal cannot hold (0x80 lead: positive, 0xFF lead:
// negative, two's complement). Values beyond 62 bits saturate at
// +-INT64_MAX / 2, so sums with file positions cannot overflow.
int64_t Number(const uint8_t* block, int offset, int width);

inline int64_t Size(const uint8_t* b) { return Number(b, 124, 12); }
inline int64_t MTime(const uint8_t* b) { return Number(b, 136, 12); }
inline int64_t StoredChecksum(const uint8_t* b) { return Number(b, 148, 8); }
inline char Type(const uint8_t* b) { return static_cast<char>(b[156]); }
// POSIX ustar headers ("ustar" and a NUL at 257) may carry a prefix of the
// path in bytes 345..499; the GNU form ("ustar  ") keeps other fields there.
std::string FullName(const uint8_t* block);
// The 100-byte name field with the blanks around it dropped, as the lister
// shows a header ("./a.txt" stays "./a.txt"); a delete names entries so.
std::string ListedName(const uint8_t* block);
// Type flags whose data is a regular file: NUL, '0' and '7'.
inline bool IsRegular(char type) { return type == '\0' || type == '0' || type == '7'; }
// GNU tar's old sparse file: a regular file whose map is kept in its header
// and, when the header's byte 482 says so, in blocks between the header
// and the data (each with a byte 504 that says whether another follows).
constexpr char kOldSparse = 'S';
// Records that describe the header after them: a GNU long name ('L') or
// long link name ('K'), a pax extended header ('x').
inline bool IsNameRecord(char type) { return type == 'L' || type == 'K' || type == 'x'; }
// A pax extended header ('x') describes the header after it, a global one
// ('g') every later header.
inline bool IsPaxHeader(char type) { return type == 'x' || type == 'g'; }
// Data rounded up to whole blocks.
inline int64_t Padded(int64_t size) { return (size + kBlock - 1) / kBlock * kBlock; }

// ---- pax records ----------------------------------------------------------------------------

// The most of a pax header's data that is read: a GNU 0.0 sparse map of a
// few hundred thousand chunks fits; a longer header cannot be read.
constexpr int64_t kMaxPaxData = 16 << 20;
// Long names are read up to this length, as GNU long-name records are.
constexpr size_t kMaxName = 65536;
// A global path is every later entry's name: kept within PATH_MAX, so a few
// bytes of archive cannot give each of many entries a name of 64 KB.
constexpr size_t kMaxGlobalPath = 4096;
// The most chunks of one sparse map.
constexpr size_t kMaxSparseChunks = 1 << 20;

// A keyword's state in one pax header: not there, a value, or an empty
// value, which in an extended header drops the global default for its
// entry and in a global header drops the default.
template <typename T>
struct TPaxValue {
    enum State : uint8_t { Absent, Set, Cleared };
    State state = Absent;
    T value{};
};

// Length bytes of a sparse file's data at Offset; the rest is holes.
struct TSparseChunk {
    int64_t Offset = 0;
    int64_t Length = 0;
};

// GNU tar's sparse records in an extended header ("GNU.sparse.*"). Format
// 0.0 gives the map as offset/numbytes pairs, 0.1 as one comma-separated
// map record, 1.0 (major 1, minor 0) in front of the entry's data.
struct TSparseRecords {
    bool Given = false;    // a GNU.sparse record is there: the entry is sparse
    bool Damaged = false;  // one of them does not hold (a number that is none, a length without its offset)
    int64_t Major = -1, Minor = -1;
    int64_t RealSize = -1;  // GNU.sparse.realsize (1.0)
    int64_t OldSize = -1;   // GNU.sparse.size (0.0, 0.1)
    int64_t NumBlocks = -1;
    std::string Name;       // GNU.sparse.name: the file's own name
    bool MapGiven = false;    // 0.1's map record
    bool PairsGiven = false;  // 0.0's offset/numbytes records
    std::vector<TSparseChunk> Map;
    // The file's size, -1 when no record gives it.
    int64_t FileSize() const { return RealSize >= 0 ? RealSize : OldSize; }
};

// What a pax header says that the engine uses; other keywords are passed
// over. Times are whole seconds (a fraction rounds down).
struct TPaxRecords {
    TPaxValue<std::string> Path;
    TPaxValue<int64_t> Size;
    TPaxValue<int64_t> MTime;
    TSparseRecords Sparse;  // an extended header's only
};

// Reads a pax header's records ("LEN keyword=value\n" each) into Out. False
// when they do not parse: a length that is no number, runs past the data or
// does not end at a newline, a record without '=', or a size that is not a
// decimal number (where the entry ends would be a guess). A time that is no
// number is passed over: the header's stands.
bool ParsePax(const std::string& Data, TPaxRecords& Out);
// An extended header's records over what the records before the same
// header said (a GNU long name, another extended header).
void OverlayPax(TPaxRecords& Own, TPaxRecords&& Header);
// A global header's records become the defaults of every later entry: a
// value replaces the default, an empty one drops it. False for a path past
// kMaxGlobalPath.
bool MergeGlobals(TPaxRecords& Globals, const TPaxRecords& Header);

// A header as the records before it describe it: BaseName is what the
// header or a GNU long name gave; Own are the records of the extended header
// right before it (an empty value takes the header's own back), Globals the
// defaults from the global headers. The sparse records count for regular
// files only, and name the entry by GNU.sparse.name.
struct TPaxEntry {
    std::string Name;
    int64_t Size = 0;
    int64_t MTime = 0;
    TSparseRecords Sparse;
};
TPaxEntry ApplyPax(const uint8_t* Header, std::string BaseName, TPaxRecords Own, const TPaxRecords& Globals);

// The header block of a regular file as the engine writes it: the name
// (at most 99 bytes, the caller checks), mode 0100666, owner 0, the size
// and time in 11 octal digits and the checksum.
std::string MakeHeader(const std::string& Name, int64_t Size, int64_t MTime);

// Reads up to Count bytes at Pos into Out; the number read, less at the end.
using ReadAtFn = std::function<int64_t(int64_t Pos, uint8_t* Out, int64_t Count)>;

// ---- sparse maps ----------------------------------------------------------------------------

enum class TSparseCheck {
    Ok,
    Unsupported,  // a sparse format other than 0.0, 0.1 and 1.0
    Damaged,      // the map does not hold: out of order, overlapping, past the real size, more data than stored
    Cut,          // the 1.0 map runs past the end of the file
};
// The chunks of a sparse entry whose data (Size bytes at Data) ends no later
// than End: from its records (0.0, 0.1) or read from the map in front of the
// data (1.0), then checked. ChunkData is where the first chunk's bytes are
// (past the 1.0 map); the chunks' bytes follow one another from there, and
// data after the last of them is not the file's.
TSparseCheck SparseMap(const TSparseRecords& Records, int64_t Data, int64_t Size, int64_t End, const ReadAtFn& Read,
                       std::vector<TSparseChunk>& Map, int64_t& ChunkData);

// One entry found by the walk.
// Where the data of the entry whose header is at Pos begins: the next
// block, or past the blocks an old sparse map goes on in. -1 when those
// blocks run past End.
int64_t DataStart(const uint8_t* Header, int64_t Pos, int64_t End, const ReadAtFn& Read);

struct TWalkEntry {
    int64_t Start = 0;  // the first block that belongs to it: its name records, else its header
    int64_t Pos = 0;    // its header block
    int64_t Data = 0;   // its data (past an old sparse map's own blocks)
    int64_t Size = 0;
    int64_t Next = 0;   // the record after it: Data + Padded(Size), or the file's end when Cut
    bool Cut = false;   // its data runs past the end of the file
    char Type = 0;
    std::string Name;   // the long name or pax path its records gave, else FullName
    int64_t MTime = 0;  // the header's, or its pax records'
    TSparseRecords Sparse;  // Given for a pax sparse file: Size is then what the archive holds of it
    std::array<uint8_t, kBlock> Header{};
};

// The walk over an archive's records from a position to the end of the
// file. One zero block is padding, two end the archive; a block whose
// checksum does not hold is passed over one block on; GNU long-name records
// and pax extended headers describe the header right after them (a zero or
// damaged block between drops what they said). A pax global header is an
// entry of its own (a rewritten archive keeps it) whose records hold for
// every later entry.
class TWalker {
public:
    enum class Step {
        Entry,      // e holds the next entry
        End,        // the archive ends here
        CutHeader,  // a header cut off by the end of the file (not just zeros)
        CutRecord,  // a name record, link or folder whose data (or an old sparse map) runs past the end
        BadRecord,  // a pax header that cannot be read: where the entries after it start is not known
    };
    TWalker(int64_t Pos, int64_t End, ReadAtFn Read) : pos_(Pos), end_(End), read_(std::move(Read)) {}
    Step Next(TWalkEntry& e);
    // Where the walk goes on: the record after the last entry.
    int64_t Position() const { return pos_; }
    // The global headers' defaults so far, for a walk that goes on in
    // another walker.
    const TPaxRecords& Globals() const { return globals_; }
    void SetGlobals(const TPaxRecords& g) { globals_ = g; }

private:
    int64_t pos_;
    int64_t end_;
    ReadAtFn read_;
    TPaxRecords globals_;
};

}  // namespace bramble::tar
