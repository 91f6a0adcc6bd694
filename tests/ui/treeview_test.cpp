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

}  // namespace
}  // namespace bramble
