#pragma once
// The controller simulator's call log as the tests read it: one line per library
// call or node request since the last reset or clear, "name(args) -> result".

#include <QString>
#include <QStringList>

#include <initializer_list>

class SimCallLog
{
public:
    // The whole log as one text, lines ending in '\n'.
    static QString text();
    // Its lines, in the order the calls were made.
    static QStringList lines();
    // The lines of the calls to any of `functions`, in order, results included.
    static QStringList linesOf(std::initializer_list<const char *> functions);
    // The calls to `function`, each without its " -> result" part.
    static QStringList callsTo(const char *function);
    // Every line without its " -> result" part.
    static QStringList calls();
};
