#include "input/number_parser.hpp"

#include <charconv>
#include <limits>
#include <string>
#include <system_error>

namespace blocknest {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipBlanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && isBlank(text[pos])) ++pos;
    return pos;
}

std::size_t skipDigits(std::string_view text, std::size_t pos) {
    while (pos < text.size() && isDigit(text[pos])) ++pos;
    return pos;
}

// The decimal exponent of the leading significant digit of a mantissa, given the exponent
// written after it; decides whether an out-of-range value overflowed or underflowed.
bool overflowed(std::string_view mantissa, long long exponent) {
    long long intDigits = 0;
    bool seenPoint = false;
    long long leadingFractionZeros = 0;
    bool seenNonZero = false;
    for (char c : mantissa) {
        if (c == '.') {
            seenPoint = true;
        } else if (!seenPoint) {
            if (c != '0' || seenNonZero) {
                seenNonZero = true;
                ++intDigits;
            }
        } else if (!seenNonZero) {
            if (c == '0') {
                ++leadingFractionZeros;
            } else {
                seenNonZero = true;
            }
        }
    }
    const long long magnitude =
        intDigits > 0 ? intDigits + exponent : exponent - leadingFractionZeros;
    return magnitude > 0;
}

}  // namespace

ParsedNumber parseDecimal(std::string_view text, std::size_t pos) {
    const std::size_t start = pos;
    pos = skipBlanks(text, pos);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t mantissaStart = pos;
    const std::size_t intEnd = skipDigits(text, pos);
    std::size_t end = intEnd;
    std::size_t digits = intEnd - pos;
    if (end < text.size() && text[end] == '.') {
        const std::size_t fracEnd = skipDigits(text, end + 1);
        digits += fracEnd - (end + 1);
        end = fracEnd;
    }
    if (digits == 0) return {0, start};
    const std::size_t mantissaEnd = end;
    long long exponent = 0;
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t e = end + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
        const std::size_t expEnd = skipDigits(text, e);
        if (expEnd > e) {
            for (std::size_t i = e; i < expEnd && exponent < 100000; ++i) {
                exponent = exponent * 10 + (text[i] - '0');
            }
            if (text[end + 1] == '-') exponent = -exponent;
            end = expEnd;
        }
    }
    double value = 0;
    const char* first = text.data() + mantissaStart;
    const std::from_chars_result r = std::from_chars(first, text.data() + end, value);
    if (r.ec == std::errc::result_out_of_range) {
        const std::string_view mantissa = text.substr(mantissaStart, mantissaEnd - mantissaStart);
        value = overflowed(mantissa, exponent) ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return {negative ? -value : value, end};
}

std::int64_t parseInteger(std::string_view text) {
    std::size_t pos = skipBlanks(text, 0);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (; pos < text.size() && isDigit(text[pos]); ++pos) {
        const int digit = text[pos] - '0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return negative ? -value : value;
}

}  // namespace blocknest
