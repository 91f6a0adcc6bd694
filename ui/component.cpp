#include "ui/component.h"

#include <windows.h>

#include <utility>

namespace bramble {

namespace {
TCallbackExceptionHandler& Handler() {
    static TCallbackExceptionHandler h;
    return h;
}
}  // namespace

TCallbackExceptionHandler SetCallbackExceptionHandler(TCallbackExceptionHandler H) {
    return std::exchange(Handler(), std::move(H));
}

std::string ExceptionMessage(std::exception_ptr E) {
    try {
        if (E) std::rethrow_exception(E);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
    }
    return "Unknown exception";
}

void HandleCallbackException(TObject* Sender) noexcept {
    std::exception_ptr e = std::current_exception();
    try {
        if (Handler()) {
            Handler()(Sender, e);
            return;
        }
    } catch (...) {
        // The handler itself failed: fall through to the last resort.
    }
    try {
        std::string m = "Unhandled exception: " + ExceptionMessage(e) + "\n";
        OutputDebugStringA(m.c_str());
    } catch (...) {
    }
}

}  // namespace bramble
