#include <gtest/gtest.h>

#include <map>

#include "ui/dialogs.h"
#include "ui/stdctrls.h"
#include "ui_support.h"

namespace bramble {
namespace {

TEST(Dialogs, MessagesInputsAndFileDialogsTakeScriptedAnswers) {
    test::ScriptedModals modals;
    modals.ExpectMessage("Delete selected file(s)?", mrYes)
        .ExpectInput("secret")
        .ExpectInputCancel()
        .ExpectFileDialog("C:\\a.zip")
        .ExpectFileDialog("");
    EXPECT_EQ(MessageDlg("Delete selected file(s)?", mtConfirmation, {mbYes, mbNo}), mrYes);
    std::string pw = "old";
    EXPECT_TRUE(InputQuery("Encrypted file...", "Enter password", pw));
    EXPECT_EQ(pw, "secret");
    EXPECT_FALSE(InputQuery("Encrypted file...", "Enter password", pw));
    EXPECT_EQ(pw, "secret");
    TOpenDialog open(nullptr);
    open.SetTitle("Open Archive...");
    EXPECT_TRUE(open.Execute());
    EXPECT_EQ(open.FileName(), "C:\\a.zip");
    TSaveDialog save(nullptr);
    EXPECT_FALSE(save.Execute());
    EXPECT_EQ(modals.Asked, (std::vector<std::string>{"Confirm: Delete selected file(s)?",
                                                      "Encrypted file...: Enter password",
                                                      "Encrypted file...: Enter password",
                                                      "open: Open Archive...", "save: "}));
    EXPECT_EQ(TOpenDialog::PlatformFilter("Zip files|*.zip|All|*.*"), std::string("Zip files\0*.zip\0All\0*.*\0\0", 25));
}

TEST(Dialogs, TheInputBoxIsARealFormWithDefaultAndCancelButtons) {
    // No interceptor: the box runs its own modal loop; a timer types.
    TTimer timer(nullptr);
    timer.SetInterval(40);
    int step = 0;
    std::string seen_caption;
    timer.OnTimer = [&](TObject*) {
        TCustomForm* f = Screen->ActiveForm();
        if (!f || !f->Visible() || f->Caption() != "Verify Password...") return;
        seen_caption = f->Caption();
        auto* edit = dynamic_cast<TEdit*>(f->ActiveControl());
        if (!edit) return;
        if (step == 0) {
            EXPECT_EQ(edit->Text(), "start");
            edit->SetText("typed answer");
            PostMessageA(edit->Handle(), WM_KEYDOWN, VK_RETURN, 1);
        } else {
            edit->SetText("not taken");
            PostMessageA(edit->Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
        }
        ++step;
    };
    std::string v = "start";
    EXPECT_TRUE(InputQuery("Verify Password...", "Re-enter Password:", v));
    EXPECT_EQ(v, "typed answer");
    EXPECT_EQ(seen_caption, "Verify Password...");
    EXPECT_FALSE(InputQuery("Verify Password...", "Re-enter Password:", v));
    EXPECT_EQ(v, "typed answer");
    EXPECT_EQ(step, 2);
}

TEST(Dialogs, ThePasswordBoxMasksWhatIsTypedAndTheInputBoxDoesNot) {
    TTimer timer(nullptr);
    timer.SetInterval(40);
    std::map<std::string, bool> masked;
    timer.OnTimer = [&](TObject*) {
        TCustomForm* f = Screen->ActiveForm();
        if (!f || !f->Visible() || masked.count(f->Caption())) return;
        auto* edit = dynamic_cast<TEdit*>(f->ActiveControl());
        if (!edit || !edit->HandleAllocated()) return;
        masked[f->Caption()] = (GetWindowLongPtrA(edit->Handle(), GWL_STYLE) & ES_PASSWORD) != 0;
        edit->SetText("typed");
        PostMessageA(edit->Handle(), WM_KEYDOWN, VK_RETURN, 1);
    };
    std::string v;
    EXPECT_TRUE(PasswordQuery("Security Encryption...", "Enter Password:", v));
    EXPECT_EQ(v, "typed");
    v.clear();
    EXPECT_TRUE(InputQuery("Volume", "Volume ID:", v));
    EXPECT_EQ(masked, (std::map<std::string, bool>{{"Security Encryption...", true}, {"Volume", false}}));
}

}  // namespace
}  // namespace bramble
