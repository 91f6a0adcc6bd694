#include "engine/core/component.h"

#include <algorithm>

namespace bramble {

TComponent::TComponent(TComponent* AOwner) : owner_(AOwner) {
    if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
    // Tell the watchers first: they may still look at our owner's list.
    std::vector<TComponent*> watchers;
    watchers.swap(notify_);
    for (TComponent* w : watchers) {
        auto& back = w->notify_;
        back.erase(std::remove(back.begin(), back.end(), this), back.end());
        w->Notification(this, opRemove);
    }
    while (!components_.empty()) {
        TComponent* c = components_.back();
        delete c;  // its destructor takes it off our list
    }
    if (owner_) {
        auto& list = owner_->components_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    if (std::find(notify_.begin(), notify_.end(), AComponent) == notify_.end()) notify_.push_back(AComponent);
    if (std::find(AComponent->notify_.begin(), AComponent->notify_.end(), this) == AComponent->notify_.end())
        AComponent->notify_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    if (!AComponent) return;
    notify_.erase(std::remove(notify_.begin(), notify_.end(), AComponent), notify_.end());
    AComponent->notify_.erase(std::remove(AComponent->notify_.begin(), AComponent->notify_.end(), this),
                              AComponent->notify_.end());
}

}  // namespace bramble
