#pragma once
// Builds one line of the call log: `name(arg, arg, ...) -> result`. Outputs are
// printed after the call as `*value`, `*?` when the call did not write them and
// `null` for a null pointer; doubles in their shortest exact form.

#include <cstddef>
#include <string>

class TraceLine
{
public:
    explicit TraceLine(const char *name);

    TraceLine &arg(int v);
    TraceLine &arg(unsigned v);
    TraceLine &arg(long v);
    TraceLine &arg(unsigned long v);
    TraceLine &arg(double v);
    TraceLine &arg(float v);
    TraceLine &hex(unsigned long v);
    TraceLine &raw(const char *text);
    TraceLine &raw(const std::string &text);
    // A character buffer of at most maxLen bytes, quoted, with unprintable bytes escaped.
    TraceLine &quoted(const char *s, std::size_t maxLen);
    TraceLine &floats(const float *values, int count);

    template <class T>
    TraceLine &out(const T *p, bool written)
    {
        if (!p)
            return raw("null");
        if (!written)
            return raw("*?");
        next();
        line_ += '*';
        append(*p);
        return *this;
    }
    TraceLine &outHex(const unsigned short *p, bool written);

    std::string finish(long result);

    static std::string number(double v);

private:
    void next();
    void append(int v);
    void append(unsigned v);
    void append(long v);
    void append(unsigned long v);
    void append(double v);
    void append(float v);

    std::string line_;
    bool first_ = true;
};
