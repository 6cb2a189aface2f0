#include "Chk2Btn.h"

void CChk2Btn::SetCheck(int nCheck) {
    m_nCheck = nCheck;
    InvalidateRect(nullptr, TRUE);
}
