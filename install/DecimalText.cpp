#include "install/DecimalText.h"
#include <climits>

namespace {

template <typename Ch>
int ReadLeadingIntT(const Ch* p) {
    if (!p) return 0;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    long long value = 0;
    bool digits = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        digits = true;
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return 0;  // out of range, however long
    }
    if (!digits) return 0;
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return 0;
    return static_cast<int>(value);
}

}  // namespace

int ReadLeadingInt(const char* text) { return ReadLeadingIntT(text); }
int ReadLeadingInt(const wchar_t* text) { return ReadLeadingIntT(text); }
