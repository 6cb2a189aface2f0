// Resources used only by the unit tests.
#pragma once
#define IDD_TEST_DIALOG   200
#define IDC_TEST_BUTTON   201
#define IDC_TEST_EDIT     202
#define IDC_TEST_OWNER    203
#define IDC_TEST_STATIC   204
