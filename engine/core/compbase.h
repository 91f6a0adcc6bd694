// The base of every writer. The shared compress run arrives with the writer
// drivers; this is the component's shape, its defaults and its slots.
#pragma once

#include "engine/core/zipcommon.h"

namespace bramble {

class TCompBase : public TZipCommon {
public:
    explicit TCompBase(TComponent* AOwner = nullptr);

    TCompressMethod CompressMethod() const { return compressMethod_; }
    // Only a method the writer allows is taken.
    void SetCompressMethod(TCompressMethod v) {
        if (allowedMethods_.contains(v)) compressMethod_ = v;
    }
    const TSet<TCompressMethod>& AllowedMethods() const { return allowedMethods_; }
    const std::string& DefaultDir() const { return defaultDir_; }
    void SetDefaultDir(const std::string& v) { defaultDir_ = v; }
    const std::string& DefaultExt() const { return defaultExt_; }
    void SetDefaultExt(const std::string& v) { defaultExt_ = v; }
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
    void SetTempDir(const std::string& v) { tempDir_ = v; }
    bool VerifyBeforeDelete() const { return verifyBeforeDelete_; }
    void SetVerifyBeforeDelete(bool v) { verifyBeforeDelete_ = v; }
    int HeaderSize() const { return headerSize_; }
    bool NewArchive() const { return newArchive_; }
    bool Success() const { return success_; }
    int FilesAdded() const { return filesAdded_; }
    int FilesDeleted() const { return filesDeleted_; }

    TOnNonWriteableArchive OnNonWriteableArchive;
    TOnRecurseDir OnRecurseDir;
    TOnReplaceFile OnReplaceFile;

    // The writer slots, in order; the drivers fill in the shared ones.
    virtual void CompressArchive() {}
    virtual int HeaderRead() { return 0; }
    virtual void ReadFirstHeader() {}
    virtual int GetLocalHeaderSize() { return 0; }
    virtual bool CompressFile() { return true; }
    virtual int ReadNextHeader() { return 0; }
    virtual void ReadHeaders() {}
    virtual void WriteEntries() {}
    virtual void FinishArchive() {}
    virtual void ReportEntries() {}
    virtual void PostProcess() {}

protected:
    TCompressMethod compressMethod_ = cmStore;
    TSet<TCompressMethod> allowedMethods_;
    std::string defaultDir_;
    std::string defaultExt_;
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
};

}  // namespace bramble
