// The platform's multiple-document interface on forms: a frame whose
// client area below its aligned controls is an MDICLIENT, and document
// forms that live inside it.
#pragma once

#include <windows.h>

#include "ui/forms.h"

namespace bramble {

class TMDIFrameForm : public TForm {
public:
    using TForm::TForm;

    // The MDICLIENT window; null before the frame has its window.
    HWND ClientHandle() const { return client_ && IsWindow(client_) ? client_ : nullptr; }
    // The active document form, or null.
    TCustomForm* ActiveMDIChild() const;
    bool ActiveChildMaximized() const;

protected:
    void CreateWnd() override;
    void DefaultHandler(TMessage& Message) override;
    void AlignControls(TControl* AControl, TRect& Rect) override;

private:
    HWND client_ = nullptr;
};

class TMDIChildForm : public TForm {
public:
    // The form lives inside Frame's client area.
    TMDIChildForm(TComponent* AOwner, TMDIFrameForm* Frame);
    TMDIFrameForm* Frame() const { return frame_; }

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void DefaultHandler(TMessage& Message) override;
    // A closed document window goes away rather than hiding inside the
    // frame.
    void DoClose(TCloseAction& Action) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TMDIFrameForm* frame_;
};

}  // namespace bramble
