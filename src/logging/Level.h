#pragma once
// Log levels and their two spellings: the fixed line text written into every log
// line, and the (translatable) name shown to the operator.

#include <QString>

namespace Logging {

enum Level {
    TraceLevel = 0,
    DebugLevel = 1,
    InfoLevel = 2,
    WarnLevel = 3,
    ErrorLevel = 4,
    FatalLevel = 5,
    OffLevel = 6
};

// Five characters for every real level ("INFO " and "WARN " end in a blank), empty
// for Off; values outside 0..6 read as "INFO ". Never translated.
const char *levelText(int level);

// "Trace", "Debug", "Info", "Warning", "Error", "Fatal" through the translator;
// empty for Off and anything outside 0..5.
QString levelDisplayName(int level);

} // namespace Logging
