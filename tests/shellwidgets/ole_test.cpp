// The shell widgets on their own, without the drag source (which starts
// OLE too): their shell calls find OLE up from the program's start.
#include <gtest/gtest.h>

#include "app/widgets/syslist.h"
#include "support/oleup.h"

namespace bramble {
namespace {

TEST(ShellWidgets, OleIsUpFromTheStartBeforeTheFirstShellList) {
    test::ExpectOleUp();
    auto* list = new TSystemListView(nullptr);
    delete list;
}

}  // namespace
}  // namespace bramble
