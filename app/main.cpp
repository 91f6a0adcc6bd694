// bramble.exe: the application object, the forms in their order, the
// message loop.
#include <windows.h>

#include "app/forms/about.h"
#include "app/forms/addfiles.h"
#include "app/forms/extract.h"
#include "app/forms/main.h"
#include "app/forms/newfolder.h"
#include "app/forms/options.h"
#include "app/forms/overwrite.h"
#include "app/forms/properties.h"
#include "app/forms/uuencodedlg.h"
#include "ui/comobj.h"
#include "ui/forms.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace bramble;
    int code = 0;
    try {
        Application->Initialize();
        Application->SetTitle("Bramble");
        Application->SetHelpFile("bramble.hlp");
        SetCommandLineArguments(ProcessArguments());
        // The forms that exist, in their order: the main window first (it
        // becomes the main form), then the dialogs.
        Application->CreateForm(frmMain);
        Application->CreateForm(frmAddFiles);
        Application->CreateForm(frmExtract);
        Application->CreateForm(frmOverwrite);
        Application->CreateForm(frmUUEncode);
        Application->CreateForm(frmOptions);
        Application->CreateForm(frmAbout);
        Application->CreateForm(frmNewFolder);
        Application->CreateForm(frmProperties);
        Application->Run();
    } catch (...) {
        if (Application) Application->HandleException(nullptr, std::current_exception());
        code = 1;
    }
    // The forms go before WinMain returns: the main window's destroy
    // handler saves the settings, deletes its temporary files and gives the
    // engine its hooks back, and needs the whole program standing to do so.
    DoneApplication();
    // Last: the forms above let go of their shell interfaces as they went.
    EndOleForTheRun();
    return code;
}
