// The engine's non-visual component: an owner that frees what it owns, a
// name, and free notification so plain pointers to components owned
// elsewhere can be cleared when those are freed.
#pragma once

#include <string>
#include <vector>

#include "engine/core/types.h"

namespace bramble {

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

protected:
    enum TOperation { opInsert, opRemove };
    virtual void Notification(TComponent* AComponent, TOperation Operation) {}

private:
    TComponent* owner_ = nullptr;
    std::string name_;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> notify_;
};

}  // namespace bramble
