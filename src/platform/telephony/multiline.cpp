#include "platform/telephony/multiline.h"

#include "platform/errors.h"
#include "platform/telephony/simline.h"
#include "platform/telephony/sipline.h"
#include "platform/telephony/tapi.h"

#include <exception>
#include <utility>

namespace {

// Forwards every part's events as its own; the first part is the one whose
// failures count, the others fail on their own without taking it down.
class MultiTapi : public ITTAPI {
public:
    explicit MultiTapi(QList<std::shared_ptr<ITTAPI>> parts)
        : m_parts(std::move(parts)), m_cookies(m_parts.size()) {
        for (const auto& p : std::as_const(m_parts))
            connect(p.get(), &ITTAPI::Event, this,
                    [this](long code, const std::shared_ptr<ITEventObject>& ev) {
                        emit Event(code, ev);
                    });
    }

    void Initialize() override {
        forEach([](ITTAPI& t) { t.Initialize(); });
    }
    void put_EventFilter(long filter) override {
        forEach([filter](ITTAPI& t) { t.put_EventFilter(filter); });
    }
    std::shared_ptr<ITCollection> get_Addresses() override {
        QList<std::shared_ptr<ITAddress>> items;
        forEach([&](ITTAPI& t) {
            const auto c = t.get_Addresses();
            for (long i = 1; i <= c->get_Count(); ++i)
                items.append(c->get_Item(i));
        });
        return std::make_shared<ITCollection>(items);
    }
    // The program watches one address: registering one part's address
    // withdraws the other parts' registrations (the SIP line then stops its
    // user agent, so that no call the user did not choose rings).
    long RegisterCallNotifications(const std::shared_ptr<ITAddress>& address, bool monitor,
                                   bool owner, long mediaTypes, long callbackInstance) override {
        for (qsizetype i = 0; i < m_parts.size(); ++i) {
            bool mine = false;
            try {
                const auto c = m_parts[i]->get_Addresses();
                for (long k = 1; k <= c->get_Count(); ++k)
                    mine = mine || c->get_Item(k) == address;
            } catch (const AppError&) {
            }
            if (!mine)
                continue;
            const long cookie = m_parts[i]->RegisterCallNotifications(address, monitor, owner,
                                                                      mediaTypes, callbackInstance);
            for (qsizetype j = 0; j < m_parts.size(); ++j)
                for (const long other : j == i ? QList<long>() : std::exchange(m_cookies[j], {}))
                    m_parts[j]->UnregisterNotifications(other);
            m_cookies[i].append(cookie);
            return cookie * m_parts.size() + i;
        }
        raiseTelephonyError(QStringLiteral("The address does not belong to this telephony object"));
    }
    void UnregisterNotifications(long cookie) override {
        const auto n = static_cast<long>(m_parts.size());
        if (cookie >= 0 && m_cookies[cookie % n].removeAll(cookie / n))
            m_parts[cookie % n]->UnregisterNotifications(cookie / n);
    }
    void Shutdown() override {
        forEach([](ITTAPI& t) { t.Shutdown(); });
    }

private:
    // Every part gets the call, even when the first one fails; the first
    // part's failure is raised afterwards.
    template <typename F> void forEach(F&& f) {
        std::exception_ptr first;
        for (qsizetype i = 0; i < m_parts.size(); ++i) {
            try {
                f(*m_parts[i]);
            } catch (const AppError&) {
                if (i == 0)
                    first = std::current_exception();
                // another line out of service: the others go on
            }
        }
        if (first)
            std::rethrow_exception(first);
    }

    QList<std::shared_ptr<ITTAPI>> m_parts;
    QList<QList<long>> m_cookies; // each part's registrations
};

} // namespace

std::shared_ptr<ITTAPI> createInstalledTapiObject() {
    auto sim = SimLine::instance().createTapiObject();
    if (SipLine::config().account.isEmpty())
        return sim;
    return std::make_shared<MultiTapi>(
        QList<std::shared_ptr<ITTAPI>>{sim, SipLine::createTapiObject()});
}
