// The TAR reader: extracts or tests the regular files of a TAR archive.
#pragma once

#include <string>
#include <vector>

#include "engine/core/unbase.h"

namespace bramble {

class TUnTAR : public TUnBase {
public:
    explicit TUnTAR(TComponent* AOwner = nullptr) : TUnBase(AOwner) {}

    void ExtractArchive() override;

private:
    struct Entry {
        int64_t header;  // position of the entry's own header block
        int64_t data;    // position of its data
        int64_t size;
        int64_t mtime;
        std::string name;  // stored, '/' separators
    };
    void Gather(std::vector<Entry>& entries);
    bool ExtractEntry(const Entry& e);
};

}  // namespace bramble
