// The LHA writer: creates level-0 LHA archives with -lh0-, -lh1- or -lh5-
// entries, adds to and deletes from existing ones. Entries kept from an
// existing archive are copied as they are, header and data, whatever their
// header level.
#pragma once

#include <cstdint>

#include "engine/core/compbase.h"
#include "engine/formats/lha.h"

namespace bramble {

class TLha : public TCompBase {
public:
    explicit TLha(TComponent* AOwner = nullptr);

    // Always atLha; an ArchiveFile without extension gets DefaultExt. The
    // bytes in front of the first header (a program stub, a 128-byte
    // prefix) stay in front.
    void SetArcType(TArcType Value) override;

    // The archive may have changed since ArchiveFile was set.
    void CompressArchive() override;
    int GetLocalHeaderSize() override { return lha::kLevel0Fixed; }
    bool CompressFile() override;
    int ReadFirstHeader() override;
    int ReadNextHeader() override;
    void ReadHeaders() override;
    // The archive ends with a 0 byte.
    void FinishArchive() override;
    void ReportEntries() override;

private:
    // The entry of the header H at its place in the old archive.
    static THeadObject KeptEntry(const lha::THeader& H);
    void DescribeEntry(const THeadObject& E, char Digit);
};

}  // namespace bramble
