#include "ui/actions.h"

#include <algorithm>

#include "ui/graphics.h"

namespace bramble {

namespace {
std::vector<TBasicAction*>& AllActions() {
    static std::vector<TBasicAction*> all;
    return all;
}
}  // namespace

TBasicAction::TBasicAction(TComponent* AOwner) : TComponent(AOwner) { AllActions().push_back(this); }

TBasicAction::~TBasicAction() {
    auto& all = AllActions();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    // The clients stay; they forget the action.
    std::vector<TBasicActionLink*> list = clients_;
    for (TBasicActionLink* l : list) l->action_ = nullptr;
}

bool TBasicAction::Execute() {
    if (!OnExecute) return false;
    OnExecute(this);
    return true;
}

bool TBasicAction::Update() {
    if (!OnUpdate) return false;
    OnUpdate(this);
    return true;
}

void TBasicAction::Change() {
    // A client may drop its link while it hears of the change.
    std::vector<TBasicActionLink*> list = clients_;
    for (TBasicActionLink* l : list)
        if (std::find(clients_.begin(), clients_.end(), l) != clients_.end() && l->changed_) l->changed_(this);
}

#define BRAMBLE_ACTION_SETTER(Name, Type, field) \
    void TAction::Set##Name(Type v) {             \
        if (v == field) return;                    \
        field = v;                                 \
        Change();                                  \
    }
BRAMBLE_ACTION_SETTER(Caption, const std::string&, caption_)
BRAMBLE_ACTION_SETTER(Checked, bool, checked_)
BRAMBLE_ACTION_SETTER(Enabled, bool, enabled_)
BRAMBLE_ACTION_SETTER(HelpContext, int, help_context_)
BRAMBLE_ACTION_SETTER(Hint, const std::string&, hint_)
BRAMBLE_ACTION_SETTER(ImageIndex, int, image_index_)
BRAMBLE_ACTION_SETTER(Visible, bool, visible_)
BRAMBLE_ACTION_SETTER(ShortCut, TShortCut, short_cut_)
#undef BRAMBLE_ACTION_SETTER

void TAction::SetActionList(TActionList* v) {
    if (v == action_list_) return;
    if (action_list_) {
        auto& a = action_list_->actions_;
        a.erase(std::remove(a.begin(), a.end(), this), a.end());
        action_list_->RemoveFreeNotification(this);
    }
    action_list_ = v;
    if (v) {
        v->actions_.push_back(this);
        v->FreeNotification(this);
    }
    Change();
}

void TAction::Notification(TComponent* AComponent, TOperation Operation) {
    TBasicAction::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == action_list_) {
        action_list_ = nullptr;
        Change();
    }
}

TActionList::~TActionList() {
    // Actions owned elsewhere outlive the list: they forget it.
    std::vector<TAction*> list = actions_;
    for (TAction* a : list) a->SetActionList(nullptr);
}

void TActionList::SetImages(TCustomImageList* v) {
    if (v == images_) return;
    if (images_) images_->RemoveFreeNotification(this);
    images_ = v;
    if (v) v->FreeNotification(this);
    ImagesChanged();
}

void TActionList::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == images_) {
        images_ = nullptr;
        ImagesChanged();
    }
}

void TActionList::ImagesChanged() {
    std::vector<TAction*> list = actions_;
    for (TAction* a : list) a->Change();
}

TBasicActionLink::TBasicActionLink(std::function<void(TBasicAction*)> Changed) : changed_(std::move(Changed)) {}

TBasicActionLink::~TBasicActionLink() { SetAction(nullptr); }

void TBasicActionLink::SetAction(TBasicAction* v) {
    if (v == action_) return;
    if (action_) {
        auto& c = action_->clients_;
        c.erase(std::remove(c.begin(), c.end(), this), c.end());
    }
    action_ = v;
    if (v) {
        v->clients_.push_back(this);
        if (changed_) changed_(v);
    }
}

bool TBasicActionLink::Execute() { return action_ && action_->Execute(); }

bool TBasicActionLink::Update() { return action_ && action_->Update(); }

void UpdateActions() {
    std::vector<TBasicAction*> list = AllActions();
    for (TBasicAction* a : list) {
        auto& all = AllActions();
        if (std::find(all.begin(), all.end(), a) != all.end() && a->ClientCount() > 0) a->Update();
    }
}

}  // namespace bramble
