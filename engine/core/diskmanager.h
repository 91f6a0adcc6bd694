// What the engine knows of the drive that holds an archive or receives
// output: type, label, serial, space, and the number of a spanned-set disk
// read from its "PKBACK# nnn" label. It can poll a removable or CD drive and
// tell when the disk in it changes.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/component.h"
#include "engine/core/os.h"

namespace bramble {

class TDiskManager : public TComponent {
public:
    explicit TDiskManager(TComponent* AOwner = nullptr);
    ~TDiskManager() override;

    // "A:" or a UNC share prefix. Refreshes at once (or restarts polling,
    // which refreshes), then OnDriveChange.
    const std::string& Drive() const { return drive_; }
    void SetDrive(const std::string& Value);

    // Re-reads label, serial, type and space, asking Retry/Cancel while the
    // drive cannot be read; False on Cancel, with the old values kept.
    bool RefreshDiskInfo();
    // Space of the drive; a network drive is not asked and counts as read.
    bool GetDiskSpace();
    // For a removable drive: its floppy form and space, asking Retry/Cancel
    // until the space can be read. False on Cancel or for other drives.
    bool ReadRemovableDisk();
    // Sets the label when it differs, then refreshes; False when the system
    // refuses the label.
    bool WriteVolumeLabel(const std::string& Label);

    const std::string& VolumeLabel() const { return volumeLabel_; }
    const std::string& SerialText() const { return serialText_; }
    const std::string& FileSystem() const { return fileSystem_; }
    int DiskNumber() const { return diskNumber_; }
    uint8_t DriveType() const { return driveType_; }
    uint8_t DriveKind() const { return driveKind_; }
    const std::string& DriveTypeName() const { return driveTypeName_; }
    uint32_t SectorsPerCluster() const { return sectorsPerCluster_; }
    uint32_t BytesPerSector() const { return bytesPerSector_; }
    uint32_t FreeClusters() const { return freeClusters_; }
    uint32_t TotalClusters() const { return totalClusters_; }
    uint64_t FreeBytes() const { return freeBytes_; }
    uint64_t TotalBytes() const { return totalBytes_; }
    bool LastRefresh() const { return lastRefresh_; }

    int PollInterval() const { return pollInterval_; }
    // A running poll timer takes the new interval; 0 or less stops it.
    void SetPollInterval(int Value);
    // True only while the poll timer runs: it runs for removable and CD-ROM
    // drives with an interval above 0, and never for other drives.
    bool Polling() const { return pollTimer_ != 0; }
    void SetPolling(bool Value);

    TNotifyEvent OnDriveChange;
    TNotifyEvent OnDiskChange;

    // The number after the last "PKBACK# " of a label when it is all digits,
    // else 0.
    static int ParseDiskNumber(const std::string& Label);
    // The label a spanned set gives its disk: kSpannedLabelPrefix and the
    // number formatted with "%.3d" (at least three digits, zero-padded):
    // disk 1 is "PKBACK# 001".
    static constexpr const char* kSpannedLabelPrefix = "PKBACK# ";
    static std::string SpannedLabel(int DiskNumber);
    // 0 "Unknown" ... 6 "RAM", 7 and 8 the floppy forms; empty past the table.
    static const std::string& DriveTypeNameOf(unsigned Value);

private:
    std::string Root() const;
    void StartPollTimer();
    void StopPollTimer();
    void PollTick();

    std::string drive_;
    std::string volumeLabel_;
    std::string serialText_;
    std::string fileSystem_;
    std::string driveTypeName_;
    std::string polledSerial_;
    int diskNumber_ = 0;
    uint8_t driveType_ = os::dtNoRoot;
    uint8_t driveKind_ = 0;
    uint32_t sectorsPerCluster_ = 0;
    uint32_t bytesPerSector_ = 0;
    uint32_t freeClusters_ = 0;
    uint32_t totalClusters_ = 0;
    uint64_t freeBytes_ = 0;
    uint64_t totalBytes_ = 0;
    int pollInterval_ = 2000;
    os::TimerId pollTimer_ = 0;
    bool inTick_ = false;
    bool lastRefresh_ = false;
};

// True when the drive of Path can be read, asking Retry/Cancel while it
// cannot; paths without a drive letter are always ready.
bool CheckDriveReady(const std::string& Path);
// Asks whether to try the drive again; True on Retry.
bool AskRetryDrive(const std::string& Drive);

}  // namespace bramble
