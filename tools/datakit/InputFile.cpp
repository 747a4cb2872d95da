#include "tools/datakit/InputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

bool ReadInputFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
    {
        const int error = errno;
        std::fprintf(stderr, "datakit: cannot %s %s: %s\n", error == ENOENT ? "open" : "read", path.c_str(),
                     std::strerror(error));
        return false;
    }
    // Plain reads report a folder as EISDIR; stream reads would throw out of the command instead.
    int error = 0;
    char buffer[1 << 16];
    for (;;)
    {
        const ssize_t count = read(file, buffer, sizeof(buffer));
        if (count > 0)
            bytes.append(buffer, size_t(count));
        else if (count == 0)
            break;
        else if (errno != EINTR)
        {
            error = errno;
            break;
        }
    }
    close(file);
    if (error == 0)
        return true;
    std::fprintf(stderr, "datakit: cannot read %s: %s\n", path.c_str(), std::strerror(error));
    bytes.clear();
    return false;
}
