// OLE and COM for the window layer's users: the run's apartment and
// counted interface references.
#pragma once

#include <windows.h>
#include <ole2.h>

namespace bramble {

// OLE for the whole run of the program, on its window thread. A unit that
// needs it asks at start-up; the first ask starts it, later ones find it
// up. The program ends it once, at the end of its run, while everything
// that still holds an interface can let go of it: a release from a static
// destructor would come after the libraries it calls into may be gone.
bool OleForTheRun();
void EndOleForTheRun();

// A counted interface reference that releases what it holds.
template <typename T>
class TComPtr {
public:
    TComPtr() = default;
    explicit TComPtr(T* p) : p_(p) {}
    TComPtr(const TComPtr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    TComPtr& operator=(const TComPtr& o) {
        if (o.p_) o.p_->AddRef();
        Reset();
        p_ = o.p_;
        return *this;
    }
    ~TComPtr() { Reset(); }
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out parameters: releases what it held first.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

private:
    T* p_ = nullptr;
};

}  // namespace bramble
