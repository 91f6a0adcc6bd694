// A toolbar built while loading, under Wine: its controls come in the
// order they were made and leave loading in the order of their positions.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "kits/toolbar/scene.h"
#include "ui/stdctrls.h"

namespace bramble {
namespace {

using test::Pump;

TEST(ToolbarOrder, SortOnLoadPutsTheControlsInTheOrderOfTheirPositions) {
    struct Case {
        bool sort;
        std::vector<std::string> want;
    } cases[] = {{true, {"A", "B", "C"}}, {false, {"C", "A", "B"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sort ? "sorted" : "kept");
        test::Form f;
        TDock97* dock = f.NewDock(dpTop);
        f->Show();
        TSkiffbar* bar = f.NewBar(nullptr);
        bar->BeginLoading();
        bar->SetSortOnLoad(c.sort);
        bar->SetDockedTo(dock);
        // Made out of order, as a stored form may list them.
        for (auto [name, left] : {std::pair{"C", 90}, std::pair{"A", 0}, std::pair{"B", 45}}) {
            auto* b = new TToolbarButton97(bar);
            b->SetName(name);
            b->SetBounds(left, 0, 42, 26);
            b->SetParent(bar);
        }
        bar->LoadedAll();
        Pump();
        std::vector<std::string> got;
        for (TControl* ctl : bar->OrderList()) got.push_back(ctl->Name());
        EXPECT_EQ(got, c.want);
        // And the layout follows that order.
        EXPECT_LT(bar->OrderList()[0]->Left(), bar->OrderList()[1]->Left());
        EXPECT_LT(bar->OrderList()[1]->Left(), bar->OrderList()[2]->Left());
    }
}

// Loading also gives the controls the order of the layout: the bar's list
// of controls (its painting order) and the keyboard's tab order.
TEST(ToolbarOrder, LoadingGivesTheLayoutOrderToTheControlListAndTheTabOrder) {
    struct Case {
        bool sort;
        std::vector<std::string> controls, tabs;
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
        // Made out of order; B and D take the keyboard, made D first.
        auto edit = [&](const char* name, int left) {
            auto* e = new TEdit(bar);
            e->SetName(name);
            e->SetBounds(left, 0, 40, 22);
            e->SetParent(bar);
        };
        auto button = [&](const char* name, int left) {
            TToolbarButton97* b = test::NewButton(bar, name);
            b->SetName(name);
            b->SetBounds(left, 0, 42, 26);
        };
        edit("D", 140);
        button("C", 90);
        button("A", 0);
        edit("B", 45);
        bar->LoadedAll();
        Pump();
        std::vector<std::string> controls, tabs;
        for (int i = 0; i < bar->ControlCount(); ++i) controls.push_back(bar->Controls(i)->Name());
        std::vector<TWinControl*> tabList;
        bar->GetTabOrderList(tabList);
        for (TWinControl* w : tabList) tabs.push_back(w->Name());
        EXPECT_EQ(controls, c.controls);
        EXPECT_EQ(tabs, c.tabs);
    }
}

}  // namespace
}  // namespace bramble
