// The worker thread's end handled on the window thread, and the custom
// sorts of the tree and the list keeping their models and the controls in
// one order.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
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

TEST(ListView, CustomSortHandsItsParameterToEachComparison) {
    TForm* f = new TForm(nullptr);
    f->AfterConstruction();
    auto* lv = new TListView(f);
    lv->SetParent(f);
    lv->SetViewStyle(vsReport);
    lv->Columns().Add()->SetCaption("Name");
    f->Show();
    for (const char* s : {"b", "c", "a"}) lv->Items().Add()->SetCaption(s);
    for (LPARAM reverse : {0, 1}) {
        std::vector<LPARAM> seen;
        EXPECT_TRUE(lv->CustomSort(
            [&](TListItem* a, TListItem* b, LPARAM p) {
                seen.push_back(p);
                const int r = a->Caption().compare(b->Caption());
                return p ? -r : r;
            },
            reverse));
        std::vector<std::string> order;
        for (int i = 0; i < lv->Items().Count(); ++i) order.push_back(lv->Items().Item(i)->Caption());
        EXPECT_EQ(order, reverse ? (std::vector<std::string>{"c", "b", "a"}) : (std::vector<std::string>{"a", "b", "c"}));
        EXPECT_FALSE(seen.empty());
        EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [&](LPARAM p) { return p == reverse; }));
    }
    EXPECT_FALSE(lv->OnCompare);  // the caller's own handler is back
    TCustomForm::Free(f);
}

}  // namespace
}  // namespace bramble
