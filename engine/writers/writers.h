// Which writer handles which archive kind: the program and the tools pick
// writers from this one table.
#pragma once

#include <memory>

#include "engine/core/arctypes.h"
#include "engine/core/compbase.h"

namespace bramble {

// A new writer for the kind, or nullptr when no writer handles it here.
std::unique_ptr<TCompBase> CreateWriterForKind(TArcType Kind);

}  // namespace bramble
