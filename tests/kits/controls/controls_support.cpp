#include "controls_support.h"

#include <shellapi.h>

#include <vector>

namespace bramble::test {

namespace {
int g_answer_id = 0;
std::function<void(HWND)> g_inspect;

BOOL CALLBACK FindDialog(HWND h, LPARAM l) {
    char cls[32] = {};
    GetClassNameA(h, cls, sizeof cls);
    if (std::string(cls) == "#32770" && IsWindowVisible(h)) {
        *reinterpret_cast<HWND*>(l) = h;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK AnswerTimer(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dlg = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dlg));
    if (!dlg) return;
    KillTimer(nullptr, id);
    if (g_inspect) g_inspect(dlg);
    PostMessageA(dlg, WM_COMMAND, static_cast<WPARAM>(g_answer_id), 0);
}
}  // namespace

void AnswerNextDialog(int Id, std::function<void(HWND)> Inspect) {
    g_answer_id = Id;
    g_inspect = std::move(Inspect);
    SetTimer(nullptr, 0, 30, AnswerTimer);
}

TempDir::TempDir() {
    char tmp[MAX_PATH] = {}, name[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, tmp);
    GetTempFileNameA(tmp, "ctl", 0, name);
    DeleteFileA(name);
    CreateDirectoryA(name, nullptr);
    path_ = name;
}

TempDir::~TempDir() {
    // SHFileOperation wants a list ended by two NULs.
    std::vector<char> from(path_.begin(), path_.end());
    from.push_back(0);
    from.push_back(0);
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.data();
    op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    SHFileOperationA(&op);
}

std::string TempDir::File(const std::string& Relative) {
    std::string full = path_ + "\\" + Relative;
    for (size_t i = path_.size() + 1; i < full.size(); ++i)
        if (full[i] == '\\') CreateDirectoryA(full.substr(0, i).c_str(), nullptr);
    HANDLE h = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return full;
}

}  // namespace bramble::test
