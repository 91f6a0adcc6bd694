// What every archive component shares above block I/O: file specs, output
// targets, events, the error model, cancel, progress, volumes and names.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/entryinfo.h"
#include "engine/core/messages.h"
#include "engine/core/readwrite.h"
#include "engine/core/types.h"

namespace bramble {

class TZipCommon : public TReadWriteObj {
public:
    explicit TZipCommon(TComponent* AOwner = nullptr);
    ~TZipCommon() override;

    // ---- published properties ----
    bool ConfirmOverwrites() const { return confirmOverwrites_; }
    void SetConfirmOverwrites(bool v) { confirmOverwrites_ = v; }
    TDateAttribute DateAttribute() const { return dateAttribute_; }
    void SetDateAttribute(TDateAttribute v) { dateAttribute_ = v; }
    TDeleteOptions DeleteOptions() const { return deleteOptions_; }
    void SetDeleteOptions(TDeleteOptions v) { deleteOptions_ = v; }
    const std::vector<std::string>& ExcludeSpec() const { return excludeSpec_; }
    std::vector<std::string>& ExcludeSpec() { return excludeSpec_; }
    // Both setters normalise the masks they are given (file-name parts,
    // '\' separators, no empty entries) in a copy, not in the caller's own
    // list: a caller that hands over its list, as the application does with
    // its selection, keeps it as it was.
    void SetExcludeSpec(std::vector<std::string> v);
    const std::vector<std::string>& FileSpec() const { return fileSpec_; }
    std::vector<std::string>& FileSpec() { return fileSpec_; }
    void SetFileSpec(std::vector<std::string> v);
    const std::string& ExtractDir() const { return extractDir_; }
    void SetExtractDir(const std::string& v);
    bool RecurseDirs() const { return recurseDirs_; }
    void SetRecurseDirs(bool v) { recurseDirs_ = v; }
    TOverwriteMode OverwriteMode() const { return overwriteMode_; }
    void SetOverwriteMode(TOverwriteMode v) { overwriteMode_ = v; }

    bool Cancel() const { return cancel_; }
    // The tester passes a cancel on to the reader it runs.
    virtual void SetCancel(bool Value);
    // Sets the flag without telling anyone (a run starting afresh).
    void SetCancelQuietly(bool Value) { cancel_ = Value; }
    const std::string& OutputName() const { return outputName_; }
    // The name the current entry's events carry: its output path when a
    // reader writes files, its stored name in a test; set as the entry
    // begins. Errors found inside the entry's data are reported under it.
    const std::string& EntryName() const { return entryName_; }
    uint8_t ProgressByFile() const { return progressByFile_; }
    uint8_t ProgressByArchive() const { return progressByArchive_; }

    // ---- events ----
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TOnBegin OnBegin;
    TOnEnd OnEnd;
    TOnError OnError;
    TOnElapsedTime OnElapsedTime;
    TOnFileExists OnFileExists;
    TOnGetPassword OnGetPassword;
    TOnGetZipFirstDisk OnGetZipFirstDisk;
    TOnGetZipNextDisk OnGetZipNextDisk;
    TOnGetZipLastDisk OnGetZipLastDisk;
    TOnInsertDiskette OnInsertDiskette;
    TOnNextVolume OnNextVolume;
    TOnProgress OnProgress;
    TOnRead OnRead;
    TOnRenameFile OnRenameCompressedFile;
    // The lister, the ZIP reader and the tester ask it about a ZIP whose
    // headers detection did not all find.
    TOnCorruptZipHeader OnCorruptZipHeader;

    std::function<void(int64_t Done, int64_t Total, int64_t ArchiveTotal)> ProgressHook;

    // ---- virtual operations ----
    // The output path of a name stored in an archive, also kept in
    // OutputName; empty (after reporting 25243) when nothing safe is left.
    // Each part loses the dots and blanks at its end, as Windows drops
    // them; characters Windows refuses become '_' and device names get a
    // leading '_', which a run writing files reports with 25243.
    virtual std::string ConvertFileName(const std::string& Name);
    // The bytes of the whole run, when the component counts them (0 when
    // it does not): what the archive progress is a part of.
    virtual int64_t RunTotal() const { return 0; }
    // The same for a stored name already turned into ANSI (with '\' or '/'
    // separators), for formats that mark names as UTF-8.
    std::string ConvertAnsiName(const std::string& AnsiName);
    virtual std::string GetVolumeName(const std::string& Name, int N);
    virtual TDateTime PackedDateToDateTime(uint32_t Packed);
    virtual bool OpenOutput(const std::string& Name, TStream* Stream);
    [[noreturn]] virtual void RaiseError(const std::string& FN, const std::string& MsgEx,
                                         const std::string& VolumeID, int ECode);
    virtual void ReportError(const std::string& FN, const std::string& MsgEx, const std::string& VolumeID,
                             int ECode);

    bool CloseOutput();
    // The stream OpenOutput made for target 2 (a temporary file).
    TTempFileStream* TempOutput() { return tempOutput_.get(); }

    // The current entry (lister and writers fill it before OnRead).
    TEntryInfo EntryInfo;
    // Display name of a method by the archive kind and the stored code;
    // Flags carries a ZIP flag word (deflate level bits), an ARC header's
    // method byte, an ARJ file type or the RAR/ZIP attributes as the kind
    // needs.
    std::string CompressMethodName(uint16_t Method, uint32_t Flags) const;
    static std::string DeflateMethodName(uint32_t Flags);

    bool MatchesFileSpec(const std::string& Name, bool NameOnly) const;
    bool MoreToFind(int Found) const;
    // Done of Total bytes of the current entry; ArchiveTotal is what the
    // run still had to do when the entry began, the entry included.
    void DoProgress(int64_t Done, int64_t Total, int64_t ArchiveTotal);
    void DefaultProgress(int64_t Done, int64_t Total, int64_t ArchiveTotal);
    static uint8_t CalcRatio(int64_t Packed, int64_t Unpacked);
    bool EraseFile(const std::string& Name, bool AllowUndo);
    std::string MakeTempFileName();
    // The shell's icon (its index in the system image list) for the
    // current entry's file name, or for Name, and its type name for Name,
    // asked by the name alone: the file need not exist. -1 and an empty
    // name where the shell has none (natively always). The program's entry
    // list shows them.
    int GetFileIconIndex() const { return GetFileIconIndex(EntryInfo.FileName); }
    static int GetFileIconIndex(const std::string& Name);
    static std::string GetFileTypeName(const std::string& Name);
    const std::string& GetArcTypeName() const { return ArcTypeName(arcType_); }
    static int ArcExtIndex(const std::string& Ext) { return bramble::ArcExtIndex(Ext); }

    bool AskNextVolume(std::string& VolumeName, int VolumeID);
    bool OpenNextVolume(std::string& VolumeName);
    bool ReopenSpannedDisk();

    // Fires an event that waits for the user with the run timer paused.
    template <typename F>
    void Paused(F&& f) {
        timer_.Pause();
        struct Resume { TdvxTimer& t; ~Resume() { t.Resume(); } } resume{timer_};
        f();
    }

protected:
    bool confirmOverwrites_ = true;
    TDateAttribute dateAttribute_ = daFileDate;
    TDeleteOptions deleteOptions_ = doAllowUndo;
    std::vector<std::string> excludeSpec_;
    std::vector<std::string> fileSpec_;
    std::string extractDir_;
    bool recurseDirs_ = false;
    TOverwriteMode overwriteMode_ = omOverwrite;
    bool cancel_ = false;
    std::string outputName_;
    std::string entryName_;
    uint8_t progressByFile_ = 0;
    uint8_t progressByArchive_ = 0;
    std::unique_ptr<TTempFileStream> tempOutput_;
    // Names written to the memory stream (target 1), one per entry.
    std::vector<std::string> memoryOutputs_;
};

// Holds one run of a component: sets the running-component reference,
// resets Cancel, starts the timer and fires OnActivate; on every way out
// stops the timer, fires OnDeactivate and OnElapsedTime and clears the
// reference. A run while another is under way is refused (26859), unless
// the one running hands over to it (the tester to its reader) and gets the
// reference back afterwards. No text of the message table says that a job
// is running; "Nothing to do" is the one that is true of the refused run
// (it does nothing) without naming a failure that did not happen.
class TRunScope {
public:
    explicit TRunScope(TZipCommon& c, TZipCommon* handOverFrom = nullptr);
    ~TRunScope();
    TRunScope(const TRunScope&) = delete;
    TRunScope& operator=(const TRunScope&) = delete;

private:
    TZipCommon& c_;
    TZipCommon* previous_;
};

}  // namespace bramble
