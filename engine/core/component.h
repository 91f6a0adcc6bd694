// The engine's non-visual component: an owner that frees what it owns, a
// name, and free notification so plain pointers to components owned
// elsewhere can be cleared when those are freed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/core/types.h"

namespace bramble {

// csLoading: built in code and not yet told Loaded(); csDestroying: being
// freed (set on the component and everything it owns before anything goes);
// csDesigning: never set at run time, kept for code that asks.
enum TComponentStateFlag : uint8_t { csLoading, csDestroying, csDesigning };
using TComponentState = TSet<TComponentStateFlag>;

// Lets code that fired an event find out whether the component it was
// working on was freed inside the handler.
class TAliveToken {
public:
    TAliveToken() = default;
    explicit TAliveToken(std::weak_ptr<char> w) : w_(std::move(w)) {}
    bool Alive() const { return !w_.expired(); }

private:
    std::weak_ptr<char> w_;
};

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* AOwner = nullptr);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(const std::string& v) { name_ = v; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int i) const { return components_[static_cast<size_t>(i)]; }

    // AComponent is told (Notification with opRemove) when this one is freed.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    TComponentState ComponentState() const { return state_; }
    // A component created while its owner is loading is loading too;
    // LoadedAll tells every such owned component, then the owner itself.
    void BeginLoading() { state_.insert(csLoading); }
    void LoadedAll();
    // Marks this and every owned component as being freed; called by the
    // destructor, and early by classes whose own teardown must see it.
    void Destroying();
    TAliveToken AliveToken();
    int Tag() const { return tag_; }
    void SetTag(int v) { tag_ = v; }
    TComponent* FindComponent(const std::string& AName) const;

protected:
    // Clears csLoading; overrides finish what depends on several properties.
    virtual void Loaded() { state_.erase(csLoading); }
    enum TOperation { opInsert, opRemove };
    virtual void Notification(TComponent* AComponent, TOperation Operation) {}

private:
    TComponent* owner_ = nullptr;
    std::string name_;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> notify_;
    TComponentState state_;
    std::shared_ptr<char> alive_;
    int tag_ = 0;
};

}  // namespace bramble
