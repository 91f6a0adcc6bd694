// The look of the kit's menus: margins, colours, heights, alignment,
// background, the title band down one side, flags and the opening
// animation.
#pragma once

#include <memory>
#include <string>

#include "ui/control.h"
#include "ui/graphics.h"

namespace bramble {

struct T_LFM_Margins {
    int Left = 23, Top = 0, Right = 23, Bottom = 0, Space = 0, Border = 1;
    bool IsDefault() const { return *this == T_LFM_Margins{}; }
    bool operator==(const T_LFM_Margins&) const = default;
};

struct T_LFM_Colors {
    TColor Border = clMenu, BorderShadow = clMenu, Menu = clMenu, MenuText = clMenuText, Highlight = clHighlight,
           HighlightText = clHighlightText, DisabledText = clBtnShadow, DisabledShadow = clBtnHighlight,
           Line = clBtnShadow, LineShadow = clBtnHighlight;
    bool IsDefault() const { return *this == T_LFM_Colors{}; }
    bool operator==(const T_LFM_Colors&) const = default;
};

// Caption alignment inside an item; taRightToLeft also mirrors the columns.
enum class T_LFM_Alignment : uint8_t { taLeftJustify, taRightJustify, taCenter, taRightToLeft };
enum T_LFM_BackgroundDisplay : uint8_t { bdDefault, bdCenter, bdTile, bdStretch, bdExpand };
enum T_LFM_Animation : uint8_t { anNone, anVSlide, anHSlide, anSmart, anUnfold, anPopup, anRandom, anFadeIn };
enum T_LFM_Flag : uint8_t {
    mfHiddenAsRegular, mfHiddenIsVisible, mfNoAutoShowHidden, mfNoBitmapRect, mfNoChangeHidden,
    mfNoHighDisabled, mfNoShortDividers, mfShowCheckMark, mfStandardAlign, mfNotCustomizable
};
using T_LFM_Flags = TSet<T_LFM_Flag>;

enum T_LFM_TitleAlign : uint8_t { atLeft, atRight };
enum T_LFM_Gradient : uint8_t {
    grTopToBottom, grLeftToRight, grBottomToTop, grRightToLeft, grInsideOut, grOutsideIn, grDualVertical,
    grDualHorizontal
};

// The band painted along one side of a popup window.
class T_LFM_Title : public TObject {
public:
    T_LFM_Title();
    void Assign(const T_LFM_Title& Source);
    bool IsDefault() const;

    T_LFM_TitleAlign Align = atLeft;
    TAlignment Alignment = taLeftJustify;  // of the text along the band
    std::string Text;
    TFont Font;
    TColor ColorBegin = 0xFF0000, ColorEnd = 0;
    int Width = 50;
    bool TextDirection = true;  // upwards
    bool Visible = false;
    T_LFM_Gradient Gradient = grTopToBottom;
    TBitmap& Bitmap();
    bool HasBitmap() const { return bitmap_ && !bitmap_->Empty(); }

    // Paints the band inside the canvas's clip rectangle.
    void PaintTitle(TCanvas& Canvas);

private:
    std::unique_ptr<TBitmap> bitmap_;
};

// The options of a leaf item: none.
class T_LFM_MenuOptions : public TObject {
public:
    virtual bool IsDefault() const { return true; }
};

class T_LFM_BaseOptions : public T_LFM_MenuOptions {
public:
    virtual void Assign(const T_LFM_BaseOptions& Source);
    bool IsDefault() const override;

    int ItemHeight = 19, SeparatorHeight = 9;
    T_LFM_Title Title;
    T_LFM_Colors Colors;
    T_LFM_Margins Margins;
    std::string Caption;  // of the menu when it floats
    T_LFM_Alignment Alignment = T_LFM_Alignment::taLeftJustify;
    T_LFM_Flags Flags;
    bool Draggable = false;
    T_LFM_BackgroundDisplay BackgroundDisplay = bdDefault;
    TBitmap& Background();
    bool HasBackground() const { return background_ && !background_->Empty(); }

private:
    std::unique_ptr<TBitmap> background_;
};

class T_LFM_Options : public T_LFM_BaseOptions {
public:
    void Assign(const T_LFM_BaseOptions& Source) override;
    bool IsDefault() const override;
    T_LFM_Animation Animation = anSmart;
};

}  // namespace bramble
