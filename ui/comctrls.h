// Common controls: list view (also owner data), tree view, status bar,
// progress bar, rich edit, page control with tab sheets.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/control.h"
#include "ui/stdctrls.h"

namespace bramble {

// ---- list view ----------------------------------------------------------------------------

class TListView;
class TListItems;

class TListColumn : public TObject {
public:
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v);
    // Pixels; the user's resizing is read back from the window.
    int Width() const;
    void SetWidth(int v);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    int Index() const;

private:
    friend class TListColumns;
    friend class TListView;
    explicit TListColumn(TListView* Owner) : owner_(Owner) {}
    TListView* owner_;
    std::string caption_;
    int width_ = 50;
    TAlignment alignment_ = taLeftJustify;
};

class TListColumns {
public:
    explicit TListColumns(TListView* Owner) : owner_(Owner) {}
    TListColumn* Add();
    int Count() const { return static_cast<int>(columns_.size()); }
    TListColumn* Items(int Index) const;
    TListColumn* operator[](int Index) const { return Items(Index); }
    void Delete(int Index);
    void Clear();

private:
    friend class TListColumn;
    friend class TListView;
    TListView* owner_;
    std::vector<std::unique_ptr<TListColumn>> columns_;
};

class TListItem : public TObject {
public:
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v);
    TStringList& SubItems() { return sub_items_; }
    int ImageIndex() const { return image_index_; }
    void SetImageIndex(int v);
    void* Data() const { return data_; }
    void SetData(void* v) { data_ = v; }
    int Index() const;
    bool Selected() const;
    void SetSelected(bool v);
    bool Focused() const;
    void SetFocused(bool v);
    void MakeVisible(bool PartialOK);
    // Removes (and frees) the item; not for owner-data lists.
    void Delete();
    TListView* ListView() const { return owner_; }

private:
    friend class TListItems;
    friend class TListView;
    explicit TListItem(TListView* Owner);
    void Push(int sub);
    TListView* owner_;
    std::string caption_;
    TStringList sub_items_;
    int image_index_ = -1;
    void* data_ = nullptr;
    int virtual_index_ = -1;  // owner data: the row this temporary item describes
};

class TListItems {
public:
    explicit TListItems(TListView* Owner) : owner_(Owner) {}
    ~TListItems();
    int Count() const;
    // Owner data: the number of rows the list shows.
    void SetCount(int v);
    TListItem* Add();
    TListItem* Insert(int Index);
    // Owner data: a temporary item filled through OnData.
    TListItem* Item(int Index);
    TListItem* operator[](int Index) { return Item(Index); }
    void Delete(int Index);
    void Clear();
    int IndexOf(const TListItem* Item) const;
    void BeginUpdate();
    void EndUpdate();

private:
    friend class TListItem;
    friend class TListView;
    TListView* owner_;
    std::vector<std::unique_ptr<TListItem>> items_;
    int virtual_count_ = 0;
    int update_count_ = 0;
};

enum TViewStyle : uint8_t { vsIcon, vsSmallIcon, vsList, vsReport };
enum TItemFind : uint8_t { ifData, ifPartialString, ifExactString, ifNearest };
enum TSearchDirection : uint8_t { sdLeft, sdRight, sdAbove, sdBelow, sdAll };
enum TItemChange : uint8_t { ctText, ctImage, ctState };
enum TItemStateFlag : uint8_t { isNone, isCut, isDropHilited, isFocused, isSelected, isActivating };
using TItemStates = TSet<TItemStateFlag>;
enum TSearchDir : uint8_t { sdNext, sdPrevious };

using TLVOwnerDataEvent = std::function<void(TObject* Sender, TListItem* Item)>;
// StartIndex is always a row of the list (0 when the search starts at the
// top); an Index outside the list is taken as "not found".
using TLVOwnerDataFindEvent =
    std::function<void(TObject* Sender, TItemFind Find, const std::string& FindString, TPoint FindPosition,
                       void* FindData, int StartIndex, TSearchDirection Direction, bool Wrap, int& Index)>;
using TLVOwnerDataHintEvent = std::function<void(TObject* Sender, int StartIndex, int EndIndex)>;
using TLVColumnClickEvent = std::function<void(TObject* Sender, TListColumn* Column)>;
using TLVCompareEvent =
    std::function<void(TObject* Sender, TListItem* Item1, TListItem* Item2, int Data, int& Compare)>;
using TLVChangeEvent = std::function<void(TObject* Sender, TListItem* Item, TItemChange Change)>;
using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;
// The left (mbLeft) or right (mbRight) button began dragging Item.
using TLVBeginDragEvent = std::function<void(TObject* Sender, TListItem* Item, TMouseButton Button)>;

// How a list or tree orders its items by itself: stNone not at all, stText
// by caption, stData and stBoth through the compare event.
enum TSortType : uint8_t { stNone, stData, stText, stBoth };

// Custom drawing: the item's state as the control paints it.
enum TCustomDrawStateFlag : uint8_t { cdsSelected, cdsGrayed, cdsDisabled, cdsChecked, cdsFocused, cdsDefault,
                                      cdsHot, cdsMarked, cdsIndeterminate };
using TCustomDrawState = TSet<TCustomDrawStateFlag>;
// Before the control paints: drawing on Canvas is the handler's; a handler
// that paints all itself clears DefaultDraw.
using TLVCustomDrawEvent = std::function<void(TListView* Sender, const TRect& ARect, bool& DefaultDraw)>;
// Before one item is painted: the colours and font the handler leaves on
// the list's Canvas (Font().Color(), Brush().Color(), the font itself) are
// the item's; clearing DefaultDraw leaves the item unpainted by the control.
using TLVCustomDrawItemEvent =
    std::function<void(TListView* Sender, TListItem* Item, TCustomDrawState State, bool& DefaultDraw)>;

class TListView : public TWinControl {
public:
    explicit TListView(TComponent* AOwner);
    ~TListView() override;

    TListColumns& Columns() { return columns_; }
    TListItems& Items() { return items_; }
    TViewStyle ViewStyle() const { return view_style_; }
    void SetViewStyle(TViewStyle v);
    // Rows come from OnData on demand; switching re-creates the window.
    bool OwnerData() const { return owner_data_; }
    void SetOwnerData(bool v);
    bool MultiSelect() const { return multi_select_; }
    void SetMultiSelect(bool v);
    bool ReadOnly() const { return read_only_; }
    void SetReadOnly(bool v);
    bool RowSelect() const { return row_select_; }
    void SetRowSelect(bool v);
    bool GridLines() const { return grid_lines_; }
    void SetGridLines(bool v);
    bool HideSelection() const { return hide_selection_; }
    void SetHideSelection(bool v);
    bool ShowColumnHeaders() const { return show_headers_; }
    void SetShowColumnHeaders(bool v);
    // Image lists stay their owners' (the window never frees them).
    TCustomImageList* SmallImages() const { return small_images_; }
    void SetSmallImages(TCustomImageList* v);
    TCustomImageList* LargeImages() const { return large_images_; }
    void SetLargeImages(TCustomImageList* v);

    TListItem* Selected();
    void SetSelected(TListItem* v);
    int SelCount();
    int ItemIndex();
    void SetItemIndex(int v);
    TListItem* ItemFocused();
    // The index of the next row after Start with all of States; -1 when none.
    int GetNextItem(int StartIndex, TSearchDir Direction, TItemStates States);
    bool IsSelected(int Index);
    void SetIsSelected(int Index, bool v);
    void SelectAll();
    void ClearSelection();
    TListItem* GetItemAt(int X, int Y);
    // Sorts by OnCompare (or by caption); not for owner-data lists.
    bool AlphaSort();
    // Sorts by Compare (negative: A before B), which gets Param with each
    // pair; not for owner-data lists.
    bool CustomSort(const std::function<int(TListItem* A, TListItem* B, LPARAM Param)>& Compare, LPARAM Param);
    void UpdateItems(int FirstIndex, int LastIndex);
    // stText and stBoth sort by caption (or OnCompare) when set.
    TSortType SortType() const { return sort_type_; }
    void SetSortType(TSortType v);
    // Lent the device context while OnCustomDraw/OnCustomDrawItem run.
    TCanvas& Canvas() { return canvas_; }

    void WndProc(TMessage& Message) override;

    TLVOwnerDataEvent OnData;
    TLVOwnerDataFindEvent OnDataFind;
    TLVOwnerDataHintEvent OnDataHint;
    TLVColumnClickEvent OnColumnClick;
    TLVCompareEvent OnCompare;
    TLVChangeEvent OnChange;
    TLVSelectItemEvent OnSelectItem;
    TLVBeginDragEvent OnBeginDrag;
    TLVCustomDrawEvent OnCustomDraw;
    TLVCustomDrawItemEvent OnCustomDrawItem;

protected:
    friend class TListItem;
    friend class TListItems;
    friend class TListColumn;
    friend class TListColumns;
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void UpdateColumns();
    void UpdateColumn(int Index);
    void InsertItemWindow(int Index, TListItem* Item);
    // Owner data: the temporary item of a row, filled once per row and paint.
    TListItem* DataItem(int Index);
    void ResetDataCache() { cached_index_ = -1; }
    // What OnBeginDrag stands on; a descendant widens it.
    virtual void BeginItemDrag(TListItem* Item, TMouseButton Button);

private:
    void NotifyHandler(TMessage& m);
    LRESULT CustomDraw(NMLVCUSTOMDRAW* Draw);
    void UpdateImages();
    void UpdateExStyle();
    TListColumns columns_;
    TListItems items_;
    TViewStyle view_style_ = vsIcon;
    bool owner_data_ = false, multi_select_ = false, read_only_ = false, row_select_ = false, grid_lines_ = false,
         hide_selection_ = true, show_headers_ = true;
    TCustomImageList* small_images_ = nullptr;
    TCustomImageList* large_images_ = nullptr;
    TChangeLink small_link_, large_link_;
    std::unique_ptr<TListItem> data_item_;
    int cached_index_ = -1;
    std::string text_buffer_;
    TSortType sort_type_ = stNone;
    TCanvas canvas_;
    HGDIOBJ drawn_font_ = nullptr;  // the control's font, put back after an item
};

// ---- tree view ------------------------------------------------------------------------------

class TTreeView;
class TTreeNodes;

class TTreeNode : public TObject {
public:
    ~TTreeNode() override;
    const std::string& Text() const { return text_; }
    void SetText(const std::string& v);
    int ImageIndex() const { return image_index_; }
    void SetImageIndex(int v);
    int SelectedIndex() const { return selected_index_; }
    void SetSelectedIndex(int v);
    // The image list's overlay image drawn over the node's (-1: none).
    int OverlayIndex() const { return overlay_index_; }
    void SetOverlayIndex(int v);
    void* Data() const { return data_; }
    void SetData(void* v) { data_ = v; }
    // Shows an expand button before the children are known. A node whose
    // children are told on demand asks its tree (OnGetHasChildren) the
    // first time anyone needs to know, usually when it is first drawn.
    bool HasChildren() const;
    void SetHasChildren(bool v);
    bool ChildrenOnDemand() const { return on_demand_; }
    void SetChildrenOnDemand(bool v);
    TTreeNode* Parent() const { return parent_; }
    int Count() const { return static_cast<int>(children_.size()); }
    TTreeNode* Item(int Index) const { return children_.at(static_cast<size_t>(Index)); }
    int Index() const;
    int Level() const;
    TTreeNode* GetFirstChild() const { return children_.empty() ? nullptr : children_.front(); }
    TTreeNode* GetNextSibling() const;
    bool Expanded() const;
    void SetExpanded(bool v);
    void Expand(bool Recurse);
    void Collapse(bool Recurse);
    bool Selected() const;
    void SetSelected(bool v);
    void MakeVisible();
    void Delete();
    void DeleteChildren();
    // Orders the children by Compare (negative: first before second), in
    // the node list and on the screen alike.
    void CustomSort(const std::function<int(TTreeNode* A, TTreeNode* B)>& Compare);
    // Starts editing the label in place.
    void EditText();
    HTREEITEM ItemId() const { return id_; }
    TTreeView* TreeView() const { return owner_; }

private:
    friend class TTreeNodes;
    friend class TTreeView;
    explicit TTreeNode(TTreeView* Owner) : owner_(Owner) {}
    void UpdateWindow(UINT mask);
    // What the control is told in cChildren.
    int ChildrenField() const;
    // The answer for the control's own question, which it keeps.
    bool HasChildrenForControl();
    TTreeView* owner_;
    TTreeNode* parent_ = nullptr;
    std::vector<TTreeNode*> children_;
    std::string text_;
    int image_index_ = -1, selected_index_ = -1, overlay_index_ = -1;
    void* data_ = nullptr;
    bool has_children_ = false;
    bool on_demand_ = false;
    bool expanded_ = false;
    HTREEITEM id_ = nullptr;
};

class TTreeNodes {
public:
    explicit TTreeNodes(TTreeView* Owner) : owner_(Owner) {}
    ~TTreeNodes();
    // A new last top-level node (Sibling's level when given).
    TTreeNode* Add(TTreeNode* Sibling, const std::string& S);
    TTreeNode* AddChild(TTreeNode* Parent, const std::string& S);
    TTreeNode* AddChildFirst(TTreeNode* Parent, const std::string& S);
    void Clear();
    void Delete(TTreeNode* Node);
    // Every node, depth first.
    int Count() const;
    TTreeNode* GetFirstNode() const { return roots_.empty() ? nullptr : roots_.front(); }
    int TopCount() const { return static_cast<int>(roots_.size()); }
    TTreeNode* Top(int Index) const { return roots_.at(static_cast<size_t>(Index)); }
    void BeginUpdate();
    void EndUpdate();

private:
    friend class TTreeNode;
    friend class TTreeView;
    TTreeNode* InsertNode(TTreeNode* Parent, int Index, const std::string& S);
    void Unlink(TTreeNode* Node);
    // Fires OnDeletion for the node and everything below it.
    void NotifyDeletion(TTreeNode* Node);
    TTreeView* owner_;
    std::vector<TTreeNode*> roots_;
    int update_count_ = 0;
};

using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVChangingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVExpandingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVCollapsingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowCollapse)>;
using TTVExpandedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVEditingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowEdit)>;
// S is the typed text; the label shows S as the handler leaves it.
using TTVEditedEvent = std::function<void(TObject* Sender, TTreeNode* Node, std::string& S)>;
// A right-click at a screen point; Handled stops the default context menu.
using TTVContextEvent = std::function<void(TObject* Sender, TPoint ScreenPos, bool& Handled)>;
// Whether a node whose children are told on demand has any.
using TTVHasChildrenEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& HasChildren)>;
// The left (mbLeft) or right (mbRight) button began dragging Node.
using TTVBeginDragEvent = std::function<void(TObject* Sender, TTreeNode* Node, TMouseButton Button)>;

class TTreeView : public TWinControl {
public:
    explicit TTreeView(TComponent* AOwner);
    ~TTreeView() override;
    TTreeNodes& Items() { return items_; }
    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* v);
    TTreeNode* Selected() const;
    void SetSelected(TTreeNode* v);
    bool ShowLines() const { return show_lines_; }
    void SetShowLines(bool v);
    bool ShowRoot() const { return show_root_; }
    void SetShowRoot(bool v);
    bool ShowButtons() const { return show_buttons_; }
    void SetShowButtons(bool v);
    bool ReadOnly() const { return read_only_; }
    void SetReadOnly(bool v);
    bool HideSelection() const { return hide_selection_; }
    void SetHideSelection(bool v);
    // stText and stBoth keep every node's children in caption order.
    TSortType SortType() const { return sort_type_; }
    void SetSortType(TSortType v);
    // Orders the top nodes and, with Recurse, every node's children by caption.
    void AlphaSort(bool Recurse = true);
    TTreeNode* GetNodeAt(int X, int Y);
    void WndProc(TMessage& Message) override;

    TTVChangedEvent OnChange;
    TTVChangingEvent OnChanging;
    TTVExpandingEvent OnExpanding;
    TTVExpandedEvent OnExpanded;
    TTVCollapsingEvent OnCollapsing;
    TTVExpandedEvent OnCollapsed;
    // Fired for every node before it goes (its children too): free the
    // node's data here.
    TTVExpandedEvent OnDeletion;
    TTVEditingEvent OnEditing;
    TTVEditedEvent OnEdited;
    TTVContextEvent OnRightClick;
    TTVHasChildrenEvent OnGetHasChildren;
    TTVBeginDragEvent OnBeginDrag;
    // Whether a label is being edited in place now.
    bool IsEditing() const;

protected:
    friend class TTreeNode;
    friend class TTreeNodes;
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void InsertWindowNode(TTreeNode* Node, HTREEITEM After);
    TTreeNode* NodeFromId(HTREEITEM Id) const;
    // What the events stand on; a descendant widens them and calls these.
    virtual void Change(TTreeNode* Node);
    virtual bool CanExpand(TTreeNode* Node);
    virtual void Delete(TTreeNode* Node);
    virtual bool CanEdit(TTreeNode* Node);
    virtual void Edit(TTreeNode* Node, std::string& S);
    virtual bool ContextClick(TPoint ScreenPos);
    // Asked once for a node whose children are told on demand.
    virtual bool GetHasChildren(TTreeNode* Node);
    virtual void BeginNodeDrag(TTreeNode* Node, TMouseButton Button);

private:
    TTreeNodes items_;
    TCustomImageList* images_ = nullptr;
    TChangeLink image_link_;
    bool show_lines_ = true, show_root_ = true, show_buttons_ = true, read_only_ = false, hide_selection_ = true;
    TTreeNode* selected_ = nullptr;
    bool rebuilding_ = false;
    TSortType sort_type_ = stNone;
};

// ---- status bar ------------------------------------------------------------------------------

class TStatusBar;
enum TStatusPanelStyle : uint8_t { psText, psOwnerDraw };
enum TStatusPanelBevel : uint8_t { pbNone, pbLowered, pbRaised };

class TStatusPanel : public TObject {
public:
    const std::string& Text() const { return text_; }
    void SetText(const std::string& v);
    int Width() const { return width_; }
    void SetWidth(int v);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    TStatusPanelStyle Style() const { return style_; }
    void SetStyle(TStatusPanelStyle v);
    TStatusPanelBevel Bevel() const { return bevel_; }
    void SetBevel(TStatusPanelBevel v);
    int Index() const;

private:
    friend class TStatusPanels;
    friend class TStatusBar;
    explicit TStatusPanel(TStatusBar* Owner) : owner_(Owner) {}
    TStatusBar* owner_;
    std::string text_;
    int width_ = 50;
    TAlignment alignment_ = taLeftJustify;
    TStatusPanelStyle style_ = psText;
    TStatusPanelBevel bevel_ = pbLowered;
};

class TStatusPanels {
public:
    explicit TStatusPanels(TStatusBar* Owner) : owner_(Owner) {}
    TStatusPanel* Add();
    int Count() const { return static_cast<int>(panels_.size()); }
    TStatusPanel* Items(int Index) const;
    TStatusPanel* operator[](int Index) const { return Items(Index); }
    void Delete(int Index);
    void Clear();

private:
    friend class TStatusPanel;
    friend class TStatusBar;
    TStatusBar* owner_;
    std::vector<std::unique_ptr<TStatusPanel>> panels_;
};

using TDrawPanelEvent = std::function<void(TStatusBar* StatusBar, TStatusPanel* Panel, TRect Rect)>;

class TStatusBar : public TWinControl {
public:
    explicit TStatusBar(TComponent* AOwner);
    TStatusPanels& Panels() { return panels_; }
    bool SimplePanel() const { return simple_panel_; }
    void SetSimplePanel(bool v);
    const std::string& SimpleText() const { return simple_text_; }
    void SetSimpleText(const std::string& v);
    bool SizeGrip() const { return size_grip_; }
    void SetSizeGrip(bool v);
    // Where a panel lies in the bar's client area (for child controls).
    TRect PanelRect(int Index);
    TCanvas& Canvas() { return canvas_; }
    void WndProc(TMessage& Message) override;

    TDrawPanelEvent OnDrawPanel;

protected:
    friend class TStatusPanel;
    friend class TStatusPanels;
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void UpdatePanels();
    void UpdatePanel(int Index);

private:
    TStatusPanels panels_;
    bool simple_panel_ = false;
    std::string simple_text_;
    bool size_grip_ = true;
    TCanvas canvas_;
};

// ---- progress bar, rich edit ----------------------------------------------------------------------

class TProgressBar : public TWinControl {
public:
    explicit TProgressBar(TComponent* AOwner);
    int Min() const { return min_; }
    void SetMin(int v);
    int Max() const { return max_; }
    void SetMax(int v);
    int Position() const;
    void SetPosition(int v);
    int Step() const { return step_; }
    void SetStep(int v);
    void StepIt();
    void StepBy(int Delta);
    bool Smooth() const { return smooth_; }
    void SetSmooth(bool v);

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;

private:
    int min_ = 0, max_ = 100, position_ = 0, step_ = 10;
    bool smooth_ = false;
};

class TRichEdit : public TCustomMemo {
public:
    explicit TRichEdit(TComponent* AOwner);
    // Whether the rich edit library could be loaded (else a plain edit stands in).
    static bool Available();

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void UpdateMaxLength() override;
};

// ---- page control -------------------------------------------------------------------------------

class TPageControl;

class TTabSheet : public TWinControl {
public:
    explicit TTabSheet(TComponent* AOwner);
    ~TTabSheet() override;
    TPageControl* PageControl() const { return page_control_; }
    void SetPageControl(TPageControl* v);
    int PageIndex() const;
    void SetPageIndex(int v);
    bool TabVisible() const { return tab_visible_; }
    void SetTabVisible(bool v);
    int ImageIndex() const { return image_index_; }
    void SetImageIndex(int v);
    void WndProc(TMessage& Message) override;

private:
    friend class TPageControl;
    TPageControl* page_control_ = nullptr;
    bool tab_visible_ = true;
    int image_index_ = -1;
};

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TPageControl : public TWinControl {
public:
    explicit TPageControl(TComponent* AOwner);
    ~TPageControl() override;
    int PageCount() const { return static_cast<int>(pages_.size()); }
    TTabSheet* Pages(int Index) const { return pages_.at(static_cast<size_t>(Index)); }
    TTabSheet* ActivePage() const { return active_; }
    void SetActivePage(TTabSheet* v);
    int ActivePageIndex() const;
    void SetActivePageIndex(int v);
    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* v);
    // The area inside the tabs where the sheets lie.
    TRect DisplayRect();
    void AlignControls(TControl* AControl, TRect& Rect) override;
    void WndProc(TMessage& Message) override;

    TNotifyEvent OnChange;
    TTabChangingEvent OnChanging;

protected:
    friend class TTabSheet;
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void InsertPage(TTabSheet* Page);
    void RemovePage(TTabSheet* Page);
    void UpdateTabs();
    int TabIndexOf(const TTabSheet* Page) const;
    TTabSheet* PageOfTab(int TabIndex) const;

private:
    std::vector<TTabSheet*> pages_;
    TTabSheet* active_ = nullptr;
    TCustomImageList* images_ = nullptr;
};

}  // namespace bramble
