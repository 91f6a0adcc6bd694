#include "engine/core/diskmanager.h"

#include <cctype>
#include <cstdio>

#include "engine/core/messages.h"

namespace bramble {

namespace {

std::string RootOf(const std::string& drive) {
    if (drive.empty()) return {};
    if (drive.back() == '\\') return drive;
    return drive + "\\";
}

// A network drive is not asked (it may stall on a slow link) and counts as
// read, with no space known.
bool ReadSpace(const std::string& root, unsigned driveType, os::DiskSpace& out) {
    if (driveType == os::dtRemote) {
        out = os::DiskSpace{};
        return true;
    }
    return os::GetDiskSpace(root, out);
}

// Without a known floppy form (every system but Windows 9x) a removable
// drive keeps the name of its type rather than "Unknown".
const std::string& NameFor(unsigned driveType, unsigned driveKind) {
    if (driveType == os::dtRemovable && (driveKind == 7 || driveKind == 8))
        return TDiskManager::DriveTypeNameOf(driveKind);
    return TDiskManager::DriveTypeNameOf(driveType);
}

}  // namespace

TDiskManager::TDiskManager(TComponent* AOwner) : TComponent(AOwner) {
    driveTypeName_ = DriveTypeNameOf(driveType_);
}

TDiskManager::~TDiskManager() { StopPollTimer(); }

const std::string& TDiskManager::DriveTypeNameOf(unsigned Value) {
    static const std::string names[] = {"Unknown", "None",   "Floppy",         "Fixed",         "Network",
                                        "CD-ROM",  "RAM",    "3\xBD Floppy", "5\xBC Floppy"};
    static const std::string empty;
    return Value < 9 ? names[Value] : empty;
}

std::string TDiskManager::SpannedLabel(int DiskNumber) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%.3d", DiskNumber);
    return std::string(kSpannedLabelPrefix) + digits;
}

int TDiskManager::ParseDiskNumber(const std::string& Label) {
    static const std::string marker = kSpannedLabelPrefix;
    size_t at = Label.rfind(marker);
    if (at == std::string::npos) return 0;
    std::string digits = Label.substr(at + marker.size());
    // Nothing after the marker is no number; more digits than fit are no
    // disk of a set either.
    if (digits.empty() || digits.size() > 9) return 0;
    for (char c : digits)
        if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
    return std::stoi(digits);
}

std::string TDiskManager::Root() const { return RootOf(drive_); }

void TDiskManager::SetDrive(const std::string& Value) {
    drive_ = Value;
    if (Polling()) {
        StopPollTimer();
        RefreshDiskInfo();
        StartPollTimer();
    } else {
        RefreshDiskInfo();
    }
    if (OnDriveChange) OnDriveChange(this);
}

bool TDiskManager::GetDiskSpace() {
    os::DiskSpace space;
    if (!ReadSpace(Root(), driveType_, space)) return false;
    sectorsPerCluster_ = space.sectorsPerCluster;
    bytesPerSector_ = space.bytesPerSector;
    freeClusters_ = space.freeClusters;
    totalClusters_ = space.totalClusters;
    freeBytes_ = space.freeBytes;
    totalBytes_ = space.totalBytes;
    return true;
}

bool TDiskManager::RefreshDiskInfo() {
    if (drive_.empty()) {
        volumeLabel_.clear();
        serialText_.clear();
        fileSystem_.clear();
        diskNumber_ = 0;
        driveType_ = os::dtNoRoot;
        driveKind_ = 0;
        driveTypeName_ = DriveTypeNameOf(driveType_);
        sectorsPerCluster_ = bytesPerSector_ = freeClusters_ = totalClusters_ = 0;
        freeBytes_ = totalBytes_ = 0;
        lastRefresh_ = true;
        return true;
    }
    const std::string root = Root();

    // Everything is read first and kept only when nothing was cancelled, so
    // a Cancel leaves the previous disk's values whole.
    os::VolumeInfo info;
    while (!os::GetVolumeInfo(root, info)) {
        if (!AskRetryDrive(drive_)) {
            lastRefresh_ = false;
            return false;
        }
    }
    const unsigned type = os::DriveType(root);
    unsigned kind = 0;
    os::DiskSpace space;
    if (type != os::dtRemovable) {
        while (!ReadSpace(root, type, space)) {
            if (!AskRetryDrive(drive_)) {
                lastRefresh_ = false;
                return false;
            }
        }
    } else {
        kind = os::GetFloppyKind(drive_);
        // A disk that was just read is there; its space is what a spanned
        // writer fills next, so it is read too, and unknown is none.
        if (!ReadSpace(root, type, space)) space = os::DiskSpace{};
    }

    volumeLabel_ = info.label;
    diskNumber_ = ParseDiskNumber(volumeLabel_);
    char serial[9];
    std::snprintf(serial, sizeof serial, "%08X", static_cast<unsigned>(info.serial));
    serialText_ = serial;
    fileSystem_ = info.fileSystem;
    driveType_ = static_cast<uint8_t>(type);
    driveKind_ = static_cast<uint8_t>(kind);
    driveTypeName_ = NameFor(type, kind);
    sectorsPerCluster_ = space.sectorsPerCluster;
    bytesPerSector_ = space.bytesPerSector;
    freeClusters_ = space.freeClusters;
    totalClusters_ = space.totalClusters;
    freeBytes_ = space.freeBytes;
    totalBytes_ = space.totalBytes;
    lastRefresh_ = true;
    return true;
}

bool TDiskManager::ReadRemovableDisk() {
    if (driveType_ != os::dtRemovable) return false;
    driveKind_ = static_cast<uint8_t>(os::GetFloppyKind(drive_));
    driveTypeName_ = NameFor(driveType_, driveKind_);
    while (!GetDiskSpace()) {
        if (!AskRetryDrive(drive_)) return false;
    }
    return true;
}

bool TDiskManager::WriteVolumeLabel(const std::string& Label) {
    if (Label != volumeLabel_ && !os::WriteVolumeLabel(Root(), Label)) return false;
    RefreshDiskInfo();
    return true;
}

void TDiskManager::SetPollInterval(int Value) {
    pollInterval_ = Value;
    if (Polling()) {
        StopPollTimer();
        StartPollTimer();
    }
}

void TDiskManager::SetPolling(bool Value) {
    if (Value == Polling()) return;
    if (Value) {
        RefreshDiskInfo();
        StartPollTimer();
    } else {
        StopPollTimer();
        RefreshDiskInfo();
    }
}

void TDiskManager::StartPollTimer() {
    if (pollTimer_ || pollInterval_ <= 0) return;
    if (driveType_ != os::dtRemovable && driveType_ != os::dtCDROM) return;
    polledSerial_ = serialText_;
    pollTimer_ = os::StartTimer(static_cast<unsigned>(pollInterval_), [this] { PollTick(); });
}

void TDiskManager::StopPollTimer() {
    if (!pollTimer_) return;
    os::StopTimer(pollTimer_);
    pollTimer_ = 0;
}

void TDiskManager::PollTick() {
    // The Retry/Cancel box of an empty drive runs a message loop of its own,
    // in which the timer keeps firing: one question at a time.
    if (inTick_) return;
    inTick_ = true;
    try {
        RefreshDiskInfo();
    } catch (...) {
        inTick_ = false;
        throw;
    }
    inTick_ = false;
    if (serialText_ == polledSerial_) return;
    polledSerial_ = serialText_;
    // Last: the handler may switch polling off or free this manager.
    if (OnDiskChange) OnDiskChange(this);
}

bool AskRetryDrive(const std::string& Drive) {
    const std::string reason = os::SysErrorMessage(os::LastError());
    std::string root = RootOf(Drive);
    for (char& c : root) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string text = root + MessageText(25160) + "\r\n\r\n" + reason;
    return os::AskRetryCancel(text, "") == os::Answer::Retry;
}

bool CheckDriveReady(const std::string& Path) {
    if (Path.size() < 3 || Path[1] != ':') return true;
    std::string drive = Path.substr(0, 2);
    os::VolumeInfo info;
    while (!os::GetVolumeInfo(RootOf(drive), info)) {
        if (!AskRetryDrive(drive)) return false;
    }
    return true;
}

}  // namespace bramble
