// The ARJ reader: extracts or tests the entries of an ARJ archive, plain or
// behind a self-extractor's program, single or spread over volumes (a file
// split across volumes is written as one output), with methods 0 (stored),
// 1-3 (static-Huffman LZ) and 4 (fast), garbled entries among them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/unbase.h"
#include "engine/formats/arj.h"

namespace bramble {

class TUnARJ : public TUnBase {
public:
    explicit TUnARJ(TComponent* AOwner = nullptr) : TUnBase(AOwner) {}

    void ExtractArchive() override;

private:
    // An entry the scan of a volume took.
    struct TListed {
        int64_t Offset = 0;  // of its header
        uint8_t Flags = 0;
        uint32_t PackedSize = 0;
        uint32_t UnpackedSize = 0;
    };

    // Where the first header of the archive is (raises 25242 when none).
    int64_t ArjFindHeader();
    // The header block at At; False for an end block. Faults raise.
    bool ArjReadHeader(int64_t At, arj::THeader& H);
    // Reads the main header at At and lists the entries of this volume.
    void ArjScanVolume(int64_t At);
    // Opens the volume after the current one and scans it; False when there
    // is none or it was refused.
    bool ArjNextVolume();
    // One entry, across volumes; False when the run is to stop.
    bool ArjExtractFile(arj::THeader& H);
    // Decodes the data of one part into the open output; False when the
    // data was found damaged (reported). Cancels and failing writes pass
    // out as E_RAISE.
    bool ArjDecodePart(const arj::THeader& H, const std::string& FN);
    // Asks for the password of a garbled entry; False when the run ends.
    bool ArjGetPassword(const std::string& FN);

    std::vector<TListed> list_;
    bool archiveContinues_ = false;
    std::string volume_;  // the volume now open
    // Where the list resumes after an entry that moved on to the next
    // volume (the part it took there is done); -1 when it did not move.
    int64_t resumeAt_ = -1;
    // What ended the decoding of the entry's last part (0: nothing).
    int fault_ = 0;
};

}  // namespace bramble
