// The set-up the toolbar kit's window tests share: a form, docks on it and
// bars docked on them, all freed with the form.
#pragma once

#include <string>

#include "kits/toolbar/button.h"
#include "kits/toolbar/dock.h"
#include "kits/toolbar/toolbar.h"
#include "ui/forms.h"
#include "ui/ui_support.h"

namespace bramble::test {

inline TToolbarButton97* NewButton(TWinControl* Parent, const std::string& Caption, int W = 42, int H = 26) {
    auto* b = new TToolbarButton97(Parent);
    b->SetCaption(Caption);
    b->SetBounds(0, 0, W, H);
    b->SetParent(Parent);
    return b;
}

// A 640 x 420 form at (100, 100), not yet shown.
struct Form {
    TForm* f;
    explicit Form(const std::string& Caption = "Toolbar test") : f(new TForm(nullptr)) {
        f->AfterConstruction();
        f->SetBounds(100, 100, 640, 420);
        f->SetCaption(Caption);
    }
    ~Form() { TCustomForm::Free(f); }
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    TForm* operator->() const { return f; }

    TDock97* NewDock(TDockPosition P) {
        auto* d = new TDock97(f);
        d->SetPosition(P);
        d->SetParent(f);
        return d;
    }
    // A bar that stays shown while the test program is not the active one;
    // docked on Dock unless that is null. An empty name leaves both the
    // name and the caption alone.
    TSkiffbar* NewBar(TDock97* Dock, const std::string& Name = "") {
        auto* t = new TSkiffbar(f);
        if (!Name.empty()) {
            t->SetName(Name);
            t->SetCaption(Name);
        }
        t->SetHideWhenInactive(false);
        if (Dock) t->SetDockedTo(Dock);
        return t;
    }
};

// The shown form most tests start from: a dock on one edge holding a bar
// named "Bar" with one "Open" button.
struct Scene : Form {
    TDock97* dock;
    TSkiffbar* bar;
    TToolbarButton97* button;
    explicit Scene(TDockPosition P = dpTop) {
        dock = NewDock(P);
        f->Show();
        bar = NewBar(dock, "Bar");
        button = NewButton(bar, "Open");
        Pump();
    }
};

}  // namespace bramble::test
