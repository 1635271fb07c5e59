#pragma once

#include <QString>

#include <cstdint>

// The one set of conversions from stored text to numbers. They follow the
// rules of the stored settings: blanks around the number are ignored, a
// decimal point and an exponent are allowed, a fraction rounds to the nearest
// whole number with halves to the even one. Text that is not a number raises
// error 13 (type mismatch); a number outside the target range raises error 6
// (overflow).
namespace convert {

// Parses a number; raises 13 when the text is not one.
double toDouble(const QString& text);

// Like toDouble, but answers false instead of raising.
bool tryToDouble(const QString& text, double& out);

// 16-bit signed ("Integer"), halves to even, 6 on overflow.
std::int16_t toInt16(const QString& text);
std::int16_t toInt16(double value);

// 32-bit signed ("Long"), halves to even, 6 on overflow.
std::int32_t toInt32(const QString& text);
std::int32_t toInt32(double value);

// Preference flag: any non-zero number is true; raises 13 for non-numbers.
bool toFlag(const QString& text);

// Decimal text of a number, as stored.
QString toText(long long value);

} // namespace convert
