// tests/wine/LookupSmokeTest.cpp
#include <gtest/gtest.h>
#include "lookup/LookupDialog.h"
#include "resources/ResourceIds.h"
#include "tests/wine/Harness.h"
#include "tests/wine/LinkedAddIn.h"

using namespace harness;

TEST(LookupSmoke, OpensOnTheBuiltCatalogueAndFindsACode)
{
    StartLinkedAddIn();
    RunModal([] { OpenLookupWindow(NULL, NULL); },
             [] {
                 HWND window = WaitForWindow(LookupCaption);
                 ASSERT_NE(window, (HWND)NULL);
                 HWND tree = GetDlgItem(window, IDC_CATALOGUE_TREE);
                 EXPECT_EQ(Children(tree, NULL).size(), 8u);
                 SetControlText(window, IDC_ERROR_NUMBER, "a2008");
                 SendCommand(window, IDC_FIND);
                 EXPECT_EQ(ControlText(window, IDC_ERROR_NUMBER), "A2008");
                 EXPECT_EQ(ControlText(window, IDC_TYPE), "Non Fatal");
                 EXPECT_EQ(ControlText(window, IDC_ERROR), "syntax error :");
                 SendMessageA(window, WM_CLOSE, 0, 0);
             });
}
