#include "addressbooks/search.h"

#include "app/strings.h"

QString lookupCallerID(const QString&, std::optional<QString>& foundNumber,
                       std::optional<QString>& foundTag) {
    if (foundNumber)
        foundNumber.reset();
    if (foundTag)
        foundTag.reset();
    return loadResString(16031);
}
