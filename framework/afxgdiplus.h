// A GDI+ session: started by the constructor, shut down by the destructor,
// after every GDI+ object of the scope declared after it is gone.
#pragma once
#include <windows.h>

class CGdiplusSession {
public:
    CGdiplusSession();
    ~CGdiplusSession();
    CGdiplusSession(const CGdiplusSession&) = delete;
    CGdiplusSession& operator=(const CGdiplusSession&) = delete;
    BOOL IsStarted() const { return m_token != 0; }
private:
    ULONG_PTR m_token = 0;
};
