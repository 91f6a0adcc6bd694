// The BH reader: extracts or tests the entries of a BH archive (methods 0
// stored, 1 Fuse, 2 and 8 deflate), encrypted ones with the traditional
// ZIP cipher. A password that opens no entry ends the run; a damaged entry
// fails on its own and the run goes on.
#pragma once

#include <vector>

#include "engine/core/unbase.h"
#include "engine/formats/bh.h"

namespace bramble {

class TUnBH : public TUnBase {
public:
    explicit TUnBH(TComponent* AOwner = nullptr) : TUnBase(AOwner) {}

    void ExtractArchive() override;

private:
    // The entries FileSpec takes, in archive order.
    void Gather(std::vector<bh::TEntry>& Entries);
    // False when the run is to stop.
    bool ExtractEntry(const bh::TEntry& E);
    // Finds the password that opens Header (the keys are then set for the
    // entry's data); false when none does, after the reports that says so.
    bool FindPassword(const std::string& FN, const bh::THeader& H, const uint8_t Header[12]);
};

}  // namespace bramble
