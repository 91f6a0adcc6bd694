#include "ui/comobj.h"

namespace bramble {

namespace {
// A plain flag, constant-initialised: it stands before any unit's start-up
// asks and after every destructor.
enum class OleState { NotAsked, Up, Failed, Ended };
OleState g_ole = OleState::NotAsked;
}  // namespace

bool OleForTheRun() {
    if (g_ole == OleState::NotAsked) g_ole = SUCCEEDED(OleInitialize(nullptr)) ? OleState::Up : OleState::Failed;
    return g_ole == OleState::Up;
}

void EndOleForTheRun() {
    if (g_ole == OleState::Up) OleUninitialize();
    if (g_ole != OleState::NotAsked) g_ole = OleState::Ended;
}

}  // namespace bramble
