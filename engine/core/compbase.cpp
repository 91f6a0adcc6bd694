#include "engine/core/compbase.h"

#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

TCompBase::TCompBase(TComponent* AOwner)
    : TZipCommon(AOwner), defaultDir_(os::CurrentDir()), tempDir_(GetSystemTempDir()) {}

void TCompBase::SetDeflateType(TDeflateType v) {
    static const uint8_t levels[] = {1, 2, 7, 9};
    deflateType_ = v;
    deflateLevel_ = levels[v <= dtDeflateX ? v : dtDeflateN];
}

}  // namespace bramble
