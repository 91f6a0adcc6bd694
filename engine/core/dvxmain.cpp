#include "engine/core/dvxmain.h"

#include <cctype>

#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

namespace {
TZipCommon* gRunning = nullptr;
}

TZipCommon* RunningComponent() { return gRunning; }
void SetRunningComponent(TZipCommon* c) { gRunning = c; }

// ---- TdvxFileAttr ---------------------------------------------------------

TdvxFileAttr::TdvxFileAttr() { Recompute(); }

void TdvxFileAttr::FlagsFromMask(int mask) {
    archive_ = mask & 0x20;
    hidden_ = mask & 0x02;
    readOnly_ = mask & 0x01;
    sysFile_ = mask & 0x04;
    directory_ = mask & 0x10;
    volumeID_ = mask & 0x08;
}

void TdvxFileAttr::Recompute() {
    if (anyFile_) {
        fileAttr_ = 63;
    } else {
        fileAttr_ = (archive_ ? 0x20 : 0) + (hidden_ ? 0x02 : 0) + (readOnly_ ? 0x01 : 0) +
                    (sysFile_ ? 0x04 : 0) + (directory_ ? 0x10 : 0) + (volumeID_ ? 0x08 : 0);
    }
    FlagsFromMask(fileAttr_);
    if (anyFile_) zeroAttr_ = true;
}

void TdvxFileAttr::SetFlag(bool& flag, bool v) {
    flag = v;
    bool all = archive_ && hidden_ && readOnly_ && sysFile_ && volumeID_ && zeroAttr_;
    bool none = !archive_ && !hidden_ && !readOnly_ && !sysFile_ && !volumeID_ && !zeroAttr_;
    if (all || none)
        anyFile_ = true;
    else if (!v)
        anyFile_ = false;
    Recompute();
}

void TdvxFileAttr::SetftAnyFile(bool v) {
    anyFile_ = v;
    Recompute();
}

void TdvxFileAttr::SetftFileAttr(int v) {
    if (v == 0 || (v & 0x3F) == 0x3F || (v & 0x80)) {
        anyFile_ = true;
    } else {
        anyFile_ = false;
        FlagsFromMask(v);
    }
    Recompute();
}

// ---- TdvxTimer ------------------------------------------------------------

void TdvxTimer::Start() {
    elapsed_ = 0;
    paused_ = false;
    start_ = os::TickCount();
    if (start_ == 0) start_ = 1;  // 0 means "not running"
}

void TdvxTimer::Stop() {
    if (!Running()) return;
    if (paused_) Resume();
    elapsed_ = static_cast<float>(static_cast<uint32_t>(os::TickCount() - start_) / 1000.0);
    start_ = 0;
}

void TdvxTimer::Pause() {
    if (!Running() || paused_) return;
    pause_ = os::TickCount();
    paused_ = true;
}

void TdvxTimer::Resume() {
    if (!Running() || !paused_) return;
    start_ += os::TickCount() - pause_;
    if (start_ == 0) start_ = 1;
    paused_ = false;
}

// ---- TdvxMain -------------------------------------------------------------

TdvxMain::TdvxMain(TComponent* AOwner)
    : TComponent(AOwner), about_("Bramble archive engine"), diskManager_(std::make_unique<TDiskManager>()) {}

TdvxMain::~TdvxMain() = default;

void TdvxMain::SetArchiveFile(const std::string& Value) {
    if (Value.empty()) {
        archiveFile_.clear();
        SetRunningComponent(nullptr);
        arcType_ = atNA;
        return;
    }
    fileCount_ = 0;
    volumeNumber_ = 1;
    archiveFile_ = SlashToBackslash(Value);
    SetArcType(atUnknown);
    ParseVolumeNumber();
}

void TdvxMain::SetArcType(TArcType) { DetectArcType(); }

void TdvxMain::SetZipCmntBufSize(int v) {
    if (v < 2000) v = 2000;
    if (v > 32767) v = 32767;
    zipCmntBufSize_ = v;
}

void TdvxMain::RefreshArchiveDrive() {
    std::string drive;
    const std::string& name = archiveFile_;
    if (IsUNCPath(name)) {
        // \\server\share: the share root is the drive.
        size_t p = name.find('\\', 2);
        p = p == std::string::npos ? std::string::npos : name.find('\\', p + 1);
        drive = p == std::string::npos ? name : name.substr(0, p);
    } else if (name.find(':', 1) != std::string::npos) {
        drive = name.substr(0, name.find(':', 1) + 1);
    } else {
        std::string cur = os::CurrentDir();
        if (cur.size() >= 2 && cur[1] == ':') drive = cur.substr(0, 2);
    }
    diskManager_->SetDrive(drive);
}

void TdvxMain::ParseVolumeNumber() {
    volumeNumber_ = 0;
    std::string fallback;
    switch (arcType_) {
        case atACE: volumeLetter_ = 'C'; fallback = "Ace"; break;
        case atArj: volumeLetter_ = 'a'; fallback = "Arj"; break;
        case atRar:
        case atRarExe: volumeLetter_ = 'q'; fallback = "Rar"; break;
        default: return;
    }
    std::string ext = ExtractFileExt(archiveFile_);
    if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
    if (ext.empty()) ext = fallback;

    bool found = false;
    int number = 0;
    for (size_t i = ext.size(); i-- > 0;) {
        if (!std::isdigit(static_cast<unsigned char>(ext[i]))) continue;
        // Only the run of digits from here on counts, and it cannot overflow.
        int64_t v = 0;
        for (size_t j = i; j < ext.size() && std::isdigit(static_cast<unsigned char>(ext[j])); ++j) {
            v = v * 10 + (ext[j] - '0');
            if (v > 99999999) v = 99999999;
        }
        number = static_cast<int>(v);
        found = true;
        if (i == ext.size() - 1) volumeLetter_ = ext[0];
    }
    if (found)
        volumeNumber_ = number + 1;
    else
        volumeNumber_ = arcType_ == atArj ? 1 : 0;
}

}  // namespace bramble
