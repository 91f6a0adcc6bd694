// The worker thread's end handled on the window thread, and the tree's
// custom sort keeping its node list and the control in one order.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <vector>

#include "ui/comctrls.h"
#include "ui/forms.h"
#include "ui/thread.h"
#include "ui_support.h"

namespace bramble {
namespace {

class Worker : public TThread {
public:
    explicit Worker(bool Sync) : TThread(true), sync_(Sync) {}
    ~Worker() override {
        Terminate();
        Start();
        WaitFor();
    }
    std::atomic<DWORD> SyncThread{0};
    std::atomic<bool> Go{true};

protected:
    void Execute() override {
        while (!Go && !Terminated()) Sleep(1);
        if (sync_) Synchronize([this] { SyncThread = GetCurrentThreadId(); });
        ReturnValue = 7;
    }

private:
    bool sync_;
};

TEST(Thread, EndIsHandledOnTheWindowThreadAndNeverForAGoneThread) {
    const DWORD gui = GetCurrentThreadId();
    // Ends and frees itself; its end and Synchronize run on this thread.
    {
        auto* w = new Worker(true);
        DWORD endThread = 0;
        bool ended = false;
        w->FreeOnTerminate = true;
        w->OnTerminate = [&](TObject*) {
            endThread = GetCurrentThreadId();
            ended = true;
        };
        w->Start();
        for (int i = 0; i < 300 && !ended; ++i) {
            test::Pump(1);
            Sleep(5);
        }
        ASSERT_TRUE(ended);
        EXPECT_EQ(endThread, gui);
    }
    // Deleted before its end message ran: the message finds nothing, even
    // when a new thread sits where the old one was.
    for (int round = 0; round < 20; ++round) {
        bool called = false;
        auto* w = new Worker(false);
        w->OnTerminate = [&](TObject*) { called = true; };
        w->Start();
        EXPECT_EQ(w->WaitFor(), 7);
        delete w;
        auto* next = new Worker(false);
        next->Go = false;  // still running when the old message arrives
        next->Start();
        test::Pump(3);
        EXPECT_FALSE(called);
        EXPECT_FALSE(next->Finished());
        delete next;
    }
}

TEST(TreeView, CustomSortOrdersNodesAndControlAlike) {
    TForm* f = new TForm(nullptr);
    f->AfterConstruction();
    auto* tv = new TTreeView(f);
    tv->SetParent(f);
    f->Show();
    TTreeNode* root = tv->Items().Add(nullptr, "root");
    for (const char* s : {"pear", "apple", "fig", "banana"}) tv->Items().AddChild(root, s);
    root->CustomSort([](TTreeNode* a, TTreeNode* b) { return a->Text().compare(b->Text()); });
    std::vector<std::string> nodes, shown;
    for (int i = 0; i < root->Count(); ++i) nodes.push_back(root->Item(i)->Text());
    auto id = reinterpret_cast<HTREEITEM>(
        SendMessageA(tv->Handle(), TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root->ItemId())));
    for (; id; id = reinterpret_cast<HTREEITEM>(
                   SendMessageA(tv->Handle(), TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(id)))) {
        char buf[32] = {};
        TVITEMA it{};
        it.mask = TVIF_TEXT | TVIF_HANDLE;
        it.hItem = id;
        it.pszText = buf;
        it.cchTextMax = sizeof buf;
        SendMessageA(tv->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
        shown.push_back(buf);
    }
    EXPECT_EQ(nodes, (std::vector<std::string>{"apple", "banana", "fig", "pear"}));
    EXPECT_EQ(shown, nodes);
    TCustomForm::Free(f);
}

}  // namespace
}  // namespace bramble
