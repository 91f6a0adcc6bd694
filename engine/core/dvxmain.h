// The root of every archive component: the archive's name and kind, its
// drive, passwords, the gathering attribute filter and the run timer.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/arctypes.h"
#include "engine/core/component.h"
#include "engine/core/diskmanager.h"
#include "engine/core/streams.h"

namespace bramble {

// The attribute filter for gathering files. The flags and the mask keep each
// other in step by the rules below; ftCompressed and ftTemporary are fixed.
class TdvxFileAttr {
public:
    TdvxFileAttr();

    bool ftArchive() const { return archive_; }
    bool ftHidden() const { return hidden_; }
    bool ftReadOnly() const { return readOnly_; }
    bool ftSysFile() const { return sysFile_; }
    bool ftCompressed() const { return true; }
    bool ftVolumeID() const { return volumeID_; }
    bool ftDirectory() const { return directory_; }
    bool ftTemporary() const { return false; }
    bool ftAnyFile() const { return anyFile_; }
    bool ftZeroAttr() const { return zeroAttr_; }
    int ftFileAttr() const { return fileAttr_; }

    void SetftArchive(bool v) { SetFlag(archive_, v); }
    void SetftHidden(bool v) { SetFlag(hidden_, v); }
    void SetftReadOnly(bool v) { SetFlag(readOnly_, v); }
    void SetftSysFile(bool v) { SetFlag(sysFile_, v); }
    void SetftVolumeID(bool v) { SetFlag(volumeID_, v); }
    void SetftDirectory(bool v) { SetFlag(directory_, v); }
    void SetftZeroAttr(bool v) { SetFlag(zeroAttr_, v); }
    void SetftCompressed(bool) {}
    void SetftTemporary(bool) {}
    void SetftAnyFile(bool v);
    void SetftFileAttr(int v);

    void Assign(const TdvxFileAttr& other) { *this = other; }

private:
    void SetFlag(bool& flag, bool v);
    void Recompute();
    void FlagsFromMask(int mask);

    bool archive_ = false, hidden_ = false, readOnly_ = false, sysFile_ = false;
    bool volumeID_ = false, directory_ = false, anyFile_ = true, zeroAttr_ = true;
    int fileAttr_ = 63;
};

// Run time of a component, without the time spent waiting for the user.
class TdvxTimer {
public:
    void Start();
    void Stop();
    void Pause();
    void Resume();
    float ElapsedTime() const { return elapsed_; }
    bool Running() const { return start_ != 0; }

private:
    uint32_t start_ = 0;
    uint32_t pause_ = 0;
    bool paused_ = false;
    float elapsed_ = 0;
};

// One entry a reader has chosen to extract: where it is and what it is.
struct TdvxFileRec {
    int64_t Offset = 0;
    int64_t PackedSize = 0;
    int64_t UnpackedSize = 0;
    uint32_t CRC = 0;
    uint32_t DosDate = 0;
    uint32_t Attr = 0;
    uint16_t Method = 0;
    uint16_t Flags = 0;
    std::string Name;
};

class TdvxFileList {
public:
    void Add(const TdvxFileRec& rec) { items_.push_back(rec); }
    void Clear() { items_.clear(); }
    int Count() const { return static_cast<int>(items_.size()); }
    const TdvxFileRec& operator[](int i) const { return items_[static_cast<size_t>(i)]; }
    TdvxFileRec& operator[](int i) { return items_[static_cast<size_t>(i)]; }

private:
    std::vector<TdvxFileRec> items_;
};

class TdvxMain : public TComponent {
public:
    explicit TdvxMain(TComponent* AOwner = nullptr);
    ~TdvxMain() override;

    const std::string& About() const { return about_; }

    const std::string& ArchiveFile() const { return archiveFile_; }
    virtual void SetArchiveFile(const std::string& Value);
    TArcType ArcType() const { return arcType_; }
    virtual void SetArcType(TArcType Value);

    bool UseStoredDirs() const { return useStoredDirs_; }
    void SetUseStoredDirs(bool v) { useStoredDirs_ = v; }
    int PasswordAttempts() const { return passwordAttempts_; }
    void SetPasswordAttempts(int v) { passwordAttempts_ = v; }
    TdvxFileAttr& FileAttribute() { return fileAttribute_; }
    void SetFileAttribute(const TdvxFileAttr& v) { fileAttribute_.Assign(v); }
    int ZipCmntBufSize() const { return zipCmntBufSize_; }
    void SetZipCmntBufSize(int v);
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& v) { password_ = v; }
    const std::vector<std::string>& Passwords() const { return passwords_; }
    std::vector<std::string>& Passwords() { return passwords_; }
    void SetPasswords(const std::vector<std::string>& v) { passwords_ = v; }

    TDiskManager& DiskManager() { return *diskManager_; }
    TdvxTimer& ElapsedTimer() { return timer_; }

    // What detection found.
    int64_t ArcOffset() const { return arcOffset_; }
    int64_t ArcFileSize() const { return arcFileSize_; }
    uint8_t ZipHeadFlags() const { return zipHeadFlags_; }
    int ArcFileDate() const { return arcFileDate_; }
    const std::array<uint8_t, 22>& ZipEndRecord() const { return zipEndRecord_; }
    const std::array<uint8_t, 46>& ZipCentralRecord() const { return zipCentralRecord_; }
    const std::array<uint8_t, 30>& ZipLocalRecord() const { return zipLocalRecord_; }
    int VolumeNumber() const { return volumeNumber_; }
    char VolumeLetter() const { return volumeLetter_; }

    int FileCount() const { return fileCount_; }
    int64_t TotalPacked() const { return totalPacked_; }
    int64_t TotalUnpacked() const { return totalUnpacked_; }

    void ParseVolumeNumber();
    void RefreshArchiveDrive();

protected:
    void DetectArcType();
    TArcType ClassifySignature(bool InSfx, const uint8_t* Header, size_t Available, int64_t& Offset,
                               uint32_t Signature);

    std::string about_;
    std::string archiveFile_;
    TArcType arcType_ = atNA;
    bool useStoredDirs_ = true;
    int passwordAttempts_ = 3;
    TdvxFileAttr fileAttribute_;
    int zipCmntBufSize_ = 0;
    std::string password_;
    std::vector<std::string> passwords_;
    std::unique_ptr<TDiskManager> diskManager_;
    TdvxTimer timer_;

    int64_t arcOffset_ = 1;
    int64_t arcFileSize_ = 0;
    uint8_t zipHeadFlags_ = 0;
    int arcFileDate_ = 29221;
    std::array<uint8_t, 22> zipEndRecord_{};
    std::array<uint8_t, 46> zipCentralRecord_{};
    std::array<uint8_t, 30> zipLocalRecord_{};
    int volumeNumber_ = 1;
    char volumeLetter_ = '\0';

    int fileCount_ = 0;
    int64_t totalPacked_ = 0;
    int64_t totalUnpacked_ = 0;
    int passwordIndex_ = 1;

private:
    // Detection's working state: the open file, what it read, its size.
    struct Detector;
    friend struct Detector;
};

// The component whose run is under way, or nullptr. One run at a time in
// the process.
class TZipCommon;
TZipCommon* RunningComponent();
void SetRunningComponent(TZipCommon* c);

}  // namespace bramble
