// The component model of the window layer: the engine's TComponent (owner,
// owned list, name, free notification, loading and destroying state,
// liveness token), plus the one rule every entry from the system into C++
// follows: nothing thrown may unwind through a system frame.
#pragma once

#include <exception>
#include <functional>
#include <utility>

#include "engine/core/component.h"
#include "engine/core/exception.h"
#include "engine/core/types.h"
#include "ui/classes.h"

namespace bramble {

// Where exceptions caught at system entry points go. The application object
// installs its HandleException here; without one they are written to the
// debugger output and dropped.
// Returns the handler it replaces, so a temporary one can be undone.
using TCallbackExceptionHandler = std::function<void(TObject* Sender, std::exception_ptr E)>;
TCallbackExceptionHandler SetCallbackExceptionHandler(TCallbackExceptionHandler Handler);

// Call only inside a catch block: hands the exception in flight to the
// handler. Never throws.
void HandleCallbackException(TObject* Sender = nullptr) noexcept;

// Runs F; anything it throws goes to the handler and OnError is returned.
template <typename R, typename F>
R CallGuarded(TObject* Sender, R OnError, F&& f) noexcept {
    try {
        return std::forward<F>(f)();
    } catch (...) {
        HandleCallbackException(Sender);
        return OnError;
    }
}

template <typename F>
void CallGuarded(TObject* Sender, F&& f) noexcept {
    try {
        std::forward<F>(f)();
    } catch (...) {
        HandleCallbackException(Sender);
    }
}

// Text of an exception pointer: what() of a std::exception, else a fixed text.
std::string ExceptionMessage(std::exception_ptr E);

}  // namespace bramble
