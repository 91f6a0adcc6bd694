// The engine's numbered messages. Every engine error carries one id; the
// application shows the text. E_RAISE is the engine's one exception class.
#pragma once

#include <string>

#include "engine/core/exception.h"

namespace bramble {

// The text of a message id; empty for an id the table does not hold. On
// Windows it is read from the program's string table (made from this
// table by the build), elsewhere the compiled text.
const std::string& MessageText(int id);
// Every id of the table in ascending order (for tests and the string table).
const int* MessageIds(int& count);

class E_RAISE : public Exception {
public:
    explicit E_RAISE(int code) : Exception(MessageText(code)), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

}  // namespace bramble
