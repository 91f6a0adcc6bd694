// The ZOO reader: extracts or tests the entries of a ZOO archive, stored,
// LZW or LZH (-lh5-'s coding). Deleted entries are passed over; entries of
// other methods are reported as unsupported and the run goes on.
#pragma once

#include <vector>

#include "engine/core/unbase.h"
#include "engine/formats/zoo.h"

namespace bramble {

class TUnZOO : public TUnBase {
public:
    explicit TUnZOO(TComponent* AOwner = nullptr) : TUnBase(AOwner) {}

    void ExtractArchive() override;

private:
    // The entries FileSpec takes, in the order of the chain.
    void Gather(std::vector<zoo::TEntry>& Entries);
    // False when the run is to stop.
    bool ExtractEntry(const zoo::TEntry& E);
};

}  // namespace bramble
