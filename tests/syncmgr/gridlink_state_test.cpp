// The library's state as the owner of its link registry and sheet buffers.
#include "syncmgr/gridlink_state.h"

#include "platform/bstr.h"
#include "support/sandbox.h"

TEST(GridlinkState, UnloadingTheRegistryReleasesTheSheetBeingExported) {
    testsupport::Sandbox box;
    box.addUser("Ann", "101");
    syncmgr::GridlinkState state;
    ASSERT_GE(state.registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No), 0);
    workbook::TransferContext context = state.context();
    state.options.exportTarget.exportBookName = "Budget";
    SheetRecord sheet{};
    sheet.sheetName = platform::allocByteString("Jan");
    ASSERT_EQ(state.sheetExport.SetSheetName(context, &sheet), 1);
    platform::clearByteString(sheet.sheetName);
    ASSERT_TRUE(state.sheetExport.started());

    ASSERT_TRUE(state.registry.UnloadTBMData(foundation::SaveFirst::No));
    EXPECT_FALSE(state.sheetExport.started());
    EXPECT_EQ(state.sheetExport.recordBufferSize(), 0u);
}
