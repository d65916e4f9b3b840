// Text helpers shared by every module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Removes trailing white space (tab, LF, VT, FF, CR, space) and zeros in
// place; bytes of 128 and above are never white space. Returns str.
char* strtrimr(char* str);

// Writes time (signed milliseconds) as "m:ss" or "m:ss:mmm"
// (need3rdfield), with whole hours split off as "h:m:ss" (needhour).
// dest must hold 20 characters. Returns dest.
char* strtimefrmt(int time, char* dest, int need3rdfield, int needhour);

// A typed number: 1 and the value for decimal digits only, at most Max; 0
// (Value untouched) for anything else, an empty text included.
int StrToUInt(const char* Text, std::uint32_t Max, std::uint32_t* Value);

// Copies at most size - 1 bytes of src into dest and always terminates it
// (an empty text for a null src). Returns true when src fitted whole.
bool StrCopy(char* dest, std::size_t size, std::string_view src);
bool StrCopy(char* dest, std::size_t size, const char* src);

template <std::size_t N>
bool StrCopy(char (&dest)[N], std::string_view src)
{
    return StrCopy(dest, N, src);
}

template <std::size_t N>
bool StrCopy(char (&dest)[N], const char* src)
{
    return StrCopy(dest, N, src);
}

// The text of a fixed array up to its first zero, never reading past it.
template <std::size_t N>
std::string_view StrView(const char (&field)[N])
{
    std::size_t n = 0;
    while (n < N && field[n] != '\0')
        ++n;
    return {field, n};
}

// Formats like snprintf into a fixed buffer; the result is always
// terminated and cut at the buffer's end. Returns dest.
char* StrFormat(char* dest, std::size_t size, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
