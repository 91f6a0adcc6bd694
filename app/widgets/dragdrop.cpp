#include "app/widgets/dragdrop.h"
#include "ui/comobj.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

namespace bramble {

// ---- the target -------------------------------------------------------------------------

TDragFilesTrg::TDragFilesTrg(TComponent* AOwner) : TComponent(AOwner) {}

TDragFilesTrg::~TDragFilesTrg() {
    enabled_ = false;
    Detach();
}

void TDragFilesTrg::Detach() {
    if (!target_) return;
    if (target_->HandleAllocated()) DragAcceptFiles(target_->Handle(), FALSE);
    target_->WindowProc = saved_;
    target_->RemoveFreeNotification(this);
    target_ = nullptr;
    saved_ = nullptr;
    accepted_ = nullptr;
}

void TDragFilesTrg::SetTarget(TWinControl* v) {
    if (v == target_) return;
    Detach();
    if (!v) return;
    target_ = v;
    v->FreeNotification(this);
    saved_ = v->WindowProc;
    v->WindowProc = [this](TMessage& m) { TargetWndProc(m); };
    if (v->HandleAllocated()) {
        DragAcceptFiles(v->Handle(), enabled_ ? TRUE : FALSE);
        accepted_ = v->Handle();
    }
}

void TDragFilesTrg::SetEnabled(bool v) {
    enabled_ = v;
    if (target_ && target_->HandleAllocated()) {
        DragAcceptFiles(target_->Handle(), v ? TRUE : FALSE);
        accepted_ = target_->Handle();
    }
}

void TDragFilesTrg::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == target_) {
        // The control is going: nothing of it is touched any more.
        target_ = nullptr;
        saved_ = nullptr;
        accepted_ = nullptr;
    }
}

void TDragFilesTrg::TargetWndProc(TMessage& Message) {
    TWinControl* t = target_;
    if (Message.Msg == WM_DROPFILES) {
        HandleDrop(reinterpret_cast<HDROP>(Message.WParam));
        Message.Result = 0;
        return;
    }
    TWndMethod next = saved_;
    // The message may free the control and this component with it.
    TAliveToken alive = AliveToken();
    if (next)
        next(Message);
    else if (t)
        t->WndProc(Message);
    if (!alive.Alive()) return;
    // The control made a new window (a style change recreates it): that one
    // accepts drops as the old one did.
    if (target_ == t && t && t->HandleAllocated() && t->Handle() != accepted_ && Message.Msg != WM_NCDESTROY &&
        Message.Msg != WM_DESTROY && Message.Msg != WM_NCCREATE) {
        accepted_ = t->Handle();
        DragAcceptFiles(accepted_, enabled_ ? TRUE : FALSE);
    }
}

void TDragFilesTrg::HandleDrop(HDROP Drop) {
    files_.clear();
    const UINT count = DragQueryFileA(Drop, 0xFFFFFFFF, nullptr, 0);
    POINT p{};
    DragQueryPoint(Drop, &p);
    dropPoint_ = p;
    for (UINT i = 0; i < count; ++i) {
        // Names of any length are read whole.
        const UINT len = DragQueryFileA(Drop, i, nullptr, 0);
        std::string name(len + 1, '\0');
        const UINT got = DragQueryFileA(Drop, i, name.data(), len + 1);
        name.resize(std::min(got, len));
        files_.push_back(std::move(name));
    }
    DragFinish(Drop);
    if (OnDrop) OnDrop(this);
}

// ---- the data object ----------------------------------------------------------------------

std::string DropFilesBlock(const std::vector<std::string>& Names) {
    std::string b(sizeof(DROPFILES), '\0');
    DROPFILES df{};
    df.pFiles = sizeof(DROPFILES);
    df.fWide = FALSE;
    std::memcpy(b.data(), &df, sizeof df);
    for (const std::string& n : Names) {
        b += n;
        b += '\0';
    }
    b += '\0';
    return b;
}

namespace {

FORMATETC HDropFormat() {
    FORMATETC f{};
    f.cfFormat = CF_HDROP;
    f.ptd = nullptr;
    f.dwAspect = DVASPECT_CONTENT;
    f.lindex = -1;
    f.tymed = TYMED_HGLOBAL;
    return f;
}

class TMyEnum final : public IEnumFORMATETC {
public:
    explicit TMyEnum(ULONG Index) : index_(Index) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IEnumFORMATETC) {
            *ppv = static_cast<IEnumFORMATETC*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG r = --refs_;
        if (r == 0) delete this;
        return r;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG Count, FORMATETC* Formats, ULONG* Fetched) override {
        if (index_ == 0 && Count >= 1 && Formats) {
            index_ = 1;
            Formats[0] = HDropFormat();
            if (Fetched) *Fetched = 1;
            return Count == 1 ? S_OK : S_FALSE;
        }
        if (Fetched) *Fetched = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG Count) override {
        index_ += Count;
        return index_ > 1 ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        index_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** ppenum) override {
        if (!ppenum) return E_POINTER;
        auto* e = new TMyEnum(index_);
        e->AddRef();
        *ppenum = e;
        return S_OK;
    }

private:
    ULONG refs_ = 0;
    ULONG index_;
};

class TMyDataObject final : public IDataObject {
public:
    explicit TMyDataObject(std::vector<std::string> Names) : names_(std::move(Names)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDataObject) {
            *ppv = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG r = --refs_;
        if (r == 0) delete this;
        return r;
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* Format, STGMEDIUM* Medium) override {
        if (!Medium) return E_POINTER;
        if (QueryGetData(Format) != S_OK) return DV_E_FORMATETC;
        const std::string block = DropFilesBlock(names_);
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, block.size());
        if (!h) return E_OUTOFMEMORY;
        void* p = GlobalLock(h);
        if (!p) {
            GlobalFree(h);
            return E_OUTOFMEMORY;
        }
        std::memcpy(p, block.data(), block.size());
        GlobalUnlock(h);
        Medium->tymed = TYMED_HGLOBAL;
        Medium->hGlobal = h;
        Medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* Format) override {
        if (!Format || Format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
        if (!(Format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* Out) override {
        if (Out) Out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD Direction, IEnumFORMATETC** ppenum) override {
        if (!ppenum) return E_POINTER;
        if (Direction != DATADIR_GET) {
            *ppenum = nullptr;
            return E_NOTIMPL;
        }
        auto* e = new TMyEnum(0);
        e->AddRef();
        *ppenum = e;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    ULONG refs_ = 0;
    std::vector<std::string> names_;
};

class TMyDropSource final : public IDropSource {
public:
    explicit TMyDropSource(TDragFilesSrc* Owner) : owner_(Owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDropSource) {
            *ppv = static_cast<IDropSource*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG r = --refs_;
        if (r == 0) delete this;
        return r;
    }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL Escape, DWORD KeyState) override {
        return owner_->QueryContinueDrag(Escape, KeyState, lastEffect_);
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD Effect) override {
        lastEffect_ = Effect;
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }

private:
    ULONG refs_ = 0;
    DWORD lastEffect_ = DROPEFFECT_NONE;
    TDragFilesSrc* owner_;
};

}  // namespace

IDataObject* NewFileDataObject(const std::vector<std::string>& Names) {
    auto* d = new TMyDataObject(Names);
    d->AddRef();
    return d;
}

// ---- the source ---------------------------------------------------------------------------

TDragFilesSrc::TDragFilesSrc(TComponent* AOwner) : TComponent(AOwner) {}

void TDragFilesSrc::AddFile(const std::string& Path) {
    auto it = std::lower_bound(files_.begin(), files_.end(), Path, [](const std::string& a, const std::string& b) {
        return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_LESS_THAN;
    });
    if (it != files_.end() &&
        CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, it->c_str(), -1, Path.c_str(), -1) == CSTR_EQUAL)
        return;
    files_.insert(it, Path);
}

HRESULT TDragFilesSrc::QueryContinueDrag(BOOL EscapePressed, DWORD KeyState, DWORD LastEffect) {
    if (EscapePressed) return DRAGDROP_S_CANCEL;
    if (KeyState & MK_LBUTTON) return S_OK;
    if (LastEffect == AllowedEffect() && OnDropping) {
        // This runs inside the platform's drag loop: nothing may unwind
        // through it. A failure or a cancel of the handler ends the drag
        // and is thrown again once the loop is over.
        try {
            OnDropping(this);
        } catch (...) {
            droppingError_ = std::current_exception();
            return DRAGDROP_S_CANCEL;
        }
    }
    return FileCount() == 0 ? DRAGDROP_S_CANCEL : DRAGDROP_S_DROP;
}

namespace {

// Drag and drop needs OLE on the window thread: it is there from the
// program's start, on the thread that starts it, to its end, so a first
// drag finds it ready and a failed start is not mistaken for a cancel.
const bool oleReady = OleForTheRun();

}  // namespace

int TDragFilesSrc::Execute() {
    droppingError_ = nullptr;
    if (files_.empty() || files_.front().empty()) return 0;
    if (verifyFiles_)
        for (const std::string& f : files_)
            if (GetFileAttributesA(f.c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
    IDataObject* data = NewFileDataObject(files_);
    auto* source = new TMyDropSource(this);
    source->AddRef();
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT hr = DoDragDrop(data, source, AllowedEffect(), &effect);
    source->Release();
    data->Release();
    if (droppingError_) std::rethrow_exception(droppingError_);
    return hr == DRAGDROP_S_DROP && effect == AllowedEffect() ? 2 : 1;
}

}  // namespace bramble
