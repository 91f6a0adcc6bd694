// A codec's working memory, kept from one entry for the next. An encoder or
// decoder works in some hundreds of KB of buffers and tables; taken fresh
// for every entry, each page of them costs a fault on first touch (under
// Wine a fault is a trip through its handler: an archive of small entries
// paid 0.4-0.6 ms an entry). One object is kept; entries coded on several
// threads at once take their own.
#pragma once

#include <atomic>
#include <memory>

namespace bramble {

template <typename T>
class TSpare {
public:
    constexpr TSpare() = default;
    ~TSpare() { delete spare_.exchange(nullptr); }
    TSpare(const TSpare&) = delete;
    TSpare& operator=(const TSpare&) = delete;

    // The kept object, or a new one (default-initialised: what it holds is
    // for its user to set up).
    std::unique_ptr<T> Take() {
        if (T* kept = spare_.exchange(nullptr, std::memory_order_acquire)) return std::unique_ptr<T>(kept);
        return std::unique_ptr<T>(new T);
    }
    // Keeps P for the next Take, unless another one is kept already.
    void Keep(std::unique_ptr<T> P) {
        T* none = nullptr;
        if (spare_.compare_exchange_strong(none, P.get(), std::memory_order_release, std::memory_order_relaxed))
            P.release();
    }

private:
    std::atomic<T*> spare_{nullptr};
};

}  // namespace bramble
