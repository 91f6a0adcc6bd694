// The message dialog as a form of its own: every button set of the class
// library (Yes to all, No to all, All and the rest), with captions the
// caller may replace, which the platform's message box cannot show.
#pragma once

#include <map>
#include <string>

#include "ui/dialogs.h"

namespace bramble {

// The caption a button gets unless the caller gives one.
std::string MsgDlgButtonCaption(TMsgDlgBtn Button);
// The modal result of a button.
int MsgDlgButtonResult(TMsgDlgBtn Button);

// Text for a message box: every run without a blank that is wider than
// MaxWidth pixels in Font (a long path) gets line breaks, after a '\\' or
// '/' where one fits, so the box wraps it instead of growing past the
// screen. Nothing else changes.
std::string BreakLongRuns(const std::string& Text, HFONT Font, int MaxWidth);
// The same in the platform's message font, at half the screen's width.
std::string WrapForMessageBox(const std::string& Text);

// Builds the dialog (owned by the caller) with the buttons of the set in
// the class library's order; Captions replaces the captions of some.
TForm* CreateMessageDialog(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                           const std::map<TMsgDlgBtn, std::string>& Captions = {});

// Shows it modally (the test interceptor answers when installed) and
// returns the pressed button's modal result.
int MessageDlgCaptions(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                       const std::map<TMsgDlgBtn, std::string>& Captions, int HelpCtx = 0);

}  // namespace bramble
