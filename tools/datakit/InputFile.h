// Reads the input files named on a datakit command line. Any thread.
#pragma once

#include <string>

// The whole file in `bytes`. A missing file is refused with "datakit: cannot open <path>: <reason>",
// a folder or an unreadable file with "datakit: cannot read <path>: <reason>", on standard error.
bool ReadInputFile(const std::string& path, std::string& bytes);
