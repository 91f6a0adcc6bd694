// The tree view and its nodes, declared with the other common controls.
#include "ui/comctrls.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace bramble {

// ---- tree view ----------------------------------------------------------------------------------

TTreeNode::~TTreeNode() {
    for (TTreeNode* c : children_) delete c;
}

void TTreeNode::UpdateWindow(UINT mask) {
    if (!id_ || !owner_->HandleAllocated()) return;
    TVITEMA it{};
    it.mask = mask | TVIF_HANDLE;
    it.hItem = id_;
    it.pszText = text_.data();
    it.iImage = image_index_;
    it.iSelectedImage = selected_index_;
    it.cChildren = ChildrenField();
    it.stateMask = TVIS_OVERLAYMASK;
    it.state = INDEXTOOVERLAYMASK(overlay_index_ + 1);
    SendMessageA(owner_->Handle(), TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
}

void TTreeNode::SetText(const std::string& v) {
    text_ = v;
    UpdateWindow(TVIF_TEXT);
}

void TTreeNode::SetImageIndex(int v) {
    image_index_ = v;
    UpdateWindow(TVIF_IMAGE);
}

void TTreeNode::SetSelectedIndex(int v) {
    selected_index_ = v;
    UpdateWindow(TVIF_SELECTEDIMAGE);
}

void TTreeNode::SetOverlayIndex(int v) {
    overlay_index_ = v;
    UpdateWindow(TVIF_STATE);
}

int TTreeNode::ChildrenField() const {
    if (!children_.empty()) return 1;
    if (on_demand_) return I_CHILDRENCALLBACK;
    return has_children_ ? 1 : 0;
}

bool TTreeNode::HasChildrenForControl() {
    if (!children_.empty()) return true;
    if (on_demand_) {
        has_children_ = owner_->GetHasChildren(this);
        on_demand_ = false;
    }
    return has_children_;
}

bool TTreeNode::HasChildren() const {
    auto* self = const_cast<TTreeNode*>(this);
    if (!on_demand_ || !children_.empty()) return self->HasChildrenForControl();
    // Asked before the control did: the control is told the answer too.
    const bool has = self->HasChildrenForControl();
    self->UpdateWindow(TVIF_CHILDREN);
    return has;
}

void TTreeNode::SetHasChildren(bool v) {
    has_children_ = v;
    on_demand_ = false;
    UpdateWindow(TVIF_CHILDREN);
}

void TTreeNode::SetChildrenOnDemand(bool v) {
    if (v == on_demand_) return;
    on_demand_ = v;
    UpdateWindow(TVIF_CHILDREN);
}

int TTreeNode::Index() const {
    const auto& l = parent_ ? parent_->children_ : owner_->items_.roots_;
    auto it = std::find(l.begin(), l.end(), this);
    return it == l.end() ? -1 : static_cast<int>(it - l.begin());
}

int TTreeNode::Level() const {
    int n = 0;
    for (TTreeNode* p = parent_; p; p = p->parent_) ++n;
    return n;
}

TTreeNode* TTreeNode::GetNextSibling() const {
    const auto& l = parent_ ? parent_->children_ : owner_->items_.roots_;
    int i = Index();
    return i >= 0 && i + 1 < static_cast<int>(l.size()) ? l[static_cast<size_t>(i + 1)] : nullptr;
}

bool TTreeNode::Expanded() const {
    if (id_ && owner_->HandleAllocated())
        return (SendMessageA(owner_->Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(id_), TVIS_EXPANDED) &
                TVIS_EXPANDED) != 0;
    return expanded_;
}

void TTreeNode::SetExpanded(bool v) {
    if (v)
        Expand(false);
    else
        Collapse(false);
}

void TTreeNode::Expand(bool Recurse) {
    expanded_ = true;
    if (id_ && owner_->HandleAllocated())
        SendMessageA(owner_->Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(id_));
    if (Recurse)
        for (TTreeNode* c : std::vector<TTreeNode*>(children_)) c->Expand(true);
}

void TTreeNode::Collapse(bool Recurse) {
    expanded_ = false;
    if (id_ && owner_->HandleAllocated())
        SendMessageA(owner_->Handle(), TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(id_));
    if (Recurse)
        for (TTreeNode* c : children_) c->Collapse(true);
}

bool TTreeNode::Selected() const { return owner_->Selected() == this; }

void TTreeNode::SetSelected(bool v) {
    if (v)
        owner_->SetSelected(this);
    else if (Selected())
        owner_->SetSelected(nullptr);
}

void TTreeNode::MakeVisible() {
    if (id_ && owner_->HandleAllocated())
        SendMessageA(owner_->Handle(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(id_));
}

void TTreeNode::Delete() { owner_->items_.Delete(this); }

void TTreeNode::DeleteChildren() {
    while (!children_.empty()) owner_->items_.Delete(children_.back());
    UpdateWindow(TVIF_CHILDREN);
}

static int CALLBACK TreeCompareProc(LPARAM A, LPARAM B, LPARAM Param) {
    auto* f = reinterpret_cast<const std::function<int(TTreeNode*, TTreeNode*)>*>(Param);
    return CallGuarded(nullptr, 0,
                       [&] { return (*f)(reinterpret_cast<TTreeNode*>(A), reinterpret_cast<TTreeNode*>(B)); });
}

void TTreeNode::CustomSort(const std::function<int(TTreeNode* A, TTreeNode* B)>& Compare) {
    std::stable_sort(children_.begin(), children_.end(),
                     [&](TTreeNode* a, TTreeNode* b) { return Compare(a, b) < 0; });
    if (!id_ || !owner_->HandleAllocated()) return;
    // The control orders its items by the same answers.
    TVSORTCB cb{};
    cb.hParent = id_;
    cb.lParam = reinterpret_cast<LPARAM>(&Compare);
    cb.lpfnCompare = TreeCompareProc;
    SendMessageA(owner_->Handle(), TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&cb));
}

void TTreeNode::EditText() {
    if (id_ && owner_->HandleAllocated())
        SendMessageA(owner_->Handle(), TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(id_));
}

TTreeNodes::~TTreeNodes() {
    for (TTreeNode* n : roots_) delete n;
}

TTreeNode* TTreeNodes::InsertNode(TTreeNode* Parent, int Index, const std::string& S) {
    auto* n = new TTreeNode(owner_);
    n->text_ = S;
    n->parent_ = Parent;
    auto& l = Parent ? Parent->children_ : roots_;
    Index = std::clamp(Index, 0, static_cast<int>(l.size()));
    if (owner_->sort_type_ == stText || owner_->sort_type_ == stBoth)
        Index = static_cast<int>(std::upper_bound(l.begin(), l.end(), n,
                                                  [](const TTreeNode* a, const TTreeNode* b) {
                                                      return CompareText(a->text_, b->text_) < 0;
                                                  }) -
                                 l.begin());
    l.insert(l.begin() + Index, n);
    if (owner_->HandleAllocated()) {
        HTREEITEM after = Index == 0 ? TVI_FIRST : l[static_cast<size_t>(Index - 1)]->id_;
        owner_->InsertWindowNode(n, after);
        if (Parent) Parent->UpdateWindow(TVIF_CHILDREN);
    }
    return n;
}

TTreeNode* TTreeNodes::Add(TTreeNode* Sibling, const std::string& S) {
    TTreeNode* parent = Sibling ? Sibling->parent_ : nullptr;
    int count = parent ? parent->Count() : static_cast<int>(roots_.size());
    return InsertNode(parent, count, S);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* Parent, const std::string& S) {
    return InsertNode(Parent, Parent ? Parent->Count() : static_cast<int>(roots_.size()), S);
}

TTreeNode* TTreeNodes::AddChildFirst(TTreeNode* Parent, const std::string& S) { return InsertNode(Parent, 0, S); }

void TTreeNodes::Unlink(TTreeNode* Node) {
    auto& l = Node->parent_ ? Node->parent_->children_ : roots_;
    l.erase(std::remove(l.begin(), l.end(), Node), l.end());
}

static bool Holds(const TTreeNode* Branch, const TTreeNode* Node) {
    for (const TTreeNode* p = Node; p; p = p->Parent())
        if (p == Branch) return true;
    return false;
}

void TTreeNodes::NotifyDeletion(TTreeNode* Node) {
    std::vector<TTreeNode*> stack{Node};
    while (!stack.empty()) {
        TTreeNode* n = stack.back();
        stack.pop_back();
        owner_->Delete(n);
        for (TTreeNode* c : n->children_) stack.push_back(c);
    }
}

void TTreeNodes::Delete(TTreeNode* Node) {
    if (!Node) return;
    NotifyDeletion(Node);
    TTreeNode* parent = Node->parent_;
    Unlink(Node);
    if (Node->id_ && owner_->HandleAllocated()) {
        // The control moves its selection off the branch itself and says so
        // (OnChanging, OnChange); what it shows afterwards is the selection.
        HWND h = owner_->Handle();
        SendMessageA(h, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(Node->id_));
        owner_->selected_ = owner_->NodeFromId(
            reinterpret_cast<HTREEITEM>(SendMessageA(h, TVM_GETNEXTITEM, TVGN_CARET, 0)));
    }
    if (Holds(Node, owner_->selected_)) owner_->selected_ = nullptr;
    delete Node;
    if (parent) parent->UpdateWindow(TVIF_CHILDREN);
}

void TTreeNodes::Clear() {
    for (TTreeNode* n : std::vector<TTreeNode*>(roots_)) NotifyDeletion(n);
    // All at once: deleting node by node would walk the selection through
    // every node about to go.
    owner_->selected_ = nullptr;
    if (owner_->HandleAllocated()) {
        owner_->rebuilding_ = true;
        SendMessageA(owner_->Handle(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
        owner_->rebuilding_ = false;
    }
    std::vector<TTreeNode*> roots;
    roots.swap(roots_);
    for (TTreeNode* n : roots) delete n;
}

int TTreeNodes::Count() const {
    int n = 0;
    std::vector<TTreeNode*> stack(roots_.begin(), roots_.end());
    while (!stack.empty()) {
        TTreeNode* x = stack.back();
        stack.pop_back();
        ++n;
        for (TTreeNode* c : x->children_) stack.push_back(c);
    }
    return n;
}

void TTreeNodes::BeginUpdate() {
    if (update_count_++ == 0 && owner_->HandleAllocated()) SendMessageA(owner_->Handle(), WM_SETREDRAW, FALSE, 0);
}

void TTreeNodes::EndUpdate() {
    if (update_count_ > 0 && --update_count_ == 0 && owner_->HandleAllocated()) {
        SendMessageA(owner_->Handle(), WM_SETREDRAW, TRUE, 0);
        InvalidateRect(owner_->Handle(), nullptr, TRUE);
    }
}

TTreeView::TTreeView(TComponent* AOwner) : TWinControl(AOwner), items_(this) {
    SetControlStyle({csSetCaption, csDoubleClicks});
    SetBounds(0, 0, 121, 97);
    SetTabStop(true);
    SetParentColor(false);
    SetColor(clWindow);
    image_link_.OnChange = [this](TObject*) {
        if (HandleAllocated())
            SendMessageA(Handle(), TVM_SETIMAGELIST, TVSIL_NORMAL,
                         reinterpret_cast<LPARAM>(images_ ? images_->Handle() : nullptr));
    };
}

TTreeView::~TTreeView() {
    Destroying();
    if (images_) images_->UnRegisterChanges(&image_link_);
    DestroyHandle();
}

void TTreeView::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    CreateSubClass(P, WC_TREEVIEWA);
    if (show_lines_) P.Style |= TVS_HASLINES;
    if (show_root_) P.Style |= TVS_LINESATROOT;
    if (show_buttons_) P.Style |= TVS_HASBUTTONS;
    if (!read_only_) P.Style |= TVS_EDITLABELS;
    if (!hide_selection_) P.Style |= TVS_SHOWSELALWAYS;
    P.ExStyle |= WS_EX_CLIENTEDGE;
}

void TTreeView::InsertWindowNode(TTreeNode* Node, HTREEITEM After) {
    TVINSERTSTRUCTA ins{};
    ins.hParent = Node->parent_ ? Node->parent_->id_ : TVI_ROOT;
    ins.hInsertAfter = After ? After : TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN | TVIF_STATE;
    ins.item.stateMask = TVIS_OVERLAYMASK;
    ins.item.state = INDEXTOOVERLAYMASK(Node->overlay_index_ + 1);
    ins.item.pszText = Node->text_.data();
    ins.item.iImage = Node->image_index_;
    ins.item.iSelectedImage = Node->selected_index_;
    ins.item.lParam = reinterpret_cast<LPARAM>(Node);
    ins.item.cChildren = Node->ChildrenField();
    Node->id_ = reinterpret_cast<HTREEITEM>(SendMessageA(Handle(), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
}

void TTreeView::CreateWnd() {
    TWinControl::CreateWnd();
    if (images_)
        SendMessageA(Handle(), TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images_->Handle()));
    SendMessageA(Handle(), TVM_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
    rebuilding_ = true;
    std::vector<TTreeNode*> order;
    std::vector<TTreeNode*> stack(items_.roots_.rbegin(), items_.roots_.rend());
    while (!stack.empty()) {
        TTreeNode* n = stack.back();
        stack.pop_back();
        InsertWindowNode(n, TVI_LAST);
        order.push_back(n);
        for (auto it = n->children_.rbegin(); it != n->children_.rend(); ++it) stack.push_back(*it);
    }
    for (TTreeNode* n : order)
        if (n->expanded_) SendMessageA(Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(n->id_));
    if (selected_) SendMessageA(Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(selected_->id_));
    rebuilding_ = false;
}

void TTreeView::DestroyWnd() {
    if (HandleAllocated()) {
        std::vector<TTreeNode*> stack(items_.roots_.begin(), items_.roots_.end());
        while (!stack.empty()) {
            TTreeNode* n = stack.back();
            stack.pop_back();
            n->expanded_ = n->Expanded();
            n->id_ = nullptr;
            for (TTreeNode* c : n->children_) stack.push_back(c);
        }
    }
    rebuilding_ = true;
    TWinControl::DestroyWnd();
    rebuilding_ = false;
}

TTreeNode* TTreeView::NodeFromId(HTREEITEM Id) const {
    if (!Id || !HandleAllocated()) return nullptr;
    TVITEMA it{};
    it.mask = TVIF_PARAM | TVIF_HANDLE;
    it.hItem = Id;
    SendMessageA(const_cast<TTreeView*>(this)->Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
    return reinterpret_cast<TTreeNode*>(it.lParam);
}

void TTreeView::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == images_) images_ = nullptr;
}

void TTreeView::SetImages(TCustomImageList* v) {
    if (v == images_) return;
    SwitchImageList(this, images_, v, image_link_);
    if (image_link_.OnChange) image_link_.OnChange(this);
}

TTreeNode* TTreeView::Selected() const { return selected_; }

void TTreeView::SetSelected(TTreeNode* v) {
    selected_ = v;
    if (HandleAllocated())
        SendMessageA(Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(v ? v->id_ : nullptr));
}

static void StyleBit(TTreeView* t, DWORD bit, bool on) {
    if (!t->HandleAllocated()) return;
    const LONG s = GetWindowLongA(t->Handle(), GWL_STYLE);
    SetWindowLongA(t->Handle(), GWL_STYLE, on ? (s | static_cast<LONG>(bit)) : (s & ~static_cast<LONG>(bit)));
    InvalidateRect(t->Handle(), nullptr, TRUE);
}

void TTreeView::SetShowLines(bool v) {
    show_lines_ = v;
    StyleBit(this, TVS_HASLINES, v);
}
void TTreeView::SetShowRoot(bool v) {
    show_root_ = v;
    StyleBit(this, TVS_LINESATROOT, v);
}
void TTreeView::SetShowButtons(bool v) {
    show_buttons_ = v;
    StyleBit(this, TVS_HASBUTTONS, v);
}
void TTreeView::SetReadOnly(bool v) {
    read_only_ = v;
    StyleBit(this, TVS_EDITLABELS, !v);
}
void TTreeView::SetHideSelection(bool v) {
    hide_selection_ = v;
    StyleBit(this, TVS_SHOWSELALWAYS, !v);
}

void TTreeView::SetSortType(TSortType v) {
    if (v == sort_type_) return;
    sort_type_ = v;
    if (v == stText || v == stBoth) AlphaSort(true);
}

void TTreeView::AlphaSort(bool Recurse) {
    auto byText = [](TTreeNode* a, TTreeNode* b) { return CompareText(a->Text(), b->Text()); };
    std::stable_sort(items_.roots_.begin(), items_.roots_.end(),
                     [&](TTreeNode* a, TTreeNode* b) { return byText(a, b) < 0; });
    if (HandleAllocated()) {
        TVSORTCB cb{};
        const std::function<int(TTreeNode*, TTreeNode*)> compare = byText;
        cb.hParent = TVI_ROOT;
        cb.lParam = reinterpret_cast<LPARAM>(&compare);
        cb.lpfnCompare = TreeCompareProc;
        SendMessageA(Handle(), TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&cb));
    }
    if (!Recurse) return;
    std::vector<TTreeNode*> stack(items_.roots_.begin(), items_.roots_.end());
    while (!stack.empty()) {
        TTreeNode* n = stack.back();
        stack.pop_back();
        if (n->children_.empty()) continue;
        n->CustomSort(byText);
        stack.insert(stack.end(), n->children_.begin(), n->children_.end());
    }
}

TTreeNode* TTreeView::GetNodeAt(int X, int Y) {
    TVHITTESTINFO hi{};
    hi.pt = {X, Y};
    auto id = reinterpret_cast<HTREEITEM>(SendMessageA(Handle(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hi)));
    if (!(hi.flags & (TVHT_ONITEM | TVHT_ONITEMBUTTON))) return nullptr;
    return NodeFromId(id);
}

void TTreeView::WndProc(TMessage& m) {
    if (m.Msg == CN_NOTIFY) {
        auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
        switch (hdr->code) {
            case TVN_SELCHANGINGA: {
                if (rebuilding_ || Silent()) return;
                auto* nm = reinterpret_cast<NMTREEVIEWA*>(m.LParam);
                bool allow = true;
                if (OnChanging) OnChanging(this, reinterpret_cast<TTreeNode*>(nm->itemNew.lParam), allow);
                m.Result = allow ? 0 : 1;
                return;
            }
            case TVN_SELCHANGEDA: {
                if (rebuilding_) return;
                auto* nm = reinterpret_cast<NMTREEVIEWA*>(m.LParam);
                selected_ = reinterpret_cast<TTreeNode*>(nm->itemNew.lParam);
                if (!Silent()) Change(selected_);
                return;
            }
            case TVN_ITEMEXPANDINGA: {
                if (rebuilding_ || Silent()) return;
                auto* nm = reinterpret_cast<NMTREEVIEWA*>(m.LParam);
                auto* node = reinterpret_cast<TTreeNode*>(nm->itemNew.lParam);
                bool allow = true;
                if (nm->action & TVE_EXPAND) {
                    allow = CanExpand(node);
                } else if (OnCollapsing) {
                    OnCollapsing(this, node, allow);
                }
                m.Result = allow ? 0 : 1;
                return;
            }
            case TVN_ITEMEXPANDEDA: {
                if (rebuilding_ || Silent()) return;
                auto* nm = reinterpret_cast<NMTREEVIEWA*>(m.LParam);
                auto* node = reinterpret_cast<TTreeNode*>(nm->itemNew.lParam);
                if (node) node->expanded_ = (nm->action & TVE_EXPAND) != 0;
                if ((nm->action & TVE_EXPAND) && OnExpanded) OnExpanded(this, node);
                if ((nm->action & TVE_COLLAPSE) && OnCollapsed) OnCollapsed(this, node);
                return;
            }
            case TVN_BEGINLABELEDITA: {
                auto* nm = reinterpret_cast<NMTVDISPINFOA*>(m.LParam);
                const bool allow = !read_only_ && CanEdit(reinterpret_cast<TTreeNode*>(nm->item.lParam));
                m.Result = allow ? 0 : 1;
                return;
            }
            case TVN_ENDLABELEDITA: {
                auto* nm = reinterpret_cast<NMTVDISPINFOA*>(m.LParam);
                auto* node = reinterpret_cast<TTreeNode*>(nm->item.lParam);
                // No text: the edit was cancelled.
                if (!node || !nm->item.pszText) return;
                std::string s = nm->item.pszText;
                Edit(node, s);
                node->SetText(s);
                m.Result = 0;
                return;
            }
            case TVN_GETDISPINFOA:
            case TVN_GETDISPINFOW: {
                // Only the child count is ever left to a callback; the two
                // forms lay it out alike.
                auto* nm = reinterpret_cast<NMTVDISPINFOA*>(m.LParam);
                if (!(nm->item.mask & TVIF_CHILDREN)) return;
                auto* node = reinterpret_cast<TTreeNode*>(nm->item.lParam);
                if (!node) node = NodeFromId(nm->item.hItem);
                if (!node) return;
                nm->item.cChildren = node->HasChildrenForControl() ? 1 : 0;
                // The control keeps the answer and asks no more.
                nm->item.mask |= TVIF_DI_SETITEM;
                return;
            }
            case TVN_BEGINDRAGA:
            case TVN_BEGINDRAGW:
            case TVN_BEGINRDRAGA:
            case TVN_BEGINRDRAGW: {
                if (Silent()) return;
                auto* nm = reinterpret_cast<NMTREEVIEWA*>(m.LParam);
                auto* node = reinterpret_cast<TTreeNode*>(nm->itemNew.lParam);
                if (!node) node = NodeFromId(nm->itemNew.hItem);
                const bool right = hdr->code == TVN_BEGINRDRAGA || hdr->code == TVN_BEGINRDRAGW;
                if (node) BeginNodeDrag(node, right ? mbRight : mbLeft);
                return;
            }
            case NM_RCLICK: {
                POINT p;
                GetCursorPos(&p);
                m.Result = ContextClick(TPoint{p.x, p.y}) ? 1 : 0;
                return;
            }
            case NM_CLICK: Click(); return;
            case NM_DBLCLK: DblClick(); return;
            default: return;
        }
    }
    TWinControl::WndProc(m);
}

void TTreeView::Change(TTreeNode* Node) {
    if (OnChange) OnChange(this, Node);
}

bool TTreeView::CanExpand(TTreeNode* Node) {
    bool allow = true;
    if (OnExpanding) OnExpanding(this, Node, allow);
    return allow;
}

void TTreeView::Delete(TTreeNode* Node) {
    // A descendant that owns node data frees them in its override, which
    // runs even while the owner's events are held back.
    if (OnDeletion && !Silent()) OnDeletion(this, Node);
}

bool TTreeView::CanEdit(TTreeNode* Node) {
    bool allow = true;
    if (OnEditing) OnEditing(this, Node, allow);
    return allow;
}

void TTreeView::Edit(TTreeNode* Node, std::string& S) {
    if (OnEdited) OnEdited(this, Node, S);
}

bool TTreeView::ContextClick(TPoint ScreenPos) {
    bool handled = false;
    if (OnRightClick) OnRightClick(this, ScreenPos, handled);
    return handled;
}

bool TTreeView::GetHasChildren(TTreeNode* Node) {
    bool has = false;
    if (OnGetHasChildren) OnGetHasChildren(this, Node, has);
    return has;
}

void TTreeView::BeginNodeDrag(TTreeNode* Node, TMouseButton Button) {
    if (OnBeginDrag) OnBeginDrag(this, Node, Button);
}

bool TTreeView::IsEditing() const {
    return HandleAllocated() && SendMessageA(const_cast<TTreeView*>(this)->Handle(), TVM_GETEDITCONTROL, 0, 0) != 0;
}

}  // namespace bramble
