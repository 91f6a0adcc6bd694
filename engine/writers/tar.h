// The TAR writer: creates, updates and deletes entries of a TAR archive
// through the shared compress run, and with cmGzipTar leaves the finished
// archive gzipped (x.tar becomes x.tar.GZ).
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/compbase.h"
#include "engine/formats/tar.h"

namespace bramble {

class TTar : public TCompBase {
public:
    explicit TTar(TComponent* AOwner = nullptr);

    // Always atTar; an ArchiveFile without extension gets DefaultExt.
    void SetArcType(TArcType Value) override;

    // The shared run, then the gzip step of cmGzipTar once the TAR is
    // complete (and the sources of a move are gone).
    void CompressArchive() override;
    int GetLocalHeaderSize() override { return 512; }
    bool CompressFile() override;
    int ReadNextHeader() override;
    void ReadHeaders() override;
    // Two zero blocks end the archive.
    void FinishArchive() override;
    void ReportEntries() override;
    // cmGzipTar: gzips the finished TAR and deletes it once the .tar.gz is
    // complete. The shared run's own call comes too early for that and does
    // nothing; CompressArchive calls it after the run.
    void PostProcess() override;

private:
    // The next entry of the old archive from Pos on, its long-name and pax
    // records included (they travel with it); False at the end.
    bool NextEntry(TStream& Archive, int64_t& Pos, THeadObject& Entry, int64_t& MTime);
    void DescribeEntry(const THeadObject& Entry, int64_t MTime);

    bool postProcessNow_ = false;
    // The old archive's pax global defaults where NextEntry stands.
    tar::TPaxRecords paxGlobals_;
};

}  // namespace bramble
