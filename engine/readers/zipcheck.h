// The tester: runs the reader of an archive's kind in test mode and reports
// a pass or fail per entry.
#pragma once

#include <memory>

#include "engine/core/unbase.h"

namespace bramble {

class TZipCheck : public TUnBase {
public:
    explicit TZipCheck(TComponent* AOwner = nullptr) : TUnBase(AOwner) {}
    ~TZipCheck() override;

    TOnIntegrityStatus OnStatus;
    // Hides the readers' OnEnd: the tester reports an entry's result through
    // OnStatus and then names the entry here.
    TOnIntegrityEnd OnEnd;

    // Tests every entry passing FileSpec; the number of entries tested.
    int TestArchive();
    void SetCancel(bool Value) override;

    // The reader of the running test, or nullptr.
    TUnBase* Reader() const { return reader_.get(); }

private:
    std::unique_ptr<TUnBase> reader_;
};

}  // namespace bramble
