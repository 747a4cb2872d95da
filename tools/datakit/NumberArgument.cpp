#include "tools/datakit/NumberArgument.h"

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace
{
// The whole text as one number; leading blanks and a "+" are as foreign here as trailing letters.
bool ReadWholeNumber(const std::string& text, int64_t& value)
{
    const bool negative = !text.empty() && text[0] == '-';
    const std::string digits = text.substr(negative ? 1 : 0);
    const bool hex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    const unsigned char first = static_cast<unsigned char>(digits.empty() ? '\0' : digits[hex ? 2 : 0]);
    if (!(hex ? std::isxdigit(first) : std::isdigit(first)))
        return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0')
        return false;
    value = parsed;
    return true;
}

} // namespace

bool ParseNumberArgument(const std::string& option, const std::string& text, int64_t minimum, int64_t maximum,
                         uint32_t& value)
{
    int64_t parsed = 0;
    if (!ReadWholeNumber(text, parsed) || parsed < minimum || parsed > maximum)
    {
        std::fprintf(stderr, "datakit: %s takes a whole number from %" PRId64 " to %" PRId64 ", not '%s'\n",
                     option.c_str(), minimum, maximum, text.c_str());
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool ParseDecimalArgument(const std::string& option, const std::string& text, double minimum, double maximum,
                          double& value)
{
    errno = 0;
    char* end = nullptr;
    const double parsed = text.empty() || std::isspace(static_cast<unsigned char>(text[0]))
                              ? NAN
                              : std::strtod(text.c_str(), &end);
    // Written so that NaN fails every comparison and is refused with the rest.
    if (end == nullptr || *end != '\0' || errno != 0 || !(parsed >= minimum && parsed <= maximum))
    {
        std::fprintf(stderr, "datakit: %s takes a number from %g to %g, not '%s'\n", option.c_str(), minimum, maximum,
                     text.c_str());
        return false;
    }
    value = parsed;
    return true;
}

bool ParseNumberPairArgument(const std::string& option, const std::string& text, uint32_t minimum, uint32_t maximum,
                             uint32_t& first, uint32_t& second)
{
    const size_t x = text.find('x');
    int64_t a = 0;
    int64_t b = 0;
    if (x == std::string::npos || !ReadWholeNumber(text.substr(0, x), a) || !ReadWholeNumber(text.substr(x + 1), b) ||
        a < minimum || a > maximum || b < minimum || b > maximum)
    {
        std::fprintf(stderr, "datakit: %s takes <number>x<number>, each from %u to %u, not '%s'\n", option.c_str(),
                     minimum, maximum, text.c_str());
        return false;
    }
    first = static_cast<uint32_t>(a);
    second = static_cast<uint32_t>(b);
    return true;
}
