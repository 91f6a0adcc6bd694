// The parts of the OS layer that are the same on every platform.
#include "engine/core/os_shared.h"

namespace bramble::os {

namespace detail {

namespace {

// Defaults that never block: tests and command-line tools answer No and
// Cancel to every question.
AppHooks WithDefaults(AppHooks hooks) {
    if (!hooks.processMessages) hooks.processMessages = [] {};
    if (!hooks.askYesNo)
        hooks.askYesNo = [](const std::string&, const std::string&) { return Answer::No; };
    if (!hooks.askRetryCancel)
        hooks.askRetryCancel = [](const std::string&, const std::string&) { return Answer::Cancel; };
    return hooks;
}

}  // namespace

std::optional<DriveProvider>& Provider() {
    static std::optional<DriveProvider> provider;
    return provider;
}

AppHooks& Hooks() {
    static AppHooks hooks = WithDefaults({});
    return hooks;
}

void ResetHooks(const AppHooks& hooks) { Hooks() = WithDefaults(hooks); }

}  // namespace detail

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

void SetDriveProvider(const DriveProvider* provider) {
    if (provider)
        detail::Provider() = *provider;
    else
        detail::Provider().reset();
}

void SetAppHooks(const AppHooks& hooks) { detail::ResetHooks(hooks); }
const AppHooks& GetAppHooks() { return detail::Hooks(); }

Answer AskYesNo(const std::string& text, const std::string& caption) {
    return detail::Hooks().askYesNo(text, caption);
}

Answer AskRetryCancel(const std::string& text, const std::string& caption) {
    return detail::Hooks().askRetryCancel(text, caption);
}

}  // namespace bramble::os
