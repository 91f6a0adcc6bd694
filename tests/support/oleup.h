// Whether OLE is up on this thread: the clipboard answers, and the thread
// is already a single-threaded apartment.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>

namespace bramble::test {

inline void ExpectOleUp() {
    IDataObject* clip = nullptr;
    EXPECT_EQ(OleGetClipboard(&clip), S_OK);
    if (clip) clip->Release();
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(hr, RPC_E_CHANGED_MODE);
    if (SUCCEEDED(hr)) CoUninitialize();
}

}  // namespace bramble::test
