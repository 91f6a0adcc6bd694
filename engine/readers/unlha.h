// The LHA reader: extracts or tests the entries of an LHA/LZH archive
// (header levels 0, 1 and 2; methods -lh0-, -lh1-, -lh4-, -lh5-, -lh6-).
// Directory entries (-lhd-) are passed over; entries of other methods are
// reported as unsupported and the run goes on.
#pragma once

#include <vector>

#include "engine/core/unbase.h"
#include "engine/formats/lha.h"

namespace bramble {

class TUnLHA : public TUnBase {
public:
    explicit TUnLHA(TComponent* AOwner = nullptr) : TUnBase(AOwner) {}

    void ExtractArchive() override;

private:
    // The entries FileSpec takes, in archive order.
    void Gather(std::vector<lha::THeader>& Entries);
    // False when the run is to stop.
    bool ExtractEntry(const lha::THeader& H);
};

}  // namespace bramble
