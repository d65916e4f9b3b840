#include "string2.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

bool IsTrimmed(char c) { return c == '\0' || c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

char* strtrimr(char* str)
{
    std::size_t n = std::strlen(str);
    while (n > 0 && IsTrimmed(str[n - 1]))
        str[--n] = '\0';
    return str;
}

char* strtimefrmt(int time, char* dest, int need3rdfield, int needhour)
{
    constexpr std::size_t kSize = 20;
    int minutes = time / 60000;
    const int rest = time % 60000;
    const int seconds = rest / 1000;
    const int millis = rest % 1000;
    int hours = 0;
    if (needhour) {
        hours = minutes / 60;
        minutes %= 60;
    }
    char part[kSize];
    if (need3rdfield)
        StrFormat(part, sizeof part, "%d:%02d:%03d", minutes, seconds, millis);
    else
        StrFormat(part, sizeof part, "%d:%02d", minutes, seconds);
    if (needhour && hours > 0)
        StrFormat(dest, kSize, "%d:%s", hours, part);
    else
        StrCopy(dest, kSize, part);
    return dest;
}

bool StrCopy(char* dest, std::size_t size, std::string_view src)
{
    if (size == 0)
        return src.empty();
    const std::size_t n = src.size() < size ? src.size() : size - 1;
    if (n > 0)
        std::memcpy(dest, src.data(), n);
    dest[n] = '\0';
    return n == src.size();
}

bool StrCopy(char* dest, std::size_t size, const char* src)
{
    return StrCopy(dest, size, src != nullptr ? std::string_view(src) : std::string_view());
}

char* StrFormat(char* dest, std::size_t size, const char* format, ...)
{
    if (size == 0)
        return dest;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(dest, size, format, args);
    va_end(args);
    if (n < 0)
        dest[0] = '\0';
    return dest;
}

int StrToUInt(const char* Text, std::uint32_t Max, std::uint32_t* Value)
{
    std::uint64_t value = 0;
    if (Text == nullptr || *Text == '\0')
        return 0;
    for (; *Text != '\0'; ++Text) {
        if (*Text < '0' || *Text > '9')
            return 0;
        value = value * 10 + static_cast<std::uint64_t>(*Text - '0');
        if (value > Max)
            return 0;
    }
    *Value = static_cast<std::uint32_t>(value);
    return 1;
}
