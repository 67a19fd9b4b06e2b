#include "TraceLine.h"

#include <charconv>
#include <cstdio>

TraceLine::TraceLine(const char *name) : line_(name)
{
    line_ += '(';
}

void TraceLine::next()
{
    if (!first_)
        line_ += ", ";
    first_ = false;
}

void TraceLine::append(int v) { line_ += std::to_string(v); }
void TraceLine::append(unsigned v) { line_ += std::to_string(v); }
void TraceLine::append(long v) { line_ += std::to_string(v); }
void TraceLine::append(unsigned long v) { line_ += std::to_string(v); }

void TraceLine::append(double v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    line_.append(buf, res.ptr);
}

void TraceLine::append(float v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    line_.append(buf, res.ptr);
}

TraceLine &TraceLine::arg(int v) { next(); append(v); return *this; }
TraceLine &TraceLine::arg(unsigned v) { next(); append(v); return *this; }
TraceLine &TraceLine::arg(long v) { next(); append(v); return *this; }
TraceLine &TraceLine::arg(unsigned long v) { next(); append(v); return *this; }
TraceLine &TraceLine::arg(double v) { next(); append(v); return *this; }
TraceLine &TraceLine::arg(float v) { next(); append(v); return *this; }

TraceLine &TraceLine::hex(unsigned long v)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%lx", v);
    next();
    line_ += buf;
    return *this;
}

TraceLine &TraceLine::raw(const char *text)
{
    next();
    line_ += text;
    return *this;
}

TraceLine &TraceLine::raw(const std::string &text)
{
    return raw(text.c_str());
}

TraceLine &TraceLine::quoted(const char *s, std::size_t maxLen)
{
    if (!s)
        return raw("null");
    next();
    line_ += '"';
    for (std::size_t i = 0; i < maxLen && s[i] != '\0'; ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c >= 0x7f || c == '"' || c == '\\') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            line_ += buf;
        } else {
            line_ += static_cast<char>(c);
        }
    }
    line_ += '"';
    return *this;
}

TraceLine &TraceLine::floats(const float *values, int count)
{
    if (!values)
        return raw("null");
    next();
    line_ += '[';
    for (int i = 0; i < count; ++i) {
        if (i)
            line_ += ", ";
        append(values[i]);
    }
    line_ += ']';
    return *this;
}

TraceLine &TraceLine::outHex(const unsigned short *p, bool written)
{
    if (!p)
        return raw("null");
    if (!written)
        return raw("*?");
    char buf[16];
    std::snprintf(buf, sizeof buf, "*0x%04x", static_cast<unsigned>(*p));
    return raw(buf);
}

std::string TraceLine::finish(long result)
{
    line_ += ") -> ";
    line_ += std::to_string(result);
    return line_;
}

std::string TraceLine::number(double v)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}
