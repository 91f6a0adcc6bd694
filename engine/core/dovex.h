// The lister: walks an archive's headers and reports every entry. The walk
// of each kind arrives with the lister; this is the component's shape.
#pragma once

#include "engine/core/zipcommon.h"

namespace bramble {

class TDovex : public TZipCommon {
public:
    explicit TDovex(TComponent* AOwner = nullptr) : TZipCommon(AOwner) { zipCmntBufSize_ = 32000; }

    bool ShowBlankDirs() const { return showBlankDirs_; }
    void SetShowBlankDirs(bool v) { showBlankDirs_ = v; }

    TOnReadFile OnReadFile;
    TNotifyEvent OnReadBegin;
    TNotifyEvent OnReadEnd;
    TOnTotals OnTotals;
    TOnCorruptZipHeader OnCorruptZipHeader;

protected:
    bool showBlankDirs_ = false;
};

}  // namespace bramble
