// bramble.exe: the application object, the forms in their order, the
// message loop.
#include <windows.h>

#include "app/forms/main.h"
#include "app/forms/overwrite.h"
#include "ui/forms.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace bramble;
    try {
        Application->Initialize();
        Application->SetTitle("Bramble");
        Application->SetHelpFile("bramble.hlp");
        SetCommandLineArguments(ProcessArguments());
        // The forms that exist, in their order: the main window first (it
        // becomes the main form), then the dialogs.
        Application->CreateForm(frmMain);
        Application->CreateForm(frmOverwrite);
        Application->Run();
    } catch (...) {
        if (Application) Application->HandleException(nullptr, std::current_exception());
        return 1;
    }
    return 0;
}
