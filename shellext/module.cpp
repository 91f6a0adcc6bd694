#include "shellext/module.h"

#include <atomic>

namespace bramble::shellext {

namespace {

HINSTANCE instance = nullptr;
std::atomic<long> objects{0};
std::atomic<long> locks{0};
std::atomic<HBITMAP> smallIcon{nullptr};

}  // namespace

HINSTANCE ModuleInstance() { return instance; }
void SetModuleInstance(HINSTANCE Instance) { instance = Instance; }

void ObjectCreated() { ++objects; }
void ObjectDestroyed() { --objects; }

void LockModule(bool Lock) {
    if (Lock)
        ++locks;
    else if (locks.fetch_sub(1) <= 0)
        ++locks;  // an unlock without a lock must not hide a real one later
}

bool ModuleInUse() { return objects.load() > 0 || locks.load() > 0; }

HBITMAP SmallIcon() {
    HBITMAP have = smallIcon.load();
    if (have) return have;
    HBITMAP loaded = LoadBitmapA(instance, "SMALLICON");
    if (!loaded) return nullptr;
    // Two apartments may load it at the same moment: one copy is kept.
    if (!smallIcon.compare_exchange_strong(have, loaded)) {
        DeleteObject(loaded);
        return have;
    }
    return loaded;
}

void FreeSmallIcon() {
    if (HBITMAP bitmap = smallIcon.exchange(nullptr)) DeleteObject(bitmap);
}

}  // namespace bramble::shellext
