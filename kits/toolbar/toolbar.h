// The toolbar (its controls in one row when docked, wrapped into rows of a
// width the user picks when floating), the separator between groups of its
// controls, and the plain dockable window with a free client area.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "kits/toolbar/toolwindow.h"

namespace bramble {

class TToolbarSep97;

class TCustomSkiffbar : public TCustomToolWindow97 {
public:
    explicit TCustomSkiffbar(TComponent* AOwner);
    ~TCustomSkiffbar() override;

    int FloatRightX() const { return float_right_x_; }
    void SetFloatRightX(int v);
    // The controls in layout order.
    const std::vector<TControl*>& OrderList() const { return order_list_; }
    // Whether Loaded puts OrderList in the order of the controls' positions.
    bool SortOnLoad() const { return sort_on_load_; }
    void SetSortOnLoad(bool v) { sort_on_load_ = v; }
    // Wrap points of the floating layout: y of the row, and whether blank.
    const std::vector<tblayout::TbLineSep>& LineSeparators() const { return line_seps_; }

    int GetCrossSize(TBarOrientation O) override;
    void GetMinClientSize(int& W, int& H) override { W = H = 0; }
    void LayoutControls(bool CanMove, TBarOrientation O, TPoint& NewClientSize, TDock97* Dock) override;
    void LoadPositionValues(const TPositionReadIntProc& Read) override;
    void SavePositionValues(const TPositionWriteIntProc& Write) override;
    // A separator's press drags the bar as a press on the bar would.
    void SeparatorMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) { MouseDown(Button, Shift, X, Y); }

protected:
    void WndProc(TMessage& Message) override;
    void Paint() override;
    void Loaded() override;
    bool ChildControlTransparent(TControl* C) override;
    // Gives the controls the tab order and the z order of OrderList, so
    // that the keyboard and the painting follow the layout.
    virtual void UpdateChildOrder();
    void SizingStart(int Handle) override;
    void SizingMove(tblayout::Box& NewRect, const tblayout::Box& OrigRect) override;
    void SizingFinish(bool Accepted) override;

private:
    std::vector<tblayout::TbItem> Items(TBarOrientation O, std::vector<TControl*>& Controls) const;
    int float_right_x_ = 0;
    bool sort_on_load_ = true;
    std::vector<TControl*> order_list_;
    std::vector<tblayout::TbLineSep> line_seps_;
    struct SizeData {
        int handle = 0;
        std::vector<tblayout::Size2> sizes;  // outer sizes, one row first
        int chosenRightX = 0;
        int snap = 12;
        int lastDir = 0;
        bool changed = false;
    };
    std::unique_ptr<SizeData> size_data_;
};

class TSkiffbar : public TCustomSkiffbar {
public:
    using TCustomSkiffbar::TCustomSkiffbar;
};

class TToolbarSep97 : public TGraphicControl {
public:
    explicit TToolbarSep97(TComponent* AOwner);
    bool Blank() const { return blank_; }
    void SetBlank(bool v);
    int SizeHorz() const { return size_horz_; }
    void SetSizeHorz(int v);
    int SizeVert() const { return size_vert_; }
    void SetSizeVert(int v);
    void SetParent(TWinControl* AParent) override;
    void WndProc(TMessage& Message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    void Refit();
    bool blank_ = false;
    int size_horz_ = 6, size_vert_ = 6;
};

class TToolWindow97 : public TCustomToolWindow97 {
public:
    explicit TToolWindow97(TComponent* AOwner);
    int ClientAreaWidth() const { return bar_width_; }
    void SetClientAreaWidth(int v);
    int ClientAreaHeight() const { return bar_height_; }
    void SetClientAreaHeight(int v);
    int MinClientWidth() const { return min_client_width_; }
    void SetMinClientWidth(int v) { min_client_width_ = std::max(v, 0); }
    int MinClientHeight() const { return min_client_height_; }
    void SetMinClientHeight(int v) { min_client_height_ = std::max(v, 0); }
    bool Resizable() const { return TCustomToolWindow97::Resizable(); }
    void SetResizable(bool v) { SetResizableFlag(v); }

    int GetCrossSize(TBarOrientation O) override;
    void GetMinClientSize(int& W, int& H) override;
    void LayoutControls(bool CanMove, TBarOrientation O, TPoint& NewClientSize, TDock97* Dock) override;
    void LoadPositionValues(const TPositionReadIntProc& Read) override;
    void SavePositionValues(const TPositionWriteIntProc& Write) override;

protected:
    void ClientSizeChanging(int W, int H) override;

private:
    void SetClientArea(int W, int H);
    int bar_width_ = 32, bar_height_ = 32;
    int min_client_width_ = 32, min_client_height_ = 32;
};

}  // namespace bramble
