// CArray: a growable array with the small part of MFC's interface this
// program uses. It asks for memory with new (std::nothrow) and keeps what it
// has when there is none: Add then reports FALSE instead of throwing, and
// the array remembers that it is incomplete, so that a function that builds
// one and returns it can tell its caller.
#pragma once
#include <windows.h>
#include <new>
#include <utility>

template <class TYPE>
class CArray {
public:
    CArray() = default;
    ~CArray() { RemoveAll(); ::operator delete(m_pData); }
    CArray(const CArray& other) { Append(other); }
    CArray& operator=(const CArray& other) {
        if (this != &other) {
            RemoveAll();
            m_bIncomplete = FALSE;
            Append(other);
        }
        return *this;
    }
    CArray(CArray&& other) noexcept { Swap(other); }
    CArray& operator=(CArray&& other) noexcept {
        Swap(other);
        return *this;
    }

    int GetSize() const { return m_nSize; }
    BOOL IsEmpty() const { return m_nSize == 0; }
    TYPE& operator[](int i) { return m_pData[i]; }
    const TYPE& operator[](int i) const { return m_pData[i]; }
    TYPE* begin() { return m_pData; }
    TYPE* end() { return m_pData + m_nSize; }
    const TYPE* begin() const { return m_pData; }
    const TYPE* end() const { return m_pData + m_nSize; }

    // FALSE, with the array as it was, when there is no memory for one more.
    BOOL Add(const TYPE& value) {
        if (m_nSize == m_nCapacity && !Grow()) {
            m_bIncomplete = TRUE;
            return FALSE;
        }
        new (m_pData + m_nSize) TYPE(value);
        ++m_nSize;
        return TRUE;
    }
    void RemoveAt(int i) {
        for (int j = i; j + 1 < m_nSize; ++j) m_pData[j] = std::move(m_pData[j + 1]);
        m_pData[--m_nSize].~TYPE();
    }
    void RemoveAll() {
        while (m_nSize > 0) m_pData[--m_nSize].~TYPE();
    }
    // FALSE once an Add has failed (or MarkIncomplete said so): some of what
    // was added is missing.
    BOOL IsComplete() const { return !m_bIncomplete; }
    void MarkIncomplete() { m_bIncomplete = TRUE; }

private:
    BOOL Append(const CArray& other) {
        if (!other.IsComplete()) m_bIncomplete = TRUE;
        for (const TYPE& value : other)
            if (!Add(value)) return FALSE;
        return TRUE;
    }
    BOOL Grow() {
        const int nCapacity = m_nCapacity ? m_nCapacity * 2 : 8;
        TYPE* pData = static_cast<TYPE*>(::operator new(sizeof(TYPE) * nCapacity, std::nothrow));
        if (!pData) return FALSE;
        for (int i = 0; i < m_nSize; ++i) {
            new (pData + i) TYPE(std::move(m_pData[i]));
            m_pData[i].~TYPE();
        }
        ::operator delete(m_pData);
        m_pData = pData;
        m_nCapacity = nCapacity;
        return TRUE;
    }
    void Swap(CArray& other) {
        std::swap(m_pData, other.m_pData);
        std::swap(m_nSize, other.m_nSize);
        std::swap(m_nCapacity, other.m_nCapacity);
        std::swap(m_bIncomplete, other.m_bIncomplete);
    }

    TYPE* m_pData = nullptr;
    int m_nSize = 0;
    int m_nCapacity = 0;
    BOOL m_bIncomplete = FALSE;
};

// A callable passed down a call, without owning it (std::function would
// bring the runtime's exceptions along): valid while the call runs.
template <class Signature>
class CFunctionRef;
template <class R, class... Args>
class CFunctionRef<R(Args...)> {
public:
    template <class F>
    CFunctionRef(const F& f)  // NOLINT: converts from any callable, as std::function does
        : m_pObject(&f), m_pfnCall([](const void* p, Args... args) -> R { return (*static_cast<const F*>(p))(args...); }) {}
    R operator()(Args... args) const { return m_pfnCall(m_pObject, args...); }

private:
    const void* m_pObject;
    R (*m_pfnCall)(const void*, Args...);
};
