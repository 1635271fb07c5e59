// Number conversions: text is a number or raises 13, a number out of range
// raises 6, a result is the nearest whole number; the sanitizers watch the
// casts on the way.
#include "app/convert.h"
#include "fuzzcheck.h"
#include "platform/errors.h"

#include <cmath>

template <typename F> static long errorOf(F f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(bytes(data, size));
    double d = 0, again = 0;
    const bool number = convert::tryToDouble(text, d);
    const long notNumber = number ? 0 : 13;
    check(!number || std::isfinite(d), "numbers are finite");
    check(errorOf([&] { again = convert::toDouble(text); }) == notNumber && again == d, "toDouble");
    bool flag = false;
    check(errorOf([&] { flag = convert::toFlag(text); }) == notNumber && flag == (d != 0),
          "toFlag");
    const double r = std::nearbyint(d);
    std::int32_t l = 0;
    const long e32 = errorOf([&] { l = convert::toInt32(text); });
    check(e32 == (notNumber                                 ? 13
                  : r >= -2147483648.0 && r <= 2147483647.0 ? 0
                                                            : 6),
          "toInt32 error");
    check(e32 || (std::fabs(l - d) <= 0.5 && convert::toInt32(convert::toText(l)) == l),
          "toInt32 gives the nearest whole number and reads its own text back");
    std::int16_t i = 0;
    const long e16 = errorOf([&] { i = convert::toInt16(text); });
    check(e16 == (notNumber ? 13 : r >= -32768 && r <= 32767 ? 0 : 6), "toInt16 error");
    check(e16 || i == l, "toInt16 and toInt32 agree");
    return 0;
}
