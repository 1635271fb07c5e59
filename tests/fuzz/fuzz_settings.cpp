// Settings parser: any file is read or refused with the project's error;
// whatever is read is written back and read again to the same sections.
#include "fuzzcheck.h"
#include "platform/errors.h"
#include "platform/settingsstore.h"

static bool operator==(const SettingsStore::Section& a, const SettingsStore::Section& b) {
    return a.name == b.name && a.entries == b.entries;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QList<SettingsStore::Section> first;
    try {
        first = SettingsStore::parse(bytes(data, size), QStringLiteral("fuzz.ini"));
    } catch (const AppError&) {
        return 0;
    }
    const QByteArray written = SettingsStore::serialize(first);
    QList<SettingsStore::Section> again;
    try {
        again = SettingsStore::parse(written, QStringLiteral("written.ini"));
    } catch (const AppError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        check(false, "what was written is read back");
    }
    check(first == again, "parse, write, parse gives the same sections");
    check(SettingsStore::serialize(again) == written, "written the same way twice");
    return 0;
}
