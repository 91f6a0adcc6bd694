// The shell's folder and context-menu interfaces need an apartment on the
// window thread; every user holds one of these for as long as it talks to
// them (the platform counts nested initialisations).
#pragma once

#include <windows.h>
#include <ole2.h>

namespace bramble {

class TOleApartment {
public:
    TOleApartment() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~TOleApartment() {
        if (ok_) OleUninitialize();
    }
    TOleApartment(const TOleApartment&) = delete;
    TOleApartment& operator=(const TOleApartment&) = delete;
    bool Ok() const { return ok_; }

private:
    bool ok_;
};

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
