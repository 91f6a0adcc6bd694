// Enumerations, sets and event types shared by every engine component.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

namespace bramble {

using TDateTime = double;  // days since 1899-12-30; the fraction is the time of day

class TObject {
public:
    virtual ~TObject() = default;
};

// A small set over an enumeration whose ordinals are below 64.
template <typename E>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> values) {
        for (E v : values) insert(v);
    }
    constexpr bool contains(E v) const {
        auto o = static_cast<unsigned>(v);
        return o < 64 && ((bits_ >> o) & 1u);
    }
    constexpr void insert(E v) { bits_ |= uint64_t{1} << static_cast<unsigned>(v); }
    constexpr void erase(E v) { bits_ &= ~(uint64_t{1} << static_cast<unsigned>(v)); }
    constexpr bool empty() const { return bits_ == 0; }
    constexpr bool operator==(const TSet&) const = default;

private:
    uint64_t bits_ = 0;
};

enum TCompressMethod : uint8_t {
    cmStore, cmDeflate, cmFuse, cmFrozen1, cmFrozen5, cmMsZip, cmLzx, cmQuantum,
    cmUUEncode, cmXXEncode, cmTarred, cmGzipTar
};
enum TDeflateType : uint8_t { dtDeflateS, dtDeflateF, dtDeflateN, dtDeflateX };
enum TStoredDirNames : uint8_t {
    sdNone, sdAbsolute, sdAbsoluteNoDrv, sdRelative, sdRelativeStoreStart
};
enum TSwitch : uint8_t { swAdd, swMove, swDelete, swRead };
enum TOverwriteMode : uint8_t { omOverwrite, omSkip };
enum TDateAttribute : uint8_t { daFileDate, daSysDate, daMaxFileDate };
enum TDeleteOptions : uint8_t { doFinal, doAllowUndo };
enum TCpuType : uint8_t { cptAuto, cpt80286, cpt80386, cpt80486 };

// ---- events: Sender first, var parameters as references -------------------

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TOnError = std::function<void(TObject* Sender, const std::string& FN, const std::string& MsgEx,
                                    const std::string& VolumeID, int ECode)>;
using TOnElapsedTime = std::function<void(TObject* Sender, float ElapsedTime)>;
using TOnProgress = std::function<void(TObject* Sender, uint8_t ProgressByFile, uint8_t ProgressByArchive)>;
using TOnBegin = std::function<void(TObject* Sender, const std::string& FN, int Count, bool& Extract)>;
using TOnEnd = std::function<void(TObject* Sender, const std::string& FN, bool CRC_PASS)>;
using TOnFileExists = std::function<void(TObject* Sender, const std::string& FN, TDateTime FileDate,
                                         TOverwriteMode& OverwriteMode)>;
using TOnRenameFile = std::function<void(TObject* Sender, std::string& Filename)>;
using TOnGetPassword = std::function<void(TObject* Sender, const std::string& FN, std::string& Password,
                                          bool& TryAgain)>;
using TOnNextVolume = std::function<void(TObject* Sender, std::string& VolumeName, const std::string& VolumeID,
                                         bool FExists, bool& Cancel)>;
using TOnGetZipFirstDisk = std::function<void(TObject* Sender, bool& Cancel)>;
using TOnGetZipNextDisk = std::function<void(TObject* Sender, const std::string& VolumeName, bool& Cancel)>;
using TOnGetZipLastDisk = std::function<void(TObject* Sender, bool& Cancel)>;
using TOnInsertDiskette = std::function<void(TObject* Sender, const std::string& VolumeName, int TotalSpace,
                                             int FreeSpace, bool& Cancel)>;
using TOnNonWriteableArchive = std::function<void(TObject* Sender, const std::string& ArchiveFile,
                                                  bool& WriteToFile)>;
using TOnRecurseDir = std::function<void(TObject* Sender, const std::string& Directory)>;
using TOnReplaceFile = std::function<void(TObject* Sender, const std::string& OldFN, const std::string& FN,
                                          TDateTime OldDate, TDateTime NewDate, int OldFileSize,
                                          int NewFileSize, int OldAttr, int NewAttr, bool& Replace)>;
using TOnRead = std::function<void(TObject* Sender, int Offset, int Filenum)>;
using TOnReadFile = std::function<void(TObject* Sender, const std::string& Filename)>;
using TOnTotals = std::function<void(TObject* Sender, int NumFiles)>;
using TOnCorruptZipHeader = std::function<void(TObject* Sender, uint8_t HeadFlag, bool& Cancel)>;
using TOnIntegrityStatus = std::function<void(TObject* Sender, const std::string& FN, bool PassFail)>;
using TOnIntegrityEnd = std::function<void(TObject* Sender, const std::string& FN)>;

// Restores an event (or any value) on every way out of a scope, also when an
// exception passes: for handlers a component swaps during one of its runs.
template <typename T>
class TSwapGuard {
public:
    TSwapGuard(T& slot, T replacement) : slot_(slot), saved_(std::move(slot)) {
        slot_ = std::move(replacement);
    }
    ~TSwapGuard() { slot_ = std::move(saved_); }
    TSwapGuard(const TSwapGuard&) = delete;
    TSwapGuard& operator=(const TSwapGuard&) = delete;

private:
    T& slot_;
    T saved_;
};

// Clamps an engine-internal 64-bit size to a published 32-bit field.
inline int ClampToInt(int64_t v) {
    if (v > 0x7FFFFFFF) return 0x7FFFFFFF;
    if (v < -0x7FFFFFFF - 1) return -0x7FFFFFFF - 1;
    return static_cast<int>(v);
}

}  // namespace bramble
