#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "controls_support.h"
#include "kits/controls/utils.h"
#include "ui/selectdir.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

// OK on a folder that is not there, by the options.
TEST(SelectDirectory, AMissingFolderIsTakenOrMadeAsTheOptionsSay) {
    struct Case {
        TSelectDirOpts options;
        int prompt;        // the answer to the question; 0: not asked
        bool taken, made;
    } cases[] = {
        {{}, 0, false, false},  // refused: the form stays until Cancel
        {{sdAllowCreate}, 0, true, false},
        {{sdAllowCreate, sdPerformCreate}, 0, true, true},
        {{sdAllowCreate, sdPerformCreate, sdPrompt}, mrNo, false, false},
        {{sdAllowCreate, sdPerformCreate, sdPrompt}, mrYes, true, true},
        {{sdPerformCreate}, 0, false, false},  // making needs leave to name it
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const std::string missing = dir.Path() + "\\a\\b";
        std::string chosen = dir.Path();
        test::ScriptedModals modals;
        modals.ExpectForm([&](TCustomForm* f) {
            auto* form = dynamic_cast<TSelectDirForm*>(f);
            if (!form) return static_cast<int>(mrCancel);
            form->NameEdit().SetText(missing + "\\");
            form->TryAccept();
            return form->ModalResult() == mrOk ? static_cast<int>(mrOk) : static_cast<int>(mrCancel);
        });
        if (c.prompt) modals.ExpectMessage(SConfirmCreateDir, c.prompt);
        EXPECT_EQ(SelectDirectory(chosen, c.options, 0), c.taken) << c.prompt;
        EXPECT_EQ(modals.Pending(), 0);
        EXPECT_EQ(chosen, c.taken ? missing : dir.Path()) << c.prompt;
        EXPECT_EQ(IsExistingDir(missing), c.made) << c.prompt;
    }
}

TEST(SelectDirectory, TheListWalksTheFolders) {
    test::TempDir dir;
    dir.File("one\\x.txt");
    dir.File("two\\inner\\y.txt");
    TSelectDirForm form({}, 0);
    form.AfterConstruction();
    form.SetDirectory(dir.Path() + "\\");
    EXPECT_EQ(form.Directory(), dir.Path());
    TStringList& items = form.Folders().Items();
    ASSERT_EQ(items.Count(), 3);  // "..", and the folders, not the files
    EXPECT_EQ(items[0], "..");
    form.Open("two");
    EXPECT_EQ(form.Directory(), dir.Path() + "\\two");
    ASSERT_EQ(items.Count(), 2);
    EXPECT_EQ(items[1], "inner");
    form.Open("..");
    EXPECT_EQ(form.Directory(), dir.Path());
    form.TryAccept();
    EXPECT_EQ(form.ModalResult(), mrOk);
    EXPECT_GT(form.Drives().Items().Count(), 0);
    form.Show();
    test::Pump();
    test::SaveScreenshot(form, "selectdir.bmp");
    form.Hide();
}

}  // namespace
}  // namespace bramble
