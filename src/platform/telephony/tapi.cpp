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
