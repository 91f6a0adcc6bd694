// A worker thread whose end is handled on the window thread that made it:
// Execute runs on the worker; when it returns, DoTerminate (by default
// OnTerminate) runs on the window thread from its message loop, and a
// FreeOnTerminate thread is deleted there afterwards. Synchronize runs a
// piece of work on the window thread and waits for it.
//
// Only the window thread creates, terminates and deletes threads.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>

#include "engine/core/types.h"

namespace bramble {

class TThread : public TObject {
public:
    // Started at once unless CreateSuspended (then Start starts it).
    explicit TThread(bool CreateSuspended);
    // Tells the worker to stop and waits for it (running window messages
    // meanwhile, so a Synchronize in flight completes). A descendant whose
    // Execute reads its own fields stops the worker in its own destructor
    // (Terminate, Start, WaitFor), before those fields go.
    ~TThread() override;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();
    // Asks Execute to stop; it polls Terminated().
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    // Waits until Execute has returned; gives ReturnValue.
    int WaitFor();
    bool Finished() const { return finished_; }

    bool FreeOnTerminate = false;
    // Runs on the window thread once Execute has returned.
    TNotifyEvent OnTerminate;
    // What Execute threw, if anything (the worker never lets it escape).
    std::exception_ptr FatalException() const { return fatal_; }

protected:
    virtual void Execute() = 0;
    // On the window thread after Execute: fires OnTerminate.
    virtual void DoTerminate();
    // Runs F on the window thread; the worker waits until it is done.
    void Synchronize(const std::function<void()>& F);
    int ReturnValue = 0;

private:
    static DWORD WINAPI ThreadProc(LPVOID Param);
    friend void ThreadDone(uint64_t Serial);
    uint64_t serial_ = 0;
    HANDLE handle_ = nullptr;
    DWORD id_ = 0;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    bool started_ = false;
    std::exception_ptr fatal_;
};

}  // namespace bramble
