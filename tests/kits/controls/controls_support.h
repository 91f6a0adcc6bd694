// Helpers shared by the controls kit's tests.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ui/forms.h"

namespace bramble::test {

// A form made in code, freed the way the application frees forms.
struct FormHolder {
    TForm* f;
    FormHolder() : f(new TForm(nullptr)) { f->AfterConstruction(); }
    ~FormHolder() { TCustomForm::Free(f); }
    TForm* operator->() const { return f; }
};

// Presses the button Id of the next dialog box (the shell's folder
// browser) that this thread shows, after Inspect has looked at it.
void AnswerNextDialog(int Id, std::function<void(HWND)> Inspect = {});

// A fresh folder under the temporary folder, removed with what it holds.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path_; }
    // Makes a file (and its folders) under the folder; returns its path.
    std::string File(const std::string& Relative);

private:
    std::string path_;
};

}  // namespace bramble::test
