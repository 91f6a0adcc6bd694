// The base of every writer: the shared compress run. It gathers the source
// files, builds the new archive in a temporary file, copies the kept entries
// of the old archive, renames the result over the target and, for a move,
// deletes the sources that went into it. A writer fills the slots.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/core/zipcommon.h"

namespace bramble {

// One entry of the archive being written: a file gathered in this run or an
// entry kept from the old archive.
class THeadObject {
public:
    enum TState : uint8_t {
        hsNew = 0,      // gathered in this run: CompressFile writes it
        hsKept = 2,     // taken over from the old archive: copied as it is
        hsDropped = 3,  // left out (not compressed, or deleted)
    };

    std::string Name;          // stored name (OEM code page, '\' separators)
    // The name as the old archive stored it, where Name is another form of
    // it: a ZIP name stored as UTF-8 (Name is its OEM form; an entry
    // replaced by a new file keeps these bytes), a TAR header's own name
    // field where Name drops its "./" or is a long name.
    std::string RawName;
    // The local file: of a new entry, and of a kept one that a gathered
    // file matched unchanged (date, size and attributes).
    std::string SourcePath;
    std::vector<uint8_t> Header;  // the entry's header bytes, as the writer keeps them
    std::vector<uint8_t> Extra;   // extra bytes or comment the format carries
    int64_t Offset = 0;        // header position, from 0: in the old archive (kept) or the new one (new)
    int64_t NewOffset = -1;    // where a kept entry landed in the new archive
    int64_t CopySize = 0;      // bytes of a kept entry in the old archive, header included
    int64_t PackedSize = 0;
    int64_t UnpackedSize = 0;
    uint32_t DosDate = 0;
    // The source's last write time as the gathering found it (FILETIME, 0
    // unknown): a writer that stores it to the second need not ask again.
    uint64_t FoundWrite = 0;
    uint32_t Attr = 0;
    uint32_t Crc = 0;
    TState State = hsNew;
    bool Written = false;  // compressed into the new archive in this run

    bool Dropped() const { return State == hsDropped; }
    bool Kept() const { return State == hsKept; }
};

// The writer's entry list: names in the order added, each with its record.
// Names compare without regard to ASCII case, as the file system does.
class THeadList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }
    THeadObject& operator[](int i) { return *items_[static_cast<size_t>(i)]; }
    const THeadObject& operator[](int i) const { return *items_[static_cast<size_t>(i)]; }
    // -1 when the name is not listed.
    int IndexOf(const std::string& Name) const;
    // Adds the record under its Name; the new entry's index.
    int Add(THeadObject Entry);
    void Clear();

private:
    static std::string Key(const std::string& Name);
    std::vector<std::unique_ptr<THeadObject>> items_;
    std::unordered_map<std::string, int> index_;
};

class TCompBase : public TZipCommon {
public:
    explicit TCompBase(TComponent* AOwner = nullptr);
    ~TCompBase() override;

    // ---- published properties ----
    TCompressMethod CompressMethod() const { return compressMethod_; }
    // Only a method the writer allows is taken.
    void SetCompressMethod(TCompressMethod v) {
        if (allowedMethods_.contains(v)) compressMethod_ = v;
    }
    const TSet<TCompressMethod>& AllowedMethods() const { return allowedMethods_; }
    // A blank value reads as the current directory (and is kept so).
    const std::string& DefaultDir() const;
    void SetDefaultDir(const std::string& v);
    const std::string& DefaultExt() const { return defaultExt_; }
    void SetDefaultExt(const std::string& v);
    TDeflateType DeflateType() const { return deflateType_; }
    void SetDeflateType(TDeflateType v);
    uint8_t DeflateLevel() const { return deflateLevel_; }
    TSwitch Switch() const { return switch_; }
    void SetSwitch(TSwitch v) { switch_ = v; }
    TStoredDirNames StoredDirNames() const { return storedDirNames_; }
    void SetStoredDirNames(TStoredDirNames v) { storedDirNames_ = v; }
    bool StoreAlreadyCompressedFiles() const { return storeAlreadyCompressed_; }
    void SetStoreAlreadyCompressedFiles(bool v) { storeAlreadyCompressed_ = v; }
    const std::string& TempDir() const { return tempDir_; }
    // A folder that does not exist is created when the user says Yes to
    // "Directory does not exist... Create?"; No (or a folder that cannot be
    // made) falls back to the system's temporary folder.
    void SetTempDir(const std::string& v);
    bool VerifyBeforeDelete() const { return verifyBeforeDelete_; }
    void SetVerifyBeforeDelete(bool v) { verifyBeforeDelete_ = v; }

    // ---- run state ----
    int HeaderSize() const { return headerSize_; }
    bool NewArchive() const { return newArchive_; }
    bool Success() const { return success_; }
    int FilesAdded() const { return filesAdded_; }
    int FilesDeleted() const { return filesDeleted_; }
    uint32_t MaxFileDate() const { return maxFileDate_; }
    const std::string& BaseDir() const { return baseDir_; }
    void SetBaseDir(const std::string& v) { baseDir_ = v; }
    THeadList& Entries() { return entries_; }
    // The temporary archive being written and the old archive being read;
    // nullptr outside a run.
    TFileStream* TempArchive() { return tempArchive_.get(); }
    TFileStream* OldArchive() { return oldArchive_.get(); }
    const std::string& TempArchiveName() const { return tempName_; }
    // The entry CompressFile is to write, and its index.
    THeadObject* CurrentEntry() { return current_; }
    int CurrentIndex() const { return currentIndex_; }
    // The source file CompressFile reads (OpenInputFile).
    TFileStream& InputFile() { return inputFile_; }
    // True while ReadHeaders runs again over the new archive before the
    // sources of a move are deleted: only names are needed then.
    bool VerifyPass() const { return verifyPass_; }
    // Bytes of sources still to be written in this run.
    int64_t BytesToDo() const { return bytesToDo_; }
    int64_t RunTotal() const override { return totalToDo_; }
    // Where the entries of the old archive begin, counted from 1: ArcOffset
    // when the run starts (a writer's SetArcType that forces its kind leaves
    // ArcOffset at the first header: 1, or behind an executable stub its
    // length + 1), 1 for a new archive. The bytes before it are copied to
    // the new archive unchanged.
    int64_t ScanPosition() const { return scanPosition_; }

    TOnNonWriteableArchive OnNonWriteableArchive;
    TOnRecurseDir OnRecurseDir;
    TOnReplaceFile OnReplaceFile;

    // Adds, moves, deletes or reads by Switch; the number of files added (or
    // of entries deleted for swDelete).
    int Compress();

    // ---- shared operations for the writers ----
    // The stored name of a local path, by StoredDirNames.
    std::string ConvertFileName(const std::string& Name) override;
    // Before a file is added: OnBegin, then OnRenameCompressedFile. False:
    // leave the file out.
    bool DoFileBegin(std::string& FN, int Count);
    // How a writer's CompressFile starts on E: the source opened, the date
    // to store, and the handler's say on the name. False: the file is left
    // out. FN is the name as the handler left it; NameKept says it left the
    // listed name alone, whose stored bytes are then kept.
    struct TFileStart {
        std::string FN;
        bool NameKept = true;
        uint32_t DosDate = 0;
    };
    bool StartFile(const THeadObject& E, TFileStart& S);
    // A file refused once OnBegin has run: the message, OnEnd with failure,
    // and False for the caller to return.
    bool RefuseFile(const std::string& FN, int Code);
    // The source's size into Size; a source that cannot be measured or is
    // larger than Limit is refused (its bytes out of the run's total).
    bool SourceSizeWithin(const std::string& FN, int64_t Limit, int64_t& Size);
    // Copies Count bytes from Source to Output in blocks of 32768 through
    // the read and compress-write hooks (the read folds the bytes into the
    // check value of CrcKind; Encrypt enciphers on write). Input that ends
    // early raises 25236. Returns the bytes copied.
    int64_t StoreData(TStream& Source, TStream& Output, int64_t Count, int CrcKind = 0, bool Encrypt = false);
    // Writes out what the temporary archive still buffers; a write that
    // falls short ends the run with 25136 as any short write does.
    void FlushTempArchive();
    // The bytes a kept entry takes in the old archive.
    int64_t KeptSize(const THeadObject& E);
    // Copies Count bytes of the old archive, from where it stands, into the
    // temporary archive in large blocks (in the system where it can).
    void CopyKept(int64_t Count);
    // Bits 1-2 of a ZIP general-purpose flag word from DeflateLevel.
    void DeflateFlags(uint16_t& Flags) const;
    // Opens a source for reading into InputFile(); reports 25235 and
    // answers False when it cannot be opened.
    bool OpenInputFile(const std::string& Name);
    // The DOS date to store for a source whose own date is FileDate.
    uint32_t ApplyDateAttribute(uint32_t FileDate) const;
    // Appends DefaultExt to an ArchiveFile that has no extension.
    void AddDefaultExt();
    // Puts the temporary archive in Target's place by a rename on Target's
    // volume: directly, or through a copy made beside Target first when the
    // temporary lies elsewhere. Target is never opened for writing, so it is
    // always either the old archive or the new one. True when replaced (the
    // temporary is gone then). False when not: Target is as it was, and
    // ReplaceFailure() names the file whose write failed (the copy beside
    // Target, or Target itself).
    virtual bool RenameTempArchive(const std::string& TempName, const std::string& Target);
    const std::string& ReplaceFailure() const { return replaceFailure_; }
    // The run ends with the temporary archive left where it is: the old
    // archive is not whole any more, and the temporary is the only complete
    // copy of what it held.
    bool KeepTemp() const { return keepTemp_; }
    // The temporary archive is the one complete copy left: it stays, made
    // read-only so that no later run's sweep of day-old temporaries takes
    // it, and 25350 says where it is.
    void KeepTemporary();

    // Collects the files of FileSpec entry i; the number found.
    int GatherFileSpec(int i);
    // Collects the files of every FileSpec entry on the archive's drive,
    // letting the window breathe between them; a cancel raises 25400 and
    // writes nothing. Sets the run's byte totals from what was found.
    void GatherAll();
    // Collects the files matching Mask in Dir (and its sub-folders with
    // RecurseDirs); the number found.
    int GatherFiles(const std::string& Dir, const std::string& Mask);

    // ---- the writer slots, in order ----
    // The whole update; writers with their own run (gzip, cabinet, UU)
    // override it and hold their own TRunScope(*this, this).
    virtual void CompressArchive();
    // Per header of the existing archive in a read pass (swRead).
    virtual int HeaderRead() { return 0; }
    // Starts the walk of OldArchive() at the first header and reads it
    // through ReadNextHeader; its result.
    virtual int ReadFirstHeader();
    // Size of the fixed part of an entry header.
    virtual int GetLocalHeaderSize() { return 0; }
    // Writes CurrentEntry() into TempArchive(); False leaves it out.
    virtual bool CompressFile() { return true; }
    // Reads the next header of OldArchive() into ReadHeader(); non-zero
    // when one was read, 0 at the end.
    virtual int ReadNextHeader() { return 0; }
    // Loads the entries of OldArchive() into Entries(): kept ones in state
    // hsKept with Offset and CopySize set; with swDelete the entries that
    // FileSpec takes are left out (or listed as hsDropped) and counted in
    // FilesDeleted.
    virtual void ReadHeaders() {}
    // New entries through CompressFile, kept ones copied.
    virtual void WriteEntries();
    // Closes the streams and renames the temporary archive over the target.
    virtual void FinishArchive();
    // After a successful write: each entry through the entry record and
    // OnRead.
    virtual void ReportEntries() {}
    // After the archive is finished.
    virtual void PostProcess() {}

    // The header ReadFirstHeader/ReadNextHeader read last.
    THeadObject& ReadHeader() { return readHeader_; }

protected:
    // The gathered sources the new archive holds (stored name, source
    // path): those written in this run and those its kept entries already
    // held unchanged.
    std::vector<std::pair<std::string, std::string>> HeldSources() const;
    // Deletes the sources of a move (HeldSources()): with
    // VerifyBeforeDelete only those whose names ReadHeaders finds in the
    // archive as it now stands.
    void DeleteMovedSources(const std::vector<std::pair<std::string, std::string>>& Held);
    int RunCompress();
    // The new archive (or what a writer builds beside its target) could not
    // take the next block: 25136 for the archive, naming the file whose
    // write fell short. The run ends; the old archive was never written.
    void OutputWriteFailed(TStream* Output) override;
    // Lets a writer's constructor set its own extension (also the one
    // SetDefaultExt("") goes back to).
    void InitDefaultExt(const std::string& Ext) { defaultExt_ = ownDefaultExt_ = Ext; }

    TCompressMethod compressMethod_ = cmStore;
    TSet<TCompressMethod> allowedMethods_;
    mutable std::string defaultDir_;
    std::string defaultExt_;
    std::string ownDefaultExt_;
    TDeflateType deflateType_ = dtDeflateN;
    uint8_t deflateLevel_ = 7;
    TSwitch switch_ = swAdd;
    TStoredDirNames storedDirNames_ = sdRelative;
    bool storeAlreadyCompressed_ = true;
    std::string tempDir_;
    bool verifyBeforeDelete_ = true;
    int headerSize_ = 0;
    bool newArchive_ = false;
    bool success_ = false;
    int filesAdded_ = 0;
    int filesDeleted_ = 0;
    uint32_t maxFileDate_ = 0;
    std::string baseDir_;
    int64_t bytesToDo_ = 0;
    int64_t totalToDo_ = 0;
    int64_t scanPosition_ = 1;
    int64_t headerPos_ = 0;  // where the walk of the old archive stands (from 0)
    int headersToRead_ = -1;  // entries the old archive says it holds; -1 unknown

    THeadList entries_;
    THeadObject readHeader_;
    std::unique_ptr<TFileStream> tempArchive_;
    std::unique_ptr<TFileStream> oldArchive_;
    std::string tempName_;
    TFileStream inputFile_;
    THeadObject* current_ = nullptr;
    int currentIndex_ = -1;
    bool verifyPass_ = false;
    bool keepTemp_ = false;
    std::string replaceFailure_;
    // Size and last write of the old archive when the run opened it: what
    // tells after a failed replace that it is still whole.
    int64_t oldSize_ = -1;
    uint64_t oldWrite_ = 0;

private:
    void ReadArchiveHeaders();
    void CheckWritable();
    void UpdateArchive();
    void ReportProgress(int64_t Done, int64_t Total);
    bool AddGathered(const std::string& Path, const os::FindData& Found);
};

}  // namespace bramble
