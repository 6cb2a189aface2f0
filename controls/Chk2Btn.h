// Skinned check box: a box image from a seven-state skin strip and the
// window text. The check state lives only in m_nCheck; the owner changes it.
#pragma once
#include "afxwin.h"

class CChk2Btn : public CButton {
public:
    // 1 is checked, any other value unchecked. Repaints with erase.
    void SetCheck(int nCheck);
    int GetCheck() const { return m_nCheck; }

protected:
    int m_nCheck = 0;
};
