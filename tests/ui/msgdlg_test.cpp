#include <gtest/gtest.h>

#include <memory>

#include "ui/msgdlg.h"
#include "ui/stdctrls.h"
#include "ui_support.h"

namespace bramble {
namespace {

// The buttons of a built message dialog, left to right.
std::vector<TButton*> ButtonsOf(TForm& F) {
    std::vector<TButton*> out;
    for (int i = 0; i < F.ControlCount(); ++i)
        if (auto* b = dynamic_cast<TButton*>(F.Controls(i))) out.push_back(b);
    std::sort(out.begin(), out.end(), [](TButton* a, TButton* b) { return a->Left() < b->Left(); });
    return out;
}

TEST(MessageDialog, EveryButtonSetWithItsCaptionsResultsDefaultAndEscape) {
    std::unique_ptr<TForm, void (*)(TForm*)> f(
        CreateMessageDialog("Replace the file?", mtConfirmation, {mbYes, mbNo, mbAll, mbNoToAll, mbYesToAll, mbCancel},
                            {{mbAll, "Replace &all"}}),
        [](TForm* p) { TCustomForm::Free(p); });
    f->AfterConstruction();
    auto b = ButtonsOf(*f);
    ASSERT_EQ(b.size(), 6u);
    const std::vector<std::pair<std::string, int>> want = {{"&Yes", mrYes},     {"&No", mrNo},
                                                           {"Cancel", mrCancel}, {"Replace &all", mrAll},
                                                           {"N&o to All", mrNoToAll}, {"Yes to &All", mrYesToAll}};
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(b[i]->Caption(), want[i].first) << i;
        EXPECT_EQ(b[i]->ModalResult(), want[i].second) << i;
    }
    EXPECT_TRUE(b[0]->Default());
    EXPECT_TRUE(b[2]->Cancel());
    EXPECT_EQ(f->Caption(), "Confirm");
    // Every button fits inside the dialog.
    for (TButton* x : b) EXPECT_LE(x->Left() + x->Width(), f->ClientWidth());
    f->Show();
    test::Pump();
    test::SaveScreenshot(*f, "message-dialog-all.bmp");

    // Through MessageDlg the scripted answers still come first.
    test::ScriptedModals modals;
    modals.ExpectMessage("Replace the file?", mrYesToAll);
    EXPECT_EQ(MessageDlg("Replace the file?", mtConfirmation, {mbYes, mbNo, mbYesToAll}), mrYesToAll);
}

}  // namespace
}  // namespace bramble
