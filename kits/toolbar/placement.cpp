#include "kits/toolbar/placement.h"

#include <algorithm>

namespace bramble {

void SaveToolWindowPlacement(TCustomToolWindow97* W, const std::vector<TDock97*>& Docks,
                             const TPositionWriteIntProc& Write) {
    const std::string& n = W->Name();
    int dock = -1;
    for (size_t i = 0; i < Docks.size(); ++i)
        if (Docks[i] == W->DockedTo()) dock = static_cast<int>(i);
    Write(n, "Dock", dock);
    Write(n, "Row", W->DockRow());
    Write(n, "Pos", W->DockPos());
    Write(n, "FloatLeft", W->FloatingPosition().X);
    Write(n, "FloatTop", W->FloatingPosition().Y);
    Write(n, "Visible", W->Visible() ? 1 : 0);
    W->SavePositionValues(Write);
}

void LoadToolWindowPlacement(TCustomToolWindow97* W, const std::vector<TDock97*>& Docks,
                             const TPositionReadIntProc& Read) {
    const std::string& n = W->Name();
    int cur = -1;
    for (size_t i = 0; i < Docks.size(); ++i)
        if (Docks[i] == W->DockedTo()) cur = static_cast<int>(i);
    int dock = Read(n, "Dock", cur);
    // A dock that is not there, or one the window may not use, keeps the
    // window where it is; so does floating a window that cannot float.
    if (dock >= static_cast<int>(Docks.size()) || dock < -1) dock = cur;
    if (dock >= 0 && !W->DockableTo().contains(Docks[static_cast<size_t>(dock)]->Position())) dock = cur;
    if (dock < 0 && W->DockMode() != dmCanFloat) dock = cur;
    const int row = tblayout::ClampRow(Read(n, "Row", W->DockRow()));
    const int pos = tblayout::ClampPos(Read(n, "Pos", W->DockPos()));
    const int fl = tblayout::ClampPos(Read(n, "FloatLeft", W->FloatingPosition().X));
    const int ft = tblayout::ClampPos(Read(n, "FloatTop", W->FloatingPosition().Y));
    const bool visible = Read(n, "Visible", W->Visible() ? 1 : 0) != 0;
    W->LoadPositionValues(Read);
    W->SetFloatingPosition({fl, ft});
    if (dock >= 0) {
        TDock97* d = Docks[static_cast<size_t>(dock)];
        d->BeginUpdate();
        W->SetDockRow(row);
        W->SetDockPos(pos);
        W->SetDockedTo(d);
        d->EndUpdate();
    } else if (W->DockedTo() || W->OwnerForm()) {
        W->SetDockedTo(nullptr);
        W->SetBounds(fl, ft, W->Width(), W->Height());
    }
    W->SetVisible(visible);
    // A place on a monitor that is gone, or a bad value, would leave the
    // window where nobody can reach it.
    if (!W->DockedTo()) W->MoveOnScreen(true);
}

}  // namespace bramble
