#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "ui/comctrls.h"
#include "ui/forms.h"
#include "ui_support.h"

namespace bramble {
namespace {

// The node the control itself shows selected.
TTreeNode* ShownSelection(TTreeView* tv) {
    auto id = reinterpret_cast<HTREEITEM>(SendMessageA(tv->Handle(), TVM_GETNEXTITEM, TVGN_CARET, 0));
    for (TTreeNode* n = tv->Items().GetFirstNode(); n;) {
        if (n->ItemId() == id) return n;
        // depth first
        if (n->GetFirstChild()) {
            n = n->GetFirstChild();
            continue;
        }
        while (n && !n->GetNextSibling()) n = n->Parent();
        if (n) n = n->GetNextSibling();
    }
    return nullptr;
}

TEST(TreeView, DeletingTheSelectionLeavesSelectedWhatTheControlShows) {
    struct Case {
        const char* what;
        const char* select;
        const char* remove;
    };
    for (const Case& c : {Case{"a middle leaf", "b", "b"}, Case{"the last leaf", "c", "c"},
                          Case{"the branch holding it", "b", "docs"}, Case{"an unselected leaf", "b", "a"}}) {
        SCOPED_TRACE(c.what);
        auto* form = new TForm(nullptr);
        form->AfterConstruction();
        auto* tv = new TTreeView(form);
        tv->SetParent(form);
        tv->SetBounds(0, 0, 200, 200);
        std::map<std::string, TTreeNode*> node;
        node["docs"] = tv->Items().AddChild(nullptr, "docs");
        for (const char* n : {"a", "b", "c"}) node[n] = tv->Items().AddChild(node["docs"], n);
        node["other"] = tv->Items().AddChild(nullptr, "other");
        node["docs"]->Expand(false);
        form->Show();
        test::Pump();
        tv->SetSelected(node[c.select]);
        std::vector<TTreeNode*> changes;
        tv->OnChange = [&](TObject*, TTreeNode* n) { changes.push_back(n); };

        TTreeNode* kept = node[c.remove] == node[c.select] || std::string(c.remove) == "docs" ? nullptr : node[c.select];
        node[c.remove]->Delete();
        TTreeNode* shown = ShownSelection(tv);
        EXPECT_NE(shown, nullptr);
        EXPECT_EQ(tv->Selected(), shown);
        if (kept) {
            EXPECT_EQ(shown, kept);
            EXPECT_TRUE(changes.empty());
        } else {
            // The move of the selection was told like any other.
            ASSERT_FALSE(changes.empty());
            EXPECT_EQ(changes.back(), shown);
        }
        // Clearing leaves nothing selected, in the object and on the screen.
        tv->Items().Clear();
        EXPECT_EQ(tv->Selected(), nullptr);
        EXPECT_EQ(ShownSelection(tv), nullptr);
        TCustomForm::Free(form);
    }
}

// A node may leave whether it has children to the moment the control needs
// to know (drawing its button): only nodes in sight are asked, each once,
// and code that asks first tells the control the same answer.
TEST(TreeView, ChildrenToldOnDemandAreAskedOnceWhenNeeded) {
    auto* form = new TForm(nullptr);
    form->AfterConstruction();
    auto* tv = new TTreeView(form);
    tv->SetParent(form);
    tv->SetBounds(0, 0, 200, 200);
    std::map<std::string, int> asked;
    tv->OnGetHasChildren = [&](TObject*, TTreeNode* n, bool& has) {
        ++asked[n->Text()];
        has = n->Text() == "yes" || n->Text() == "deep";
    };
    TTreeNode* docs = tv->Items().AddChild(nullptr, "docs");
    TTreeNode* closed = tv->Items().AddChild(nullptr, "closed");
    std::map<std::string, TTreeNode*> node;
    for (const char* n : {"yes", "no"}) node[n] = tv->Items().AddChild(docs, n);
    node["deep"] = tv->Items().AddChild(closed, "deep");
    node["early"] = tv->Items().AddChild(docs, "early");
    for (auto& [name, n] : node) n->SetChildrenOnDemand(true);
    docs->Expand(false);
    form->Show();
    test::Pump();
    UpdateWindow(tv->Handle());
    auto shown = [&](TTreeNode* n) {
        TVITEMA it{};
        it.mask = TVIF_CHILDREN | TVIF_HANDLE;
        it.hItem = n->ItemId();
        SendMessageA(tv->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
        return it.cChildren;
    };
    EXPECT_EQ(asked["yes"], 1);
    EXPECT_EQ(asked["no"], 1);
    EXPECT_EQ(asked.count("deep"), 0u);  // out of sight
    // The control keeps what it was told, and so does the node.
    EXPECT_EQ(shown(node["yes"]), 1);
    EXPECT_EQ(shown(node["no"]), 0);
    EXPECT_TRUE(node["yes"]->HasChildren());
    EXPECT_FALSE(node["no"]->HasChildren());
    EXPECT_FALSE(node["no"]->ChildrenOnDemand());
    EXPECT_EQ(asked["yes"] + asked["no"], 2);
    closed->Expand(false);
    UpdateWindow(tv->Handle());
    EXPECT_EQ(asked["deep"], 1);
    EXPECT_TRUE(node["deep"]->HasChildren());
    // An explicit answer, or a child, replaces the question.
    node["early"]->SetHasChildren(false);
    node["early"]->SetChildrenOnDemand(true);
    tv->Items().AddChild(node["early"], "child");
    EXPECT_TRUE(node["early"]->HasChildren());
    EXPECT_EQ(shown(node["early"]), 1);
    EXPECT_LE(asked["early"], 1);
    TCustomForm::Free(form);
}

// Drags begun on a node name it and the button; a tree sorted by text keeps
// new nodes in caption order, in the model and on the screen.
TEST(TreeView, DragStartsAndTextSorting) {
    auto* form = new TForm(nullptr);
    form->AfterConstruction();
    auto* tv = new TTreeView(form);
    tv->SetParent(form);
    tv->SetBounds(0, 0, 200, 200);
    TTreeNode* b = tv->Items().AddChild(nullptr, "b");
    TTreeNode* a = tv->Items().AddChild(nullptr, "A");
    tv->Items().AddChild(b, "z");
    tv->Items().AddChild(b, "y");
    form->Show();
    test::Pump();
    std::vector<std::pair<TTreeNode*, TMouseButton>> drags;
    tv->OnBeginDrag = [&](TObject*, TTreeNode* n, TMouseButton btn) { drags.emplace_back(n, btn); };
    for (UINT code : {TVN_BEGINDRAGA, TVN_BEGINRDRAGA, TVN_BEGINDRAGW}) {
        NMTREEVIEWA nm{};
        nm.hdr.hwndFrom = tv->Handle();
        nm.hdr.code = code;
        nm.itemNew.hItem = (code == TVN_BEGINRDRAGA ? a : b)->ItemId();
        nm.itemNew.lParam = reinterpret_cast<LPARAM>(code == TVN_BEGINRDRAGA ? a : b);
        SendMessageA(form->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
    }
    using Drag = std::pair<TTreeNode*, TMouseButton>;
    EXPECT_EQ(drags, (std::vector<Drag>{{b, mbLeft}, {a, mbRight}, {b, mbLeft}}));

    auto shownOrder = [&](TTreeNode* parent) {
        std::vector<std::string> out;
        auto id = reinterpret_cast<HTREEITEM>(SendMessageA(tv->Handle(), TVM_GETNEXTITEM,
                                                           parent ? TVGN_CHILD : TVGN_ROOT,
                                                           reinterpret_cast<LPARAM>(parent ? parent->ItemId() : nullptr)));
        for (; id; id = reinterpret_cast<HTREEITEM>(
                       SendMessageA(tv->Handle(), TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(id)))) {
            char buf[64] = {};
            TVITEMA it{};
            it.mask = TVIF_TEXT | TVIF_HANDLE;
            it.hItem = id;
            it.pszText = buf;
            it.cchTextMax = sizeof buf;
            SendMessageA(tv->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
            out.push_back(buf);
        }
        return out;
    };
    EXPECT_EQ(shownOrder(nullptr), (std::vector<std::string>{"b", "A"}));
    tv->SetSortType(stText);
    tv->Items().AddChild(nullptr, "c");
    tv->Items().AddChildFirst(b, "zz");
    tv->Items().AddChild(b, "a");
    EXPECT_EQ(shownOrder(nullptr), (std::vector<std::string>{"A", "b", "c"}));
    EXPECT_EQ(shownOrder(b), (std::vector<std::string>{"a", "y", "z", "zz"}));
    std::vector<std::string> model;
    for (int i = 0; i < b->Count(); ++i) model.push_back(b->Item(i)->Text());
    EXPECT_EQ(model, shownOrder(b));
    EXPECT_EQ(tv->Items().Top(0), a);
    TCustomForm::Free(form);
}

}  // namespace
}  // namespace bramble
