// Drag and drop with the desktop shell: a target that makes a window accept
// files dropped on it and reports their names, and a source that drags a
// list of files out to the shell as its file-drop format.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "ui/control.h"

namespace bramble {

class TDragFilesTrg : public TComponent {
public:
    explicit TDragFilesTrg(TComponent* AOwner);
    ~TDragFilesTrg() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    TWinControl* Target() const { return target_; }
    void SetTarget(TWinControl* v);
    int FileCount() const { return static_cast<int>(files_.size()); }
    const std::vector<std::string>& Files() const { return files_; }
    POINT DropPoint() const { return dropPoint_; }

    // Reads the names of a drop and releases the drop handle.
    void HandleDrop(HDROP Drop);

    TNotifyEvent OnDrop;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void TargetWndProc(TMessage& Message);
    void Detach();
    bool enabled_ = false;
    TWinControl* target_ = nullptr;
    TWndMethod saved_;
    // The window the target had when drops were last allowed: a new one
    // (the control made its window again) is told to accept them too.
    HWND accepted_ = nullptr;
    std::vector<std::string> files_;
    POINT dropPoint_{};
};

enum TDropEffect : uint8_t { deCopy, deMove };

// The file-drop block for Names: a 20-byte ANSI DROPFILES, every name with
// its zero byte, then a second zero byte.
std::string DropFilesBlock(const std::vector<std::string>& Names);
// A data object offering Names as CF_HDROP in global memory (reference
// count 1 for the caller).
IDataObject* NewFileDataObject(const std::vector<std::string>& Names);

class TDragFilesSrc : public TComponent {
public:
    explicit TDragFilesSrc(TComponent* AOwner);

    void ClearFiles() { files_.clear(); }
    // Kept sorted; a path already there is ignored.
    void AddFile(const std::string& Path);
    const std::vector<std::string>& Files() const { return files_; }
    int FileCount() const { return static_cast<int>(files_.size()); }
    bool VerifyFiles() const { return verifyFiles_; }
    void SetVerifyFiles(bool v) { verifyFiles_ = v; }
    TDropEffect DropEffect() const { return dropEffect_; }
    void SetDropEffect(TDropEffect v) { dropEffect_ = v; }

    // 0 nothing dragged, 2 dropped with the offered effect, 1 otherwise.
    // What OnDropping threw is thrown again here, after the drag is over.
    int Execute();

    // Fired when the drag is released over a target that takes the offered
    // effect, before the drop completes.
    TNotifyEvent OnDropping;

    // The drop source's answers, also for the tests.
    HRESULT QueryContinueDrag(BOOL EscapePressed, DWORD KeyState, DWORD LastEffect);
    DWORD AllowedEffect() const { return dropEffect_ == deMove ? DROPEFFECT_MOVE : DROPEFFECT_COPY; }
    // What OnDropping threw during the last drag, if anything.
    std::exception_ptr DroppingError() const { return droppingError_; }

private:
    std::vector<std::string> files_;
    bool verifyFiles_ = false;
    TDropEffect dropEffect_ = deCopy;
    std::exception_ptr droppingError_;
};

}  // namespace bramble
