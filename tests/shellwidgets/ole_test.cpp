// The shell widgets on their own, without the drag source (which starts
// OLE too): their shell calls find OLE up from the program's start.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>

#include "app/widgets/syslist.h"

namespace bramble {
namespace {

TEST(ShellWidgets, OleIsUpFromTheStartBeforeTheFirstShellList) {
    IDataObject* clip = nullptr;
    EXPECT_EQ(OleGetClipboard(&clip), S_OK);
    if (clip) clip->Release();
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(hr, RPC_E_CHANGED_MODE);
    if (SUCCEEDED(hr)) CoUninitialize();
    auto* list = new TSystemListView(nullptr);
    delete list;
}

}  // namespace
}  // namespace bramble
