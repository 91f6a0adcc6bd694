// zipsfx.bin: the program that heads every self-extracting archive the
// program makes. It finds the ZIP archive appended to itself, asks for the
// folder to put the files in and extracts them there.
#include <windows.h>

#include <vector>

#include "engine/core/os.h"
#include "sfx/selfextract.h"
#include "sfx/sfxform.h"
#include "ui/forms.h"

namespace {

std::string OwnFileName() {
    std::vector<char> buf(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return std::string(buf.data(), n);
        if (buf.size() >= 32768) return {};
        buf.resize(buf.size() * 2);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace bramble;
    try {
        Application->Initialize();
        Application->SetTitle("Bramble Self-Extractor");
        TSelfExtract extractor(OwnFileName());
        if (!extractor.HasArchive()) {
            Application->MessageBox("No archive was found in " + extractor.Program() + ".",
                                    Application->Title(), MB_OK | MB_ICONERROR);
            return 1;
        }
        Application->CreateForm(frmSfx);
        frmSfx->SetExtractor(&extractor);
        frmSfx->SetFolder(os::CurrentDir());
        Application->Run();
    } catch (...) {
        if (Application) Application->HandleException(nullptr, std::current_exception());
        return 1;
    }
    return 0;
}
