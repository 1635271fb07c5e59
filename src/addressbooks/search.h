#pragma once

#include <QString>

#include <optional>

// Caller-ID lookup over every Database and Local book marked for it. Answers
// the contact's name, or string 16031 "Not Found". An output that the caller
// passes as "" receives the number as the book stores it and the book's tag
// on a match, and becomes Empty (nullopt) otherwise; an output passed Empty
// is left alone.
QString lookupCallerID(const QString& number, std::optional<QString>& foundNumber,
                       std::optional<QString>& foundTag);
