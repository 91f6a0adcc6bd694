// The ZIP writer: creates ZIP archives and updates existing ones through the
// shared compress run (add, move, delete, replace), stores or deflates each
// file, optionally with the traditional ZIP cipher, keeps the program stub of
// a self-extracting archive in front, and spans an archive that does not fit
// its removable disk over several disks labelled "PKBACK# nnn". TJar is the
// same writer for JAR archives.
//
// Entries kept from an old archive are copied as they are: local header,
// name, extra field, data and data descriptor, and their central records
// with name, extra field and comment, byte for byte; only the local-header
// offset is set to where the entry landed. The archive comment is kept too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/compbase.h"
#include "engine/formats/zip.h"

namespace bramble {

class TZip : public TCompBase {
public:
    explicit TZip(TComponent* AOwner = nullptr);

    // Always atZip (TJar: atJar); an ArchiveFile without extension gets
    // DefaultExt. ArcOffset becomes the first byte of the archive's
    // entries, counted from 1: behind the stub of a self-extracting one.
    void SetArcType(TArcType Value) override;

    // The shared run, with ArcOffset taken afresh from the archive as it is
    // when the run starts.
    void CompressArchive() override;
    int ReadFirstHeader() override;
    int GetLocalHeaderSize() override { return static_cast<int>(zip::kLocalSize); }
    bool CompressFile() override;
    int ReadNextHeader() override;
    void ReadHeaders() override;
    // Refuses (25257) more entries than the end record can count before
    // anything is written.
    void WriteEntries() override;
    void FinishArchive() override;
    void ReportEntries() override;

    // The last run deleted every entry, and with them the archive file.
    bool ArchiveRemoved() const { return archiveRemoved_; }

    // Files this large and larger are refused (25256): their sizes would not
    // fit the records' fields as every reader takes them.
    static constexpr int64_t kMaxFileSize = int64_t{1} << 31;
    // The entry counts of the end record are 16-bit.
    static constexpr int kMaxEntries = 65535;

protected:
    // The disk ArchiveFile's drive holds: false when the user cancelled or
    // no disk could be asked for. First: the disk in the drive may serve.
    bool SwapDisk(bool First);
    // Closes the file on the full disk and goes on with ArchiveFile on the
    // next one; false when the change failed.
    bool NextDisk();
    // Labels the disk in the drive "PKBACK# " with the volume number;
    // a failure is reported (25153) and the run goes on.
    void WriteDiskLabel();

private:
    // Where the records of the existing archive lie.
    struct Layout {
        int64_t endPos = -1;         // of the end record
        TZipEndRecord end;
        std::string comment;          // the archive comment, kept
        int64_t shift = 0;            // added to stored offsets to get file positions
        int64_t centralStart = 0;     // file position of the first central record
        int64_t firstEntry = -1;      // file position of the first local header
    };
    // Finds and checks the end record of Archive; false when there is none.
    static bool Locate(TStream& Archive, Layout& L, bool WalkEntries);
    // Ends the run for an archive whose records cannot be trusted (the old
    // archive is left as it is).
    void Damaged(int Code);

    // Where a kept or new entry is to be written, and its central record.
    void WriteCentralDirectory(TStream& Out, int64_t& Offset, int64_t& Size, int& Count);
    bool WriteSpanned();
    // Writes to the disk file, taking the next disk whenever one is full.
    void SpanWrite(const uint8_t* Data, int64_t Count);
    void SpanCopy(TStream& From, int64_t Count);

    Layout old_;
    bool archiveRemoved_ = false;

    // ---- spanning ----
    TFileStream disk_;           // ArchiveFile on the disk in the drive
    int diskNumber_ = 0;         // the end record's disk counter, from 0
    int volume_ = 0;             // the "PKBACK# " number of the disk, from 1
    int64_t diskFree_ = 0;       // bytes still free on the disk in the drive
    std::string lastSerial_;     // of the disk filled last: it must not come back
    std::string lastLabel_;
    bool setBegun_ = false;      // the first disk's file was made: the old archive there is gone
};

class TJar : public TZip {
public:
    explicit TJar(TComponent* AOwner = nullptr);
    void SetArcType(TArcType Value) override;
};

}  // namespace bramble
