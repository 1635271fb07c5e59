#include "app/convert.h"

#include "platform/errors.h"

#include <cmath>
#include <limits>

namespace convert {

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

// Accepts [sign] digits [. digits] [(e|E|d|D) [sign] digits], or &H / &O
// integer forms, surrounded by blanks.
bool parse(const QString& text, double& out) {
    int i = 0;
    int n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    while (n > i && isBlank(text[n - 1]))
        --n;
    if (i >= n)
        return false;
    const QString body = text.mid(i, n - i);

    if (body.size() > 2 && body[0] == u'&' && (body[1] == u'H' || body[1] == u'h' || body[1] == u'O' || body[1] == u'o')) {
        const int base = (body[1] == u'H' || body[1] == u'h') ? 16 : 8;
        bool ok = false;
        const qulonglong v = body.mid(2).toULongLong(&ok, base);
        if (!ok)
            return false;
        out = double(v);
        return true;
    }

    int p = 0;
    const int m = body.size();
    QString normal;
    if (p < m && (body[p] == u'+' || body[p] == u'-'))
        normal += body[p++];
    int digits = 0;
    while (p < m && body[p].isDigit() && body[p].unicode() < 128) {
        normal += body[p++];
        ++digits;
    }
    if (p < m && body[p] == u'.') {
        normal += body[p++];
        while (p < m && body[p].isDigit() && body[p].unicode() < 128) {
            normal += body[p++];
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (p < m && (body[p] == u'e' || body[p] == u'E' || body[p] == u'd' || body[p] == u'D')) {
        normal += u'e';
        ++p;
        if (p < m && (body[p] == u'+' || body[p] == u'-'))
            normal += body[p++];
        int expDigits = 0;
        while (p < m && body[p].isDigit() && body[p].unicode() < 128) {
            normal += body[p++];
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (p != m)
        return false;
    bool ok = false;
    const double v = normal.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

double roundHalfEven(double v) { return std::nearbyint(v); } // default FE_TONEAREST

} // namespace

bool tryToDouble(const QString& text, double& out) { return parse(text, out); }

double toDouble(const QString& text) {
    double v = 0;
    if (!parse(text, v))
        raiseError(ErrNum::TypeMismatch);
    return v;
}

std::int16_t toInt16(double value) {
    if (!std::isfinite(value))
        raiseError(ErrNum::Overflow);
    const double r = roundHalfEven(value);
    if (r < std::numeric_limits<std::int16_t>::min() || r > std::numeric_limits<std::int16_t>::max())
        raiseError(ErrNum::Overflow);
    return static_cast<std::int16_t>(r);
}

std::int16_t toInt16(const QString& text) { return toInt16(toDouble(text)); }

std::int32_t toInt32(double value) {
    if (!std::isfinite(value))
        raiseError(ErrNum::Overflow);
    const double r = roundHalfEven(value);
    if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max())
        raiseError(ErrNum::Overflow);
    return static_cast<std::int32_t>(r);
}

std::int32_t toInt32(const QString& text) { return toInt32(toDouble(text)); }

bool toFlag(const QString& text) { return toDouble(text) != 0.0; }

QString toText(long long value) { return QString::number(value); }

} // namespace convert
