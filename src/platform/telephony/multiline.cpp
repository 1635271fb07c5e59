#include "platform/telephony/multiline.h"

#include "platform/errors.h"
#include "platform/telephony/simline.h"
#include "platform/telephony/sipline.h"
#include "platform/telephony/tapi.h"

#include <exception>

namespace {

// Forwards every part's events as its own; the first part is the one whose
// failures count, the others fail on their own without taking it down.
class MultiTapi : public ITTAPI {
public:
    explicit MultiTapi(QList<std::shared_ptr<ITTAPI>> parts) : m_parts(std::move(parts)) {
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
    long RegisterCallNotifications(const std::shared_ptr<ITAddress>& address, bool monitor,
                                   bool owner, long mediaTypes, long callbackInstance) override {
        for (const auto& p : std::as_const(m_parts)) {
            bool mine = false;
            try {
                const auto c = p->get_Addresses();
                for (long i = 1; i <= c->get_Count(); ++i)
                    mine = mine || c->get_Item(i) == address;
            } catch (const AppError&) {
            }
            if (mine)
                return p->RegisterCallNotifications(address, monitor, owner, mediaTypes,
                                                    callbackInstance);
        }
        raiseTelephonyError(QStringLiteral("The address does not belong to this telephony object"));
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
};

} // namespace

std::shared_ptr<ITTAPI> createInstalledTapiObject() {
    auto sim = SimLine::instance().createTapiObject();
    if (SipLine::config().account.isEmpty())
        return sim;
    return std::make_shared<MultiTapi>(
        QList<std::shared_ptr<ITTAPI>>{sim, SipLine::createTapiObject()});
}
