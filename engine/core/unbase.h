// The base of every reader and of the tester: the shared extract/test run.
// A reader overrides ExtractArchive only; the driver opens the archive, fires
// the run events, decides per entry whether and where it is written
// (PrepareExtractFile), restores stamps and copies stored data.
#pragma once

#include "engine/core/zipcommon.h"

namespace bramble {

// What a reader does with the entry PrepareExtractFile was asked about.
enum TPrepareResult : uint8_t {
    prExtract,  // open the output (OutputName for targets 0 and 2) and decode
    prSkip,     // leave this entry out (existing output kept, or OnBegin said no)
    prStop      // the run was cancelled: stop walking the entries
};

class TUnBase : public TZipCommon {
public:
    explicit TUnBase(TComponent* AOwner = nullptr) : TZipCommon(AOwner) {}

    bool RestoreFileAttr() const { return restoreFileAttr_; }
    void SetRestoreFileAttr(bool v) { restoreFileAttr_ = v; }
    TCpuType CpuType() const { return cpuType_; }
    void SetCpuType(TCpuType v) { cpuType_ = v; }
    uint8_t OutputDriveType() const { return outputDriveType_; }
    uint32_t MaxFileDate() const { return maxFileDate_; }
    TdvxFileList& FileList() { return fileList_; }
    // The label of the disk the chosen entries were listed from, as the
    // application knew it when it started the run; empty when it did not.
    const std::string& VolumeLabel() const { return volumeLabel_; }
    void SetVolumeLabel(const std::string& v) { volumeLabel_ = v; }

    // Where the walk of the archive stands and where it ends: set from
    // ArcOffset (counted from 1) and ArcFileSize when a run starts.
    int64_t ScanPosition() const { return scanPosition_; }
    void SetScanPosition(int64_t v) { scanPosition_ = v; }
    int64_t ScanEnd() const { return scanEnd_; }
    void SetScanEnd(int64_t v) { scanEnd_ = v; }
    // Bytes of output still to come in this run (for the archive progress);
    // readers set it before their extraction pass and lower it when they
    // skip an entry. TotalToDo is what it was set to.
    int64_t BytesToDo() const { return bytesToDo_; }
    void SetBytesToDo(int64_t v) {
        bytesToDo_ = v;
        totalToDo_ = v;
    }
    void SkipBytes(int64_t v) { bytesToDo_ -= v; }
    int64_t RunTotal() const override { return totalToDo_; }

    // Writes the entries to files; the number of entries handled.
    // HandOverFrom: a component whose run hands over to this one (the
    // tester to its reader).
    int Extract(TZipCommon* HandOverFrom = nullptr);
    // Decodes and checks every entry, writing nothing.
    int Test(TZipCommon* HandOverFrom = nullptr);

    // Called by a reader before each entry it would write, once OutputName
    // holds the entry's output path (ConvertFileName). FN is the name shown
    // in the events; it takes the answer of OnRenameCompressedFile. Exists
    // tells whether the output exists (always False unless the output goes
    // to files or the temporary stream). FileDate is the entry's date. An
    // output that is the archive itself fails the entry (25171) and is
    // skipped.
    TPrepareResult PrepareExtractFile(std::string& FN, bool& Exists, TDateTime FileDate);

    // After an entry was written to a file (target 0 only): closes the
    // output, sets its date by DateAttribute and, with RestoreFileAttr, the
    // DOS attribute bits read-only, hidden, system and archive of Attr
    // (archives made on Unix keep the mode in the high 16 bits). Attributes
    // that are only the archive bit are left as the file got them.
    void RestoreFileStamp(uint32_t Attr, uint32_t DosDate, const std::string& FN);
    // Ends an entry whose output was opened as Target: the file's stamp
    // restored (target 0) or the output closed, then EndEntry with Pass;
    // with no OnEnd, an entry that failed (its check, or its decoding)
    // reports 25151.
    void FinishEntry(const std::string& FN, const std::string& Target, bool Pass, uint32_t Attr, uint32_t DosDate);

    // Opens the output of an entry about to be decoded (OpenOutput with
    // Target). One the file system refuses (a name or path it cannot hold,
    // a file where a folder should be) fails only this entry: 25235 under
    // Target, OnEnd with False for FN, and Size taken off the bytes to do;
    // the caller goes on with the next entry.
    bool OpenEntryOutput(const std::string& FN, const std::string& Target, int64_t Size);
    // That failure alone, for a reader that opened the output itself.
    void OutputRefused(const std::string& FN, const std::string& Target, int64_t Size);
    // An entry the reader refuses, or cannot finish, fails like one whose
    // check failed: Code reported under FN, Size taken off the bytes to do,
    // and OnEnd with False. Without it a run that lost the entry would end
    // as if all had gone well.
    void EntryFailed(const std::string& FN, int Code, int64_t Size);
    // An entry left with no name that can be written inside the target
    // (ConvertFileName has said so): it fails the same way, under Shown,
    // the name as the events show it.
    void NameRefused(const std::string& Shown, int64_t Size);
    // The output of an entry that failed while it was being written: closed,
    // and for a file removed, so no cut copy passes for the entry.
    void DiscardOutput();
    // The verdict on the current entry, the one way every entry ends: one
    // that failed first loses the file it wrote (a cut or wrong copy would
    // pass for the entry), then OnEnd hears of it. False when there is no
    // OnEnd, for the reader to report the failure its own way.
    bool EndEntry(const std::string& FN, bool Pass);
    // A file the entry got without OpenOutput (an outside library wrote it),
    // to go if the entry fails.
    void EntryWroteFile(const std::string& Name) { entryFile_ = Name; }

    // Copies PackedSize stored bytes from the input (the archive, or Input
    // when InputSource takes the stream handed in) to the output, folding
    // the output into the check value of CrcKind. With Decrypt the ARJ kinds
    // are ungarbled on read and the ZIP-cipher kinds deciphered on write.
    // False when cancelled; input that ends early raises 25236.
    bool UnStore(int64_t PackedSize, int CrcKind, bool Decrypt, TStream* Input = nullptr);

    // The stream the hooks write to for the current target (the temporary
    // stream of target 2; nullptr otherwise, the hook picks the target).
    TStream* OutputStreamArg() { return OutputTarget == otTempStream ? TempOutput() : nullptr; }

    // Every reader overrides it: walks the entries and extracts or tests them.
    virtual void ExtractArchive() {}

    // Target 0: the file made is the current entry's until its verdict.
    bool OpenOutput(const std::string& Name, TStream* Stream) override;

protected:
    int ExecuteExtract(TZipCommon* HandOverFrom);
    // The entry's output could not take the next block: 25136 names the
    // file, and the file goes (a cut copy would pass for the entry). The
    // reader then ends the run: the next entry would meet the same full
    // disk.
    void OutputWriteFailed(TStream* Output) override;
    // Progress of the current entry (Done of Total) and of the whole run.
    void ReportProgress(int64_t Done, int64_t Total);

    bool restoreFileAttr_ = true;
    TCpuType cpuType_ = cptAuto;
    uint8_t outputDriveType_ = 0;
    uint32_t maxFileDate_ = 0;
    TdvxFileList fileList_;
    std::string volumeLabel_;
    int64_t scanPosition_ = 1;
    int64_t scanEnd_ = 0;
    int64_t bytesToDo_ = 0;
    int64_t totalToDo_ = 0;

private:
    // The file the current entry made and has had no verdict on; empty when
    // it made none (refused before its output, or output to no file).
    std::string entryFile_;
};

// The drive part of a path as the disk manager takes it: "C:" for a drive
// letter, "\\server\share" for a UNC path, the current directory's drive
// otherwise (empty natively).
std::string DriveOfPath(const std::string& Path);

}  // namespace bramble
