// The numbers of datakit command lines: every one is parsed signed and checked against the range its
// option allows, so that "-1" is refused instead of becoming 4294967295 entities or bytes. A refused
// value is named on standard error with its option and range. Any thread.
#pragma once

#include <cstdint>
#include <string>

// A whole number from minimum to maximum (both within uint32_t), decimal or hexadecimal after "0x";
// false, with "datakit: <option> takes a whole number from <minimum> to <maximum>, not '<text>'" on
// stderr.
bool ParseNumberArgument(const std::string& option, const std::string& text, int64_t minimum, int64_t maximum,
                         uint32_t& value);
// The same for a decimal number such as "0.5" (no infinity, no NaN).
bool ParseDecimalArgument(const std::string& option, const std::string& text, double minimum, double maximum,
                          double& value);
// "<first>x<second>", each a whole number from minimum to maximum.
bool ParseNumberPairArgument(const std::string& option, const std::string& text, uint32_t minimum, uint32_t maximum,
                             uint32_t& first, uint32_t& second);
