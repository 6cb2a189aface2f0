// Reading a decimal number at the start of a text, the way the installer
// reads port numbers, HTTP status codes and the manifest's "code" string.
#pragma once

// Leading blanks (space, tab, line breaks) skipped, an optional sign, then the
// digits up to the first non-digit; the rest is ignored. Text without a
// leading number, and a number outside the 32-bit signed range, give 0.
int ReadLeadingInt(const char* text);
int ReadLeadingInt(const wchar_t* text);
