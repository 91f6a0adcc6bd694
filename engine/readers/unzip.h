// The ZIP reader: extracts or tests the entries of plain, self-extracting
// and spanned ZIP archives; TUnJar is the same reader for JAR archives.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/unbase.h"
#include "engine/formats/zip.h"

namespace bramble {

class TUnZIP : public TUnBase {
public:
    explicit TUnZIP(TComponent* AOwner = nullptr);

    void ExtractArchive() override;

private:
    friend class TSpannedZipInput;

    struct Entry {
        TZipEntryRec rec;
        uint32_t dosDate = 0;
        int disk = 0;            // of a spanned set, from 0: where the local header is
        uint16_t madeBy = 0;     // "version made by" of a central record (host in the high byte)
        std::string storedName;  // as listed by the record gathered: matched, reported and written under
        bool sizesLost = false;  // streamed, and no descriptor behind the data: nothing to check it by
    };

    // Where the entries' records begin; false ends the run.
    bool PrepareWalk(bool& central, int64_t& start);
    void Gather(bool central, int64_t start, std::vector<Entry>& entries);
    // A local header of a streamed entry carries no sizes: they follow the
    // data in a descriptor, which is looked for. False when none is found.
    bool FindDescriptor(int64_t data, TZipEntryRec& rec, int64_t& next);
    // What the entries extracted so far in a run took up (each its local
    // header, name, extra field and the data its decoder took in): the end
    // by disk and start, no two overlapping. Offsets count per disk of a
    // spanned set; read from one file, every entry is on disk 0 whatever its
    // record says.
    using Claims = std::map<std::pair<int, int64_t>, int64_t>;
    // Decodes one gathered entry, unless it reaches into what Claimed holds,
    // and adds what it takes up; false when the run must stop.
    bool ExtractEntry(const Entry& e, Claims& Claimed);

    // ---- spanned sets on removable disks ----
    // Reads on from the current position; in a spanned set the read goes
    // on over the following disks (asking for them). False when the bytes
    // are not there or a disk was refused (stopRun_).
    bool ReadOn(void* Buffer, int64_t Count);
    bool SkipOn(int64_t Count);
    // The last disk (holding the end record) in the drive; false ends the run.
    bool GetLastDisk();
    // Looks for the end record in the tail of the disk in the drive.
    bool FindEndRecord();
    // Makes Wanted (from 0) the disk in the drive, asking for it unless it
    // is there already; false when refused (the run ends).
    bool InsertDisk(int Wanted);
    bool GetFirstDisk();
    bool AskNextDisk(int Wanted);
    // The disk in the drive is the first of the set.
    bool FirstDiskInDrive();
    bool DriveReady();

    bool spanned_ = false;   // this run reads a set disk by disk
    int disk_ = 0;           // the disk in the drive, from 0
    int lastDisk_ = 0;
    bool stopRun_ = false;   // a disk was refused or could not be asked for
};

class TUnJar : public TUnZIP {
public:
    using TUnZIP::TUnZIP;
};

}  // namespace bramble
