// A toolbar built while loading, under Wine: its controls come in the
// order they were made and leave loading in the order of their positions.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "kits/toolbar/scene.h"

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

}  // namespace
}  // namespace bramble
