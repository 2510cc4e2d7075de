#pragma once
#include <string>

namespace tabulex {

/// Appends the decimal text of `number` to `out`, padded on the left with "0" until the
/// number part is `width` characters long (a minus sign counts toward the width).
inline void append_zero_padded(std::string& out, long long number, int width)
{
    // The common case, a line number padded to four digits, without a loop.
    if (width == 4 && number >= 0 && number < 10000) {
        const char digits[4] = {
            static_cast<char>('0' + number / 1000), static_cast<char>('0' + number / 100 % 10),
            static_cast<char>('0' + number / 10 % 10), static_cast<char>('0' + number % 10)};
        out.append(digits, 4);
        return;
    }
    // The digits are made from the end of a buffer, two at a time, and appended in one piece.
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930"
        "31323334353637383940414243444546474849505152535455565758596061"
        "62636465666768697071727374757677787980818283848586878889909192"
        "93949596979899";
    char digits[24];
    char* first = digits + sizeof digits;
    const bool negative = number < 0;
    unsigned long long value = negative ? 0ULL - static_cast<unsigned long long>(number)
                                        : static_cast<unsigned long long>(number);
    while (value >= 100) {
        const char* pair = kPairs + 2 * (value % 100);
        value /= 100;
        *--first = pair[1];
        *--first = pair[0];
    }
    if (value >= 10) {
        *--first = kPairs[2 * value + 1];
        *--first = kPairs[2 * value];
    } else {
        *--first = static_cast<char>('0' + value);
    }
    const auto count = static_cast<int>(digits + sizeof digits - first);
    const int length = count + (negative ? 1 : 0);
    if (negative)
        out += '-';
    if (width > length)
        out.append(static_cast<std::size_t>(width - length), '0');
    out.append(first, static_cast<std::size_t>(count));
}

/// Appends the decimal text of `number` to `out`, without padding.
inline void append_decimal(std::string& out, long long number)
{
    append_zero_padded(out, number, 0);
}

}  // namespace tabulex
