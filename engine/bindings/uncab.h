// The cabinet reader: extracts or tests a cabinet, or a chain of them,
// through the platform's cabinet library (FDI). The library parses,
// decompresses and checks; the reader answers its notifications, decides per
// entry, and sends the bytes into the engine's ordinary output path.
#pragma once

#include <string>

#include "engine/bindings/cabfiles.h"
#include "engine/core/unbase.h"

namespace bramble {

// The cabinet reader's base, which adds nothing to every reader's.
using TUnCABInterface = TUnBase;

class TUnCAB : public TUnCABInterface {
public:
    explicit TUnCAB(TComponent* AOwner = nullptr);
    ~TUnCAB() override;

    void ExtractArchive() override;

    TStreamCabinetFileHandler& FileHandler() { return files_; }

    // The library's answers to a copy-file notification.
    enum TCopyAction { caAbort = 0, caSkip = 1, caExtract = 2 };
    // The handle given to the library for the entry being written; writes
    // to it go to the engine's output, not to a file of the handler.
    static constexpr intptr_t kOutputHandle = 1;

    // What the notifications call, one per kind (see uncab.cpp).
    virtual void CabinetInfo(const std::string& NextCabinet, const std::string& NextDisk,
                             const std::string& CabinetPath, int SetId, int CabinetIndex);
    virtual TCopyAction CountFile(const std::string& Name, int64_t Size, uint16_t Date, uint16_t Time,
                                  uint16_t Attribs);
    virtual TCopyAction CopyFile(const std::string& Name, int64_t Size, uint16_t Date, uint16_t Time,
                                 uint16_t Attribs);
    virtual void CloseFileInfo(const std::string& Name, intptr_t Handle, uint16_t Date, uint16_t Time,
                               uint16_t Attribs, bool RunAfterExtraction);
    // The next cabinet of a chain: Name and Path (folder with its trailing
    // separator) are what the library looks for, and take the answer.
    virtual bool NextCabinet(std::string& Name, std::string& Disk, std::string& Path, int Error);

    // Called by the library's write callback while an entry is written.
    int64_t WriteEntryData(const void* Buffer, uint32_t Count);
    // Closes the output of an entry the library gave up on.
    void AbandonOutput();

private:
    bool CreateContext();
    bool IsCabinet(const std::string& Path);
    // Holds the cabinet's tables against each other and its size before
    // the library reads them (once a run per cabinet). False, with 25108
    // reported, when none of it may be handed over; a cabinet whose file
    // table lies part of the way is reported too, and the library is shown
    // only the records before the lie.
    bool CheckTables(const std::string& Path);
    // One FDICopy over a cabinet; false when the run is to stop.
    bool CopyCabinet(const std::string& Path, bool Counting);

    TStreamCabinetFileHandler files_;
    cab::HFDI context_ = nullptr;
    TCabinetCall call_;

    // The entry being written.
    std::string entryName_;
    int64_t entrySize_ = 0;
    int64_t entryDone_ = 0;
    bool outputOpen_ = false;
};

}  // namespace bramble
