// The TAR reader: extracts or tests the regular files of a TAR archive.
#pragma once

#include <string>
#include <vector>

#include "engine/core/unbase.h"
#include "engine/formats/tar.h"

namespace bramble {

class TUnTAR : public TUnBase {
public:
    explicit TUnTAR(TComponent* AOwner = nullptr) : TUnBase(AOwner) {}

    void ExtractArchive() override;

private:
    struct Entry {
        int64_t header;  // position of the entry's own header block
        int64_t data;    // position of its data
        int64_t size;    // of its data
        int64_t mtime;
        std::string name;  // stored, '/' separators
        int64_t fileSize;  // of the file written: size, or a sparse file's real size
        tar::TSparseRecords sparse;
        char type;
    };
    void Gather(std::vector<Entry>& entries);
    bool ExtractEntry(const Entry& e);
    // A sparse entry's chunks, where their bytes start and how many there
    // are; 0, or the message that refuses its map.
    int SparseChunks(const Entry& e, std::vector<tar::TSparseChunk>& Map, int64_t& Data, int64_t& Stored);
    // Writes a sparse file of FileSize bytes from Packed bytes of chunks,
    // Read of them read. False when cancelled.
    bool ExpandSparse(const std::vector<tar::TSparseChunk>& Map, int64_t FileSize, int64_t Packed, int64_t& Read);
};

}  // namespace bramble
