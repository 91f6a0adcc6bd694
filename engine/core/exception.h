// The class library's base exception. Everything the engine throws derives
// from it, so callers of the public entry points catch one type.
#pragma once

#include <stdexcept>

namespace bramble {

class Exception : public std::runtime_error {
public:
    using runtime_error::runtime_error;
};

}  // namespace bramble
