// Reading and writing the numbers of the form's fields, as the data exchange does:
// integers as strtol reads them, numbers as strtod reads them with '.' as the
// decimal point whatever the locale, floats written with "%.*g" at precision 6.
#pragma once

#include <optional>

#include "framework/afx.h"

// The row field: at most the first 31 characters; spaces and tabs around; an
// optional sign and digits; beyond 32 bits reads as the nearest 32-bit limit. A
// value 0 whose first character is not '0' is not an integer ("", "+0", "-0", "x").
std::optional<int> ParseDialogInt(const CString& text);

// The total and delay fields: like ParseDialogInt but a decimal number with an
// optional fraction and exponent; nullopt when the text is not a number. The
// result is the double read; the caller rounds it to float.
std::optional<double> ParseDialogDouble(const CString& text);

// "%.*g" with 6 significant digits ("120", "0.15", "1e-05").
CString FormatDialogFloat(float value);

// atoi: leading white space, an optional sign, digits up to the first non-digit;
// no digits gives 0; out of range saturates at the 32-bit limits.
int AtoiText(const CString& text);
