// What the engine knows of the drive that holds an archive or receives
// output: type, label, serial, space, and the number of a spanned-set disk
// read from its "PKBACK# nnn" label.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/component.h"

namespace bramble {

class TDiskManager : public TComponent {
public:
    explicit TDiskManager(TComponent* AOwner = nullptr);

    const std::string& Drive() const { return drive_; }
    void SetDrive(const std::string& Value);
    bool RefreshDiskInfo();
    bool GetDiskSpace();
    bool WriteVolumeLabel(const std::string& Label);

    const std::string& VolumeLabel() const { return volumeLabel_; }
    const std::string& SerialText() const { return serialText_; }
    int DiskNumber() const { return diskNumber_; }
    uint8_t DriveType() const { return driveType_; }
    uint8_t DriveKind() const { return driveKind_; }
    const std::string& DriveTypeName() const { return driveTypeName_; }
    uint32_t FreeBytes() const { return freeBytes_; }
    uint32_t TotalBytes() const { return totalBytes_; }
    int PollInterval() const { return pollInterval_; }
    void SetPollInterval(int v) { pollInterval_ = v; }
    bool LastRefresh() const { return lastRefresh_; }

    TNotifyEvent OnDriveChange;
    TNotifyEvent OnDiskChange;

    // The number after the last "PKBACK# " of a label when it is all digits,
    // else 0.
    static int DiskNumberFromLabel(const std::string& Label);
    static const std::string& DriveTypeNameOf(unsigned Value);

private:
    std::string Root() const;

    std::string drive_;
    std::string volumeLabel_;
    std::string serialText_;
    std::string fileSystem_;
    std::string driveTypeName_;
    int diskNumber_ = 0;
    uint8_t driveType_ = 1;
    uint8_t driveKind_ = 0;
    uint32_t freeBytes_ = 0;
    uint32_t totalBytes_ = 0;
    int pollInterval_ = 2000;
    bool lastRefresh_ = false;
};

// True when the drive of Path can be read, asking Retry/Cancel while it
// cannot; paths without a drive letter are always ready.
bool CheckDriveReady(const std::string& Path);
bool AskRetryDrive(const std::string& Drive);

}  // namespace bramble
