// Skinned check box: a box image from a seven-state skin strip and the
// window text. The check state lives only in m_nCheck; the owner changes it.
#pragma once
#include "controls/SkinButton.h"

// Image index of the check box for a draw: 0-2 unchecked normal, hover,
// pressed; 3-5 the same checked; 6 disabled.
int CheckBoxImageIndex(UINT itemState, int nCheck, BOOL bHover, BOOL* pbPressed);

// Size the check box must take to hold its box image and, nGap pixels right
// of it, its label: TRUE with *pNew when the current size does not fit.
BOOL CheckBoxFitSize(SIZE current, SIZE image, SIZE text, SIZE* pNew, int nGap = 5);

class CChk2Btn : public CSkinButton {
public:
    CChk2Btn();

    // 1 is checked, any other value unchecked. Repaints with erase.
    void SetCheck(int nCheck);
    int GetCheck() const { return m_nCheck; }
    // Seven-state skin strip; the caller keeps the bitmap. The next paint
    // fits the box to it and the label.
    BOOL SetImage(CBitmap* pBitmap);
    int m_nGap = 5;  // between the box and the label

    void DrawItem(LPDRAWITEMSTRUCT lpDIS) override;

protected:
    int m_nImageHeight = 0;
    int m_nImageWidth = 0;
    int m_nCheck = 0;

    void DrawLabel(CDC* pDC, int nState);
};
