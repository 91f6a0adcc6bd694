#include "ui/thread.h"

#include <mutex>
#include <map>

#include "ui/component.h"
#include "ui/forms.h"

namespace bramble {

namespace {

// Posted by a worker whose Execute has returned; LParam is the thread's
// serial number (a new thread may sit at a freed one's address).
constexpr UINT WM_THREADDONE = WM_APP + 0x7D01;
// Sent by Synchronize; LParam is the work.
constexpr UINT WM_THREADSYNC = WM_APP + 0x7D02;

// The threads that are still alive: a done message that arrives after its
// thread was deleted finds nothing here and is dropped.
// Never destroyed: releasing OLE at program end pumps messages, and a done
// message handled then must still find the table, not a destroyed one.
std::mutex& LiveLock() {
    static auto* m = new std::mutex;
    return *m;
}
std::map<uint64_t, TThread*>& Live() {
    static auto* s = new std::map<uint64_t, TThread*>;
    return *s;
}

uint64_t NextSerial() {
    static uint64_t n = 0;
    return ++n;
}

TThread* LiveThread(uint64_t Serial) {
    std::lock_guard<std::mutex> g(LiveLock());
    auto it = Live().find(Serial);
    return it == Live().end() ? nullptr : it->second;
}

HWND& SyncWindow() {
    static HWND h = nullptr;
    return h;
}

}  // namespace

void ThreadDone(uint64_t Serial);

namespace {

HWND EnsureSyncWindow() {
    HWND& h = SyncWindow();
    if (!h) {
        h = AllocateHWnd([](TMessage& m) {
            if (m.Msg == WM_THREADDONE) {
                ThreadDone(static_cast<uint64_t>(m.LParam));
                m.Result = 0;
            } else if (m.Msg == WM_THREADSYNC) {
                auto* f = reinterpret_cast<const std::function<void()>*>(m.LParam);
                CallGuarded(nullptr, [&] { (*f)(); });
                m.Result = 0;
            } else {
                m.Result = DefWindowProcA(SyncWindow(), m.Msg, m.WParam, m.LParam);
            }
        });
    }
    return h;
}

}  // namespace

void ThreadDone(uint64_t Serial) {
    TThread* T = LiveThread(Serial);
    if (!T) return;
    WaitForSingleObject(T->handle_, INFINITE);
    CallGuarded(T, [&] { T->DoTerminate(); });
    if (T->FreeOnTerminate && LiveThread(Serial) == T) delete T;
}

TThread::TThread(bool CreateSuspended) {
    EnsureSyncWindow();
    {
        std::lock_guard<std::mutex> g(LiveLock());
        serial_ = NextSerial();
        Live()[serial_] = this;
    }
    handle_ = CreateThread(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &id_);
    if (!handle_) {
        std::lock_guard<std::mutex> g(LiveLock());
        Live().erase(serial_);
        throw EOutOfResources("Thread creation error: " + std::to_string(GetLastError()));
    }
    if (!CreateSuspended) Start();
}

TThread::~TThread() {
    {
        std::lock_guard<std::mutex> g(LiveLock());
        Live().erase(serial_);
    }
    terminated_ = true;
    if (handle_) {
        if (!started_) ResumeThread(handle_);
        WaitFor();
        CloseHandle(handle_);
    }
}

void TThread::Start() {
    if (started_ || !handle_) return;
    started_ = true;
    ResumeThread(handle_);
}

int TThread::WaitFor() {
    if (!handle_) return ReturnValue;
    // Messages sent to this thread (a Synchronize) are answered while we wait.
    while (MsgWaitForMultipleObjects(1, &handle_, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
    return ReturnValue;
}

void TThread::DoTerminate() {
    if (OnTerminate) OnTerminate(this);
}

void TThread::Synchronize(const std::function<void()>& F) {
    if (GetCurrentThreadId() != id_) {
        F();
        return;
    }
    SendMessageA(SyncWindow(), WM_THREADSYNC, 0, reinterpret_cast<LPARAM>(&F));
}

DWORD WINAPI TThread::ThreadProc(LPVOID Param) {
    auto* t = static_cast<TThread*>(Param);
    try {
        t->Execute();
    } catch (...) {
        t->fatal_ = std::current_exception();
    }
    const DWORD rc = static_cast<DWORD>(t->ReturnValue);
    t->finished_ = true;
    // From here on the window thread may delete the object.
    PostMessageA(SyncWindow(), WM_THREADDONE, 0, static_cast<LPARAM>(t->serial_));
    return rc;
}

}  // namespace bramble
