#include "engine/core/diskmanager.h"

#include <cctype>
#include <cstdio>

#include "engine/core/messages.h"
#include "engine/core/os.h"

namespace bramble {

namespace {

bool ReadVolume(const std::string& root, os::VolumeInfo& info) { return os::GetVolumeInfo(root, info); }

std::string RootOf(const std::string& drive) {
    if (drive.empty()) return {};
    if (drive.back() == '\\') return drive;
    return drive + "\\";
}

}  // namespace

TDiskManager::TDiskManager(TComponent* AOwner) : TComponent(AOwner) {}

const std::string& TDiskManager::DriveTypeNameOf(unsigned Value) {
    static const std::string names[] = {"Unknown", "None",   "Floppy",         "Fixed",         "Network",
                                        "CD-ROM",  "RAM",    "3\xBD Floppy", "5\xBC Floppy"};
    static const std::string empty;
    return Value < 9 ? names[Value] : empty;
}

int TDiskManager::DiskNumberFromLabel(const std::string& Label) {
    static const std::string marker = "PKBACK# ";
    size_t at = Label.rfind(marker);
    if (at == std::string::npos) return 0;
    std::string digits = Label.substr(at + marker.size());
    if (digits.empty() || digits.size() > 9) return 0;
    for (char c : digits)
        if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
    return std::stoi(digits);
}

std::string TDiskManager::Root() const { return RootOf(drive_); }

void TDiskManager::SetDrive(const std::string& Value) {
    drive_ = Value;
    RefreshDiskInfo();
    if (OnDriveChange) OnDriveChange(this);
}

bool TDiskManager::GetDiskSpace() {
    if (driveType_ == os::dtRemote) return true;
    os::DiskSpace space;
    if (!os::GetDiskSpace(Root(), space)) return false;
    uint64_t unit = uint64_t{space.bytesPerSector} * space.sectorsPerCluster;
    auto clamp = [](uint64_t v) { return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v); };
    freeBytes_ = clamp(unit * space.freeClusters);
    totalBytes_ = clamp(unit * space.totalClusters);
    return true;
}

bool TDiskManager::RefreshDiskInfo() {
    if (drive_.empty()) {
        driveType_ = 1;
        driveTypeName_ = DriveTypeNameOf(driveType_);
        lastRefresh_ = true;
        return true;
    }
    os::VolumeInfo info;
    while (!ReadVolume(Root(), info)) {
        if (!AskRetryDrive(drive_)) {
            lastRefresh_ = false;
            return false;
        }
    }
    volumeLabel_ = info.label;
    diskNumber_ = DiskNumberFromLabel(volumeLabel_);
    char serial[9];
    std::snprintf(serial, sizeof serial, "%08X", info.serial);
    serialText_ = serial;
    fileSystem_ = info.fileSystem;
    driveType_ = static_cast<uint8_t>(os::DriveType(Root()));
    if (driveType_ != os::dtRemovable) {
        while (!GetDiskSpace()) {
            if (!AskRetryDrive(drive_)) {
                lastRefresh_ = false;
                return false;
            }
        }
        driveTypeName_ = DriveTypeNameOf(driveType_);
    } else {
        driveKind_ = static_cast<uint8_t>(os::GetFloppyKind(drive_));
        GetDiskSpace();
        driveTypeName_ = DriveTypeNameOf(driveKind_);
    }
    lastRefresh_ = true;
    return true;
}

bool TDiskManager::WriteVolumeLabel(const std::string& Label) {
    if (Label != volumeLabel_ && !os::WriteVolumeLabel(Root(), Label)) return false;
    RefreshDiskInfo();
    return true;
}

bool AskRetryDrive(const std::string& Drive) {
    std::string root = RootOf(Drive);
    for (char& c : root) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string text = root + " " + MessageText(25160) + "\r\n\r\n" + os::SysErrorMessage(os::LastError());
    return os::AskRetryCancel(text, "") == os::Answer::Retry;
}

bool CheckDriveReady(const std::string& Path) {
    if (Path.size() < 3 || Path[1] != ':') return true;
    std::string drive = Path.substr(0, 2);
    os::VolumeInfo info;
    while (!ReadVolume(RootOf(drive), info)) {
        if (!AskRetryDrive(drive)) return false;
    }
    return true;
}

}  // namespace bramble
