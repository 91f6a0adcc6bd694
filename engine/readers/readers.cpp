#include "engine/readers/readers.h"

#include "engine/bindings/unacereader.h"
#include "engine/bindings/uncab.h"
#include "engine/bindings/unrarreader.h"
#include "engine/readers/unarc.h"
#include "engine/readers/unarj.h"
#include "engine/readers/unbh.h"
#include "engine/readers/ungzip.h"
#include "engine/readers/unlha.h"
#include "engine/readers/untar.h"
#include "engine/readers/uudecode.h"
#include "engine/readers/unzip.h"
#include "engine/readers/unzoo.h"

namespace bramble {

std::unique_ptr<TUnBase> CreateReaderForKind(TArcType Kind) {
    // Readers join this table as they are built; until then the kind is
    // refused as unsupported.
    switch (Kind) {
        case atZip:
        case atZipExe:
        case atZipMV: return std::make_unique<TUnZIP>();
        case atJar: return std::make_unique<TUnJar>();
        case atGZip: {
            // A decompressed TAR goes on to a TAR reader the gzip reader owns.
            auto gz = std::make_unique<TUnGZIP>();
            gz->SetUnTar(new TUnTAR(gz.get()));
            return gz;
        }
        case atTar: return std::make_unique<TUnTAR>();
        case atUue: return std::make_unique<TUUDecode>();
        case atArc:
        case atArcExe:
        case atPak:
        case atPakExe: return std::make_unique<TUnARC>();
        case atCab: return std::make_unique<TUnCAB>();
        case atBh:
        case atBhExe: return std::make_unique<TUnBH>();
        case atArj:
        case atArjExe: return std::make_unique<TUnARJ>();
        case atRar:
        case atRarExe: return std::make_unique<TUnRAR>();
        case atACE: return std::make_unique<TUnACE>();
        case atLha:
        case atLhaExe:
        case atLzh:
        case atLzhExe: return std::make_unique<TUnLHA>();
        case atZoo: return std::make_unique<TUnZOO>();
        default: return nullptr;
    }
}

}  // namespace bramble
