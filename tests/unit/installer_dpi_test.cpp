// The installer's own dialog told that its monitor's DPI changed, as
// Windows tells a window dragged to another monitor (Wine never does): it
// takes the suggested place and lays every control out anew, with fonts and
// images of the scaled sizes, and back again.
#include <gtest/gtest.h>
#include "app/InstallerDlg.h"
#include <map>

namespace {

// Client rectangles of the installer's controls at 96 DPI, as laid out
// before any of them fits itself to its text.
const std::map<int, CRect> kDesign = {
    {IDC_GROUP_INSTALL_DIR, {23, 270, 515, 308}}, {IDC_BTN_BROWSE, {515, 277, 601, 307}},
    {IDC_EDIT_INSTALL_DIR, {25, 285, 513, 305}},  {IDC_BTN_INSTALL, {460, 360, 600, 400}},
    {IDC_CHK_AUTORUN, {23, 340, 73, 370}},        {IDC_CHK_TASKBAR, {210, 340, 290, 370}},
    {IDC_CHK_AGREE, {23, 375, 123, 405}},         {IDC_LINK_LICENSE, {120, 375, 240, 405}},
    {IDC_PROGRESS, {23, 335, 603, 339}},          {IDC_STATIC_STATUS, {23, 350, 540, 370}},
    {IDC_STATIC_PERCENT, {570, 350, 620, 370}},   {IDC_STATIC_DONE_TITLE, {23, 283, 443, 309}},
    {IDC_STATIC_DONE_HINT, {23, 320, 443, 342}},  {IDC_CHK_RUN_CLIENT, {23, 375, 73, 405}},
    {IDC_BTN_FINISH, {460, 360, 600, 400}},       {IDC_STATIC_PATH_ERROR, {22, 317, 141, 329}},
    {IDC_CAPTION_CLOSE, {595, 10, 612, 25}},      {IDC_CAPTION_MIN, {568, 10, 585, 25}},
};

struct Layout {
    CRect rcWnd;
    std::map<int, CRect> controls;
    LONG editFont = 0;
    int statusFont = 0, titleFont = 0, hintFont = 0, linkFont = 0, lineSpacing = 0;
};

// Runs the dialog up to its first page, with the later pages' images as
// after Install, looks at it at 96 DPI, at 144 after the change, and at 96
// after the change back, and ends before it shows: no manifest query, no
// download folder.
class CDpiTestDlg : public CInstallerDlg {
public:
    using CInstallerDlg::CInstallerDlg;
    Layout at96, at144, back;
    RECT rc144 = {100, 50, 100 + 933, 50 + 633}, rc96 = {100, 50, 100 + 622, 50 + 422};

protected:
    BOOL OnInitDialog() override {
        const BOOL bOk = CInstallerDlg::OnInitDialog();
        SkinLaterPages();
        MoveWindow(&rc96);
        at96 = Look();
        SendMessage(WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&rc144));
        at144 = Look();
        SendMessage(WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&rc96));
        back = Look();
        EndDialog(IDOK);
        return bOk;
    }

private:
    Layout Look() {
        Layout l;
        GetWindowRect(&l.rcWnd);
        for (const auto& d : kDesign) {
            CRect rc;
            ::GetWindowRect(::GetDlgItem(m_hWnd, d.first), &rc);
            ScreenToClient(&rc);
            l.controls[d.first] = rc;
        }
        LOGFONTW lf = {};
        ::GetObjectW(m_editInstallDir.GetFont(), sizeof(lf), &lf);
        l.editFont = lf.lfHeight;
        l.statusFont = m_staticStatus.m_nFontHeight;
        l.titleFont = m_staticDoneTitle.m_nFontHeight;
        l.hintFont = m_staticDoneHint.m_nFontHeight;
        l.linkFont = m_linkLicense.m_nFontHeight;
        l.lineSpacing = m_staticDoneHint.m_nLineSpacing;
        return l;
    }
};

}  // namespace

TEST(InstallerDpiChange, TakesTheSuggestedPlaceAndLaysOutEveryControlAnewAndBack) {
    CInstallRun run;
    CSkinPreload preload;
    CDpiTestDlg dlg(run, preload);
    ASSERT_EQ(IDOK, dlg.DoModal());
    preload.End();

    EXPECT_EQ(CRect(dlg.rc144), dlg.at144.rcWnd);
    for (const auto& d : kDesign) {
        const CRect& design = d.second;
        EXPECT_EQ(CRect(SkinScaleRect(design, 144)), dlg.at144.controls[d.first]) << "control " << d.first << " at 144";
        EXPECT_EQ(design, dlg.at96.controls[d.first]) << "control " << d.first << " at 96";
        EXPECT_EQ(design, dlg.back.controls[d.first]) << "control " << d.first << " back at 96";
    }
    EXPECT_EQ(-18, dlg.at144.editFont);
    EXPECT_EQ(33, dlg.at144.statusFont);
    EXPECT_EQ(39, dlg.at144.titleFont);
    EXPECT_EQ(30, dlg.at144.hintFont);
    EXPECT_EQ(-18, dlg.at144.linkFont);
    EXPECT_EQ(5, dlg.at144.lineSpacing);
    for (const Layout* l : {&dlg.at96, &dlg.back}) {
        EXPECT_EQ(-12, l->editFont);
        EXPECT_EQ(22, l->statusFont);
        EXPECT_EQ(26, l->titleFont);
        EXPECT_EQ(20, l->hintFont);
        EXPECT_EQ(-12, l->linkFont);
        EXPECT_EQ(3, l->lineSpacing);
    }
    EXPECT_EQ(CRect(dlg.rc96), dlg.back.rcWnd);
}
