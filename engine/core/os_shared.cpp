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

std::vector<uint32_t> DecodeUtf8(const std::string& text) {
    std::vector<uint32_t> out;
    out.reserve(text.size());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int follow = 0;
        uint32_t cp = 0, least = 0;
        if ((b & 0xE0) == 0xC0) follow = 1, cp = b & 0x1F, least = 0x80;
        else if ((b & 0xF0) == 0xE0) follow = 2, cp = b & 0x0F, least = 0x800;
        else if ((b & 0xF8) == 0xF0) follow = 3, cp = b & 0x07, least = 0x10000;
        bool ok = follow > 0;
        for (int k = 1; ok && k <= follow; ++k) {
            if (i + static_cast<size_t>(k) >= n) {
                ok = false;
                break;
            }
            const auto c = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((c & 0xC0) != 0x80) ok = false;
            else cp = cp << 6 | (c & 0x3F);
        }
        if (ok && (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (!ok) {
            // One mark for the lead byte; what follows is looked at afresh.
            out.push_back(kNoCharacter);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(follow) + 1;
    }
    return out;
}

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
