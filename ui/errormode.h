// Asking the system about a drive with no disk in it (an empty floppy or
// CD drive) brings up the system's "insert a disk" box and stalls the
// caller until someone answers it. Code that walks drive letters or reads
// folders the user may point at removable media holds one of these while
// it asks.
#pragma once

#include <windows.h>

namespace bramble {

class TQuietDrives {
public:
    TQuietDrives() : old_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~TQuietDrives() { SetErrorMode(old_); }
    TQuietDrives(const TQuietDrives&) = delete;
    TQuietDrives& operator=(const TQuietDrives&) = delete;

private:
    UINT old_;
};

}  // namespace bramble
