// Where the menu bar, the toolbar and the Messages window go when the
// settings are read, and what is stored of them: the dock by its code,
// the row, the place along the dock or on the screen, and the Messages
// window's size.
#include <windows.h>

#include <algorithm>

#include "app/forms/main_private.h"
#include "app/settings/settings.h"

namespace bramble {

TDock97* TfrmMain::DockOfCode(int Code) const {
    switch (Code) {
        case 1: return DockTop;
        case 2: return DockRight;
        case 3: return DockBottom;
        case 4: return DockLeft;
        default: return nullptr;
    }
}

int TfrmMain::CodeOfDock(const TDock97* Dock) const {
    if (Dock == DockTop) return 1;
    if (Dock == DockRight) return 2;
    if (Dock == DockBottom) return 3;
    if (Dock == DockLeft) return 4;
    return 0;
}

void TfrmMain::PlaceBar(TCustomToolWindow97* Bar, TDock97* Fallback, TDock97* Dock, bool Float, int Row, int Left,
                        int Top) {
    // Values from the registry are not trusted: a dock the bar may not use
    // keeps it on its first dock, and rows and places are kept where their
    // sums cannot overflow.
    if (Dock && !Bar->DockableTo().contains(Dock->Position())) Dock = nullptr;
    if (Float && Bar->DockMode() != dmCanFloat) Float = false;
    Row = tblayout::ClampRow(Row);
    Left = tblayout::ClampPos(Left);
    Top = tblayout::ClampPos(Top);
    if (Float) {
        Bar->SetFloatingPosition({Left, Top});
        Bar->SetDockedTo(nullptr);
        Bar->SetBounds(Left, Top, Bar->Width(), Bar->Height());
        // A place on a monitor that is gone, or a bad value, would leave the
        // bar where nobody can reach it.
        Bar->MoveOnScreen(true);
        return;
    }
    TDock97* d = Dock ? Dock : Fallback;
    d->BeginUpdate();
    Bar->SetDockedTo(d);
    Bar->SetDockRow(Row);
    // The place along the dock is the bar's DockPos: moving the window
    // alone would be undone by the dock's next layout.
    Bar->SetDockPos(d->Orientation() == TBarOrientation::Vertical ? Top : Left);
    d->EndUpdate();
}

void TfrmMain::RestoreBars(const TSettings& S) {
    PlaceBar(MainMenu981, DockTop, DockOfCode(S.mnuDock), S.mnuDock == 0, S.mnuDockRow, S.mnuLeft, S.mnuTop);
    PlaceBar(Skiffbar1, DockTop, DockOfCode(S.tbDock), S.tbDock == 0, S.tbDockRow, S.tbLeft, S.tbTop);
    Skiffbar1->SetVisible(S.tbVisible);
    mnuToolbar->SetChecked(S.tbVisible);

    // The size first, so a floating window is kept on the screen at the
    // size it will have.
    const TRect work = Screen ? Screen->WorkAreaRect() : Rect(0, 0, 640, 480);
    MsgToolWindow->SetClientAreaWidth(
        std::clamp(S.MsgWidth, MsgToolWindow->MinClientWidth(), std::max(MsgToolWindow->MinClientWidth(), work.Width())));
    MsgToolWindow->SetClientAreaHeight(std::clamp(S.MsgHeight, MsgToolWindow->MinClientHeight(),
                                                  std::max(MsgToolWindow->MinClientHeight(), work.Height())));
    // Any code but floating and the top dock keeps the bottom dock.
    PlaceBar(MsgToolWindow, DockBottom, S.MsgDock == 1 ? DockTop : DockBottom, S.MsgDock == 0, S.MsgDockRow,
             S.MsgLeft, S.MsgTop);
    MsgToolWindow->SetVisible(S.MsgVisible);
    mnuErrorMessages1->SetChecked(S.MsgVisible);
}

void TfrmMain::StoreBars(TSettings& S) const {
    S.mnuDock = CodeOfDock(MainMenu981->DockedTo());
    S.mnuDockRow = MainMenu981->DockRow();
    S.mnuLeft = MainMenu981->Left();
    S.mnuTop = MainMenu981->Top();
    S.tbDock = CodeOfDock(Skiffbar1->DockedTo());
    S.tbDockRow = Skiffbar1->DockRow();
    S.tbLeft = Skiffbar1->Left();
    S.tbTop = Skiffbar1->Top();
    S.tbVisible = mnuToolbar->Checked();
    // The Messages window docks on top or bottom only.
    const TDock97* d = MsgToolWindow->DockedTo();
    S.MsgDock = !d ? 0 : d == DockTop ? 1 : 2;
    S.MsgDockRow = MsgToolWindow->DockRow();
    S.MsgLeft = MsgToolWindow->Left();
    S.MsgTop = MsgToolWindow->Top();
    S.MsgVisible = mnuErrorMessages1->Checked();
    S.MsgWidth = MsgToolWindow->ClientAreaWidth();
    S.MsgHeight = MsgToolWindow->ClientAreaHeight();
}

}  // namespace bramble
