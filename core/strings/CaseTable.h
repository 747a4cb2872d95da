// The fixed case table behind the 16-bit upper-casing of StringUtils. Read-only, any thread.
#pragma once

#include <cstddef>

// One lower-case character and its upper-case form.
struct CaseTablePair
{
    char16_t lower;
    char16_t upper;
};

extern const CaseTablePair kCaseTable[];
extern const size_t kCaseTableSize;
