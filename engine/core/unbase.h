// The base of every reader and of the tester. The shared extract/test run
// arrives with the reader drivers; this is the component's shape.
#pragma once

#include "engine/core/zipcommon.h"

namespace bramble {

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

    // Every reader overrides it: walks the entries and extracts or tests them.
    virtual void ExtractArchive() {}

protected:
    bool restoreFileAttr_ = true;
    TCpuType cpuType_ = cptAuto;
    uint8_t outputDriveType_ = 0;
    uint32_t maxFileDate_ = 0;
    TdvxFileList fileList_;
};

}  // namespace bramble
