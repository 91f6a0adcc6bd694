// The gzip writer: compresses each gathered file into a gzip file of its own
// (one member), beside ArchiveFile. There is no archive to update, so it
// runs its own compress run instead of the shared one.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/compbase.h"

namespace bramble {

class TGZip : public TCompBase {
public:
    explicit TGZip(TComponent* AOwner = nullptr);

    // Always atGZip; an ArchiveFile whose extension is not DefaultExt gets
    // it appended (x.tar becomes x.tar.GZ).
    void SetArcType(TArcType Value) override;

    // The .gz a source goes to: ArchiveFile's folder, the source's name,
    // DefaultExt.
    std::string OutputNameFor(const std::string& Source) const;
    // "Stored", the deflate name, or "Unknown".
    static std::string GzMethodName(uint8_t CM, uint8_t FLG);

    void CompressArchive() override;
    // Lists an existing gzip file (swRead): one entry.
    int ReadNextHeader() override;

private:
    // One source into its .gz; True when the .gz was written.
    bool CompressOne(THeadObject& Entry, int Count);
    // Writes the member for the open InputFile() to Output; the bytes
    // written. Name empty: no name field.
    int64_t GzWriteMember(const std::string& Name, uint32_t MTime, TStream& Output, uint8_t& FLG,
                          uint32_t& CrcOut, int64_t& Size);
};

// The time a writer stores for a source by DateAttribute, as a FILETIME.
uint64_t SourceFileTime(const TCompBase& Writer, const std::string& Path);

}  // namespace bramble
