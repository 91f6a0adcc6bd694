// A toolbar built while loading, under Wine: its controls come in the
// order they were made and leave loading in the order of their positions.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <tuple>
#include <vector>

#include "kits/toolbar/scene.h"
#include "ui/stdctrls.h"

namespace bramble {
namespace {

using test::Pump;

// The control list (the painting order) and the tab order take the same
// order as the layout.
TEST(ToolbarOrder, SortOnLoadPutsTheControlsInTheOrderOfTheirPositions) {
    struct Case {
        bool sort;
        std::vector<std::string> want, tabs;
    } cases[] = {{true, {"A", "B", "C", "D"}, {"B", "D"}}, {false, {"D", "C", "A", "B"}, {"D", "B"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sort ? "sorted" : "kept");
        test::Form f;
        TDock97* dock = f.NewDock(dpTop);
        f->Show();
        TSkiffbar* bar = f.NewBar(nullptr);
        bar->BeginLoading();
        bar->SetSortOnLoad(c.sort);
        bar->SetDockedTo(dock);
        // Made out of order, as a stored form may list them; B and D take
        // the keyboard.
        for (auto [name, left, keys] :
             {std::tuple{"D", 140, true}, std::tuple{"C", 90, false}, std::tuple{"A", 0, false}, std::tuple{"B", 45, true}}) {
            TControl* ctl = keys ? static_cast<TControl*>(new TEdit(bar)) : new TToolbarButton97(bar);
            ctl->SetName(name);
            ctl->SetBounds(left, 0, 42, 22);
            ctl->SetParent(bar);
        }
        bar->LoadedAll();
        Pump();
        std::vector<std::string> got, controls, tabs;
        for (TControl* ctl : bar->OrderList()) got.push_back(ctl->Name());
        EXPECT_EQ(got, c.want);
        for (int i = 0; i < bar->ControlCount(); ++i) controls.push_back(bar->Controls(i)->Name());
        EXPECT_EQ(controls, c.want);
        std::vector<TWinControl*> tabList;
        bar->GetTabOrderList(tabList);
        for (TWinControl* w : tabList) tabs.push_back(w->Name());
        EXPECT_EQ(tabs, c.tabs);
        // And the layout follows that order.
        for (size_t i = 1; i < got.size(); ++i) EXPECT_LT(bar->OrderList()[i - 1]->Left(), bar->OrderList()[i]->Left());
    }
}

}  // namespace
}  // namespace bramble
