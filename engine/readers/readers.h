// Which reader handles which archive kind: the tester and the program pick
// readers from this one table.
#pragma once

#include <memory>

#include "engine/core/arctypes.h"
#include "engine/core/unbase.h"

namespace bramble {

// A new reader for the kind, or nullptr when no reader handles it here.
std::unique_ptr<TUnBase> CreateReaderForKind(TArcType Kind);

}  // namespace bramble
