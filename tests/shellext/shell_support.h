// What the context-menu tests stand on: the library loaded by path, a
// data object carrying a file drop as the shell hands it over, and a
// watcher that reads and closes the message box a call shows.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace bramble::test {

// A Linux path as Wine's drive Z: shows it.
std::string WindowsPath(std::string Path);

// bmshell.dll, loaded for the whole test program, and its entry points.
struct ShellExtLibrary {
    HMODULE Module = nullptr;
    HRESULT(STDAPICALLTYPE* GetClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* CanUnloadNow)() = nullptr;
    HRESULT(STDAPICALLTYPE* RegisterServer)() = nullptr;
    HRESULT(STDAPICALLTYPE* UnregisterServer)() = nullptr;
    std::string Path;
};
const ShellExtLibrary& ShellExt();

// A data object offering the files as CF_HDROP in global memory, with the
// names stored as ANSI or wide text, or (Offer false) offering nothing.
// It counts the media handed out and released.
class DropData final : public IDataObject {
public:
    DropData(const std::vector<std::string>& Files, bool Wide = false, bool Offer = true);
    // Names only wide text can hold.
    explicit DropData(std::vector<std::wstring> Files);
    ~DropData();
    DropData(const DropData&) = delete;
    DropData& operator=(const DropData&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

    int Handed() const { return handed_; }
    // Media given back through ReleaseStgMedium (it releases the medium's
    // owner, which is this object's second face).
    int Released() const { return released_; }

private:
    // The medium's owner: ReleaseStgMedium releases it instead of freeing
    // the memory itself, which is how the release is seen.
    struct Owner final : IUnknown {
        DropData* data;
        HGLOBAL memory = nullptr;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
        ULONG STDMETHODCALLTYPE Release() override;
    };
    std::vector<std::wstring> files_;
    bool wide_;
    bool offer_;
    std::atomic<ULONG> refs_{1};
    int handed_ = 0;
    int released_ = 0;
    std::vector<Owner*> owners_;
};

// Closes the first message box of this process that shows while it lives,
// and keeps what it showed.
class BoxWatcher {
public:
    BoxWatcher();
    ~BoxWatcher();
    // Waits (a few seconds at most) for the box to have been closed.
    bool Closed();
    std::string Caption, Text;
    HWND Owner = nullptr;
    HICON Icon = nullptr;  // the icon the box showed

private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> closed_{false};
    std::thread thread_;
};

}  // namespace bramble::test
