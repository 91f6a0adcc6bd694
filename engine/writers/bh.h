// The BH writer: creates BH archives with stored, Fuse (the -lh5- coder)
// or deflated entries, optionally enciphered with the traditional ZIP
// cipher, and adds to and deletes from existing ones. Entries kept from an
// existing archive are copied as they are, header, name and data.
#pragma once

#include <cstdint>

#include "engine/core/compbase.h"
#include "engine/formats/bh.h"

namespace bramble {

class TBlakHole : public TCompBase {
public:
    explicit TBlakHole(TComponent* AOwner = nullptr);

    // Always atBh; an ArchiveFile without extension gets DefaultExt. A
    // program stub in front of the first header stays in front.
    void SetArcType(TArcType Value) override;

    // The archive may have changed since ArchiveFile was set.
    void CompressArchive() override;
    int GetLocalHeaderSize() override { return static_cast<int>(bh::kHeaderSize); }
    bool CompressFile() override;
    int ReadFirstHeader() override;
    int ReadNextHeader() override;
    void ReadHeaders() override;
    void ReportEntries() override;

    // Makes a fresh encryption header for CheckCrc (the keys start over
    // from Password) and writes it at the temporary archive's position.
    void BhWriteCryptHeader(uint32_t CheckCrc);

    // Files this large and larger are refused (25256): with the
    // encryption header their packed size would not fit its 32 bits.
    static constexpr int64_t kMaxFileSize = 0xFFFFFFFFLL - bh::kCryptHeaderSize;

private:
    // The entry E of the old archive at its place there.
    static THeadObject KeptEntry(const bh::TEntry& E);
    void DescribeEntry(const THeadObject& E);
};

}  // namespace bramble
