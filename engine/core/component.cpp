#include "engine/core/component.h"

#include <algorithm>

namespace bramble {

TComponent::TComponent(TComponent* AOwner) : owner_(AOwner) {
    if (owner_) {
        owner_->components_.push_back(this);
        if (owner_->state_.contains(csLoading)) state_.insert(csLoading);
    }
}

TComponent::~TComponent() {
    Destroying();
    alive_.reset();
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

void TComponent::Destroying() {
    if (state_.contains(csDestroying)) return;
    state_.insert(csDestroying);
    for (TComponent* c : components_) c->Destroying();
}

void TComponent::LoadedAll() {
    // A Loaded override may create components: walk a copy.
    std::vector<TComponent*> owned = components_;
    for (TComponent* c : owned)
        if (c->state_.contains(csLoading)) c->Loaded();
    if (state_.contains(csLoading)) Loaded();
}

TAliveToken TComponent::AliveToken() {
    if (!alive_) alive_ = std::make_shared<char>(0);
    return TAliveToken(alive_);
}

TComponent* TComponent::FindComponent(const std::string& AName) const {
    if (AName.empty()) return nullptr;
    for (TComponent* c : components_) {
        const std::string& n = c->name_;
        if (n.size() == AName.size() &&
            std::equal(n.begin(), n.end(), AName.begin(), [](char a, char b) {
                return (a >= 'A' && a <= 'Z' ? a + 32 : a) == (b >= 'A' && b <= 'Z' ? b + 32 : b);
            }))
            return c;
    }
    return nullptr;
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
