// The ARC and PAK reader: extracts or tests the entries of an ARC archive
// (also behind a self-extractor's program) and of a PAK archive, whose
// directory entries put the entries after them in a folder. Methods 1 to 9:
// stored, packed (run-length), squeezed, crunched with the old and new
// hash, dynamically crunched and squashed; others are reported as
// unsupported and the run goes on.
#pragma once

#include <string>
#include <vector>

#include "engine/core/unbase.h"
#include "engine/formats/arc.h"

namespace bramble {

class TUnARC : public TUnBase {
public:
    explicit TUnARC(TComponent* AOwner = nullptr) : TUnBase(AOwner) {}

    void ExtractArchive() override;

private:
    struct TItem {
        arc::THeader Header;
        std::string Path;  // the open directories and the name, as stored
    };
    // The entries FileSpec takes, in archive order.
    void Gather(std::vector<TItem>& Entries);
    // False when the run is to stop.
    bool ExtractEntry(const TItem& Item);
    // Decodes the entry's data (the archive positioned at it) to the
    // output; raises E_RAISE on the data's faults.
    void Decode(const arc::THeader& H);
};

}  // namespace bramble
