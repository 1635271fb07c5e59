#include "platform/telephony/tapi.h"

#include "platform/errors.h"

std::shared_ptr<ITAddress> ITCollection::get_Item(long index) const {
    if (index < 1 || index > get_Count())
        raiseError(ErrNum::SubscriptOutOfRange);
    return m_items[static_cast<qsizetype>(index - 1)];
}

void raiseTelephonyError(const QString& description) {
    raiseError(ErrNum::TelephonyFailed, description, QStringLiteral("Telephony"));
}

QString callInfoNumber(long which, const std::optional<QString>& caller,
                       const std::optional<QString>& called) {
    const std::optional<QString>& v = which == CIS_CALLERIDNUMBER   ? caller
                                      : which == CIS_CALLEDIDNUMBER ? called
                                                                    : std::nullopt;
    if (!v)
        raiseTelephonyError(QStringLiteral("The information is not available"));
    return *v;
}
