// A drop-down list of where the user is, as the shell shows it: the
// desktop, the drives folder, every drive, and the levels of the current
// folder indented below its drive, each with the shell's name and small
// icon. Picking a row moves there; OnChange tells the owner of every move.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/stdctrls.h"

namespace bramble {

// One row of the box: its text (a path; empty for the drives folder) and
// its data, the level times 4 plus 1 for the current folder's row.
struct TPathRow {
    std::string Text;
    int Data = 0;
    bool operator==(const TPathRow&) const = default;
};

// The rows for Path, and which is selected (-1: none). DriveMask has bit 0
// for A:. Path's own drive is listed even when the mask lacks it.
std::vector<TPathRow> PathComboRows(const std::string& Path, DWORD DriveMask, const std::string& DesktopPath,
                                    int& Selected);
// Path as SetPath takes it: with a trailing "\", a relative path made full
// against the current folder. Empty stays empty (the drives folder); a
// path that cannot be made full gives false.
bool NormalizeComboPath(const std::string& Path, std::string& Out);

class TPathComboBox : public TComboBox {
public:
    explicit TPathComboBox(TComponent* AOwner);
    ~TPathComboBox() override;

    // The current folder, with its trailing "\"; empty for the drives folder.
    const std::string& Path() const { return path_; }
    // Moves to Path (same folder in another case: nothing happens) and
    // fires OnChange. A relative path is taken from the current folder; one
    // that cannot be made full is refused and the box stays where it was.
    // A move made by the OnChange handler itself does not fire it again.
    void SetPath(const std::string& Path);
    virtual void Rebuild();
    const std::string& DesktopPath() const { return desktop_path_; }
    DWORD DriveMask() const { return drive_mask_; }
    // Whether SetPath is firing OnChange now.
    bool Busy() const { return busy_; }

    void Click() override;
    void WndProc(TMessage& Message) override;

protected:
    void CreateWnd() override;
    void DrawItem(int Index, TRect Rect, TOwnerDrawState State) override;
    // The user's picks reach OnChange through SetPath only.
    void Change() override {}
    void KeyPress(char& Key) override;
    void FontChanged() override;

private:
    struct TRowLook {
        bool Known = false;
        std::string Name;
        int Icon = -1;
    };
    const TRowLook& LookOf(int Index);
    void UpdateRowHeight();
    // Moves to the selected row; Closing: the drop-down list is closing.
    void ApplyPick(bool Closing);
    std::string path_;
    DWORD drive_mask_ = 0;
    std::string desktop_path_;
    std::string desktop_name_, drives_name_;
    int desktop_icon_ = -1, drives_icon_ = -1;
    HIMAGELIST images_ = nullptr;
    std::vector<TPathRow> rows_;
    std::vector<TRowLook> looks_;
    bool busy_ = false;
};

}  // namespace bramble
