#include "ui/monitors.h"

namespace bramble {

namespace {

using MonitorFromRectProc = HMONITOR(WINAPI*)(LPCRECT, DWORD);
using MonitorFromPointProc = HMONITOR(WINAPI*)(POINT, DWORD);
using GetMonitorInfoProc = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);

struct MonitorApi {
    MonitorFromRectProc from_rect = nullptr;
    MonitorFromPointProc from_point = nullptr;
    GetMonitorInfoProc info = nullptr;
};

template <typename T>
T Bind(HMODULE M, const char* Name) {
    return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(M, Name)));
}

// Null when the system has a single monitor or lacks one of the functions.
const MonitorApi* Monitors() {
    static const MonitorApi api = [] {
        MonitorApi a;
        if (HMODULE u = GetModuleHandleA("user32.dll")) {
            a.from_rect = Bind<MonitorFromRectProc>(u, "MonitorFromRect");
            a.from_point = Bind<MonitorFromPointProc>(u, "MonitorFromPoint");
            a.info = Bind<GetMonitorInfoProc>(u, "GetMonitorInfoA");
        }
        return a;
    }();
    if (!api.from_rect || !api.from_point || !api.info || GetSystemMetrics(SM_CMONITORS) <= 1) return nullptr;
    return &api;
}

RECT DesktopWorkArea() {
    RECT r{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0))
        r = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return r;
}

RECT WorkAreaOf(const MonitorApi& Api, HMONITOR M) {
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (M && Api.info(M, &mi)) return mi.rcWork;
    return DesktopWorkArea();
}

}  // namespace

RECT GetWorkAreaOfRect(const RECT& R) {
    const MonitorApi* api = Monitors();
    return api ? WorkAreaOf(*api, api->from_rect(&R, MONITOR_DEFAULTTONEAREST)) : DesktopWorkArea();
}

RECT GetWorkAreaOfPoint(POINT P) {
    const MonitorApi* api = Monitors();
    return api ? WorkAreaOf(*api, api->from_point(P, MONITOR_DEFAULTTONEAREST)) : DesktopWorkArea();
}

}  // namespace bramble
