// Actions: a command with its own caption, state and handler that any
// number of controls follow. A control is tied to an action through an
// action link; the link copies the action's properties to the control
// whenever they change, and the control runs the action when clicked.
// While the application is idle every action in use is asked to update
// itself (OnUpdate), so controls follow a command's state without the
// commands pushing it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/component.h"
#include "ui/menus.h"

namespace bramble {

class TBasicActionLink;
class TActionList;
class TCustomImageList;

class TBasicAction : public TComponent {
public:
    explicit TBasicAction(TComponent* AOwner);
    ~TBasicAction() override;

    // Runs OnExecute; false when there is none.
    virtual bool Execute();
    // Runs OnUpdate; false when there is none.
    virtual bool Update();

    TNotifyEvent OnExecute;
    TNotifyEvent OnUpdate;

    int ClientCount() const { return static_cast<int>(clients_.size()); }

protected:
    friend class TBasicActionLink;
    // Tells every linked client that a property changed.
    void Change();

private:
    std::vector<TBasicActionLink*> clients_;
};

// The properties controls take from an action.
class TAction : public TBasicAction {
public:
    using TBasicAction::TBasicAction;
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v);
    bool Checked() const { return checked_; }
    void SetChecked(bool v);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    int HelpContext() const { return help_context_; }
    void SetHelpContext(int v);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& v);
    int ImageIndex() const { return image_index_; }
    void SetImageIndex(int v);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    TShortCut ShortCut() const { return short_cut_; }
    void SetShortCut(TShortCut v);
    // The list whose images ImageIndex points into; none by default.
    TActionList* ActionList() const { return action_list_; }
    void SetActionList(TActionList* v);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TActionList;
    TActionList* action_list_ = nullptr;
    std::string caption_, hint_;
    bool checked_ = false, enabled_ = true, visible_ = true;
    int help_context_ = 0, image_index_ = -1;
    TShortCut short_cut_ = 0;
};

// Actions that share one image list.
class TActionList : public TComponent {
public:
    using TComponent::TComponent;
    ~TActionList() override;
    TCustomImageList* Images() const { return images_; }
    // The actions' clients hear of the new images.
    void SetImages(TCustomImageList* v);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TAction;
    void ImagesChanged();
    TCustomImageList* images_ = nullptr;
    std::vector<TAction*> actions_;
};

// Ties one client to an action: the client says what to do on a change.
class TBasicActionLink {
public:
    explicit TBasicActionLink(std::function<void(TBasicAction*)> Changed);
    ~TBasicActionLink();
    TBasicActionLink(const TBasicActionLink&) = delete;
    TBasicActionLink& operator=(const TBasicActionLink&) = delete;

    TBasicAction* Action() const { return action_; }
    void SetAction(TBasicAction* v);
    // Runs the action; false when there is none or it has no handler.
    bool Execute();
    // Lets the action update itself; false when there is none or it has
    // no OnUpdate.
    bool Update();

private:
    friend class TBasicAction;
    TBasicAction* action_ = nullptr;
    std::function<void(TBasicAction*)> changed_;
};

// Asks every action that has clients to update itself (the idle cycle).
void UpdateActions();

}  // namespace bramble
