#include "engine/writers/writers.h"

#include "engine/bindings/makecab.h"
#include "engine/writers/bh.h"
#include "engine/writers/gzip.h"
#include "engine/writers/lha.h"
#include "engine/writers/tar.h"
#include "engine/writers/zip.h"

namespace bramble {

std::unique_ptr<TCompBase> CreateWriterForKind(TArcType Kind) {
    // Writers join this table as they are built; until then the kind is
    // refused as unsupported.
    switch (Kind) {
        // A self-extracting archive is updated behind its stub; a spanned
        // set is refused by the writer itself.
        case atZip:
        case atZipExe:
        case atZipMV: return std::make_unique<TZip>();
        case atJar:
        case atJarExe: return std::make_unique<TJar>();
        case atBh: case atBhExe: return std::make_unique<TBlakHole>();
        case atGZip: return std::make_unique<TGZip>();
        case atTar: return std::make_unique<TTar>();
        case atCab: return std::make_unique<TMakeCAB>();
        case atLha:
        case atLzh: return std::make_unique<TLha>();
        default: return nullptr;
    }
}

}  // namespace bramble
