// Resources used only by the unit tests.
#pragma once
#define IDD_TEST_DIALOG   200
#define IDC_TEST_BUTTON   201
#define IDC_TEST_EDIT     202
#define IDC_TEST_OWNER    203
#define IDC_TEST_STATIC   204

// Test images (png/make_test_images.py).
#define IDB_TEST_PATTERN_RGBA 300
#define IDB_TEST_PATTERN_RGB  301
#define IDB_TEST_PRECEDENCE   302
#define IDB_TEST_NOT_IMAGE    303
