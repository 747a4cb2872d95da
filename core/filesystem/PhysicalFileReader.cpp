#include "core/filesystem/PhysicalFileReader.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileSystemTimes.h"
#include "platform/os/Clock.h"
#include "platform/os/Files.h"

#include <cstring>

PhysicalFileReader gPhysicalFileReader;

namespace
{
constexpr uint32_t kRingBytes = 65536;
constexpr uint32_t kMaxPathBytes = 4096;
} // namespace

PhysicalFileReader::PhysicalFileReader() : BaseThread("PhysicalFileReader", kRingBytes, true, os::kInfinite, 0)
{
}

PhysicalFileReader::~PhysicalFileReader()
{
    Stop();
    for (auto& group : m_files)
        for (FILE*& file : group)
            if (file != nullptr)
                std::fclose(file);
}

void PhysicalFileReader::EnsureStarted()
{
    std::lock_guard<std::mutex> lock(m_startLock);
    if (!IsRunning())
        Start();
}

void PhysicalFileReader::Close()
{
    std::lock_guard<std::mutex> lock(m_startLock);
    Stop();
    for (auto& group : m_files)
        for (FILE*& file : group)
            if (file != nullptr)
            {
                std::fclose(file);
                file = nullptr;
            }
    for (auto& group : m_paths)
        for (std::string& path : group)
            path.clear();
}

void PhysicalFileReader::PostOpenFile(uint32_t group, uint32_t part, const char* path)
{
    Request request{};
    request.operation = OPERATION_OPEN;
    request.group = group;
    request.part = part;
    Post(request, path);
}

uint32_t PhysicalFileReader::PostRead(uint32_t group, uint32_t part, const char* path, uint64_t offset,
                                      void* destination, uint32_t size, uint32_t* bytesRead)
{
    Request request{};
    request.operation = OPERATION_READ;
    request.group = group;
    request.part = part;
    request.offset = offset;
    request.destination = destination;
    request.bytesRead = bytesRead;
    request.size = size;
    return Post(request, path);
}

uint32_t PhysicalFileReader::Post(const Request& request, const char* path)
{
    EnsureStarted();
    const size_t length = std::strlen(path) + 1;
    Request sized = request;
    sized.pathLength = static_cast<uint32_t>(length < kMaxPathBytes ? length : kMaxPathBytes);
    const ThreadCall call = &PhysicalFileReader::Execute;
    const uintptr_t argument = reinterpret_cast<uintptr_t>(this);
    const uint32_t payload = static_cast<uint32_t>(sizeof(call) + sizeof(argument) + sizeof(Request)) + sized.pathLength;
    // The producer lock is held from BeginCommand to EndCommand, so tickets follow posting order.
    if (!BeginCommand(THREAD_COMMAND_CALL, payload))
    {
        if (request.bytesRead != nullptr)
            *request.bytesRead = 0;
        return m_completed.load(std::memory_order_acquire);
    }
    CommandRingBuffer& ring = GetRing();
    ring.Write(&call, sizeof(call));
    ring.Write(&argument, sizeof(argument));
    ring.Write(&sized, sizeof(sized));
    ring.Write(path, sized.pathLength - 1);
    const char terminator = '\0';
    ring.Write(&terminator, 1);
    uint32_t ticket = 0;
    if (request.operation == OPERATION_READ)
        ticket = m_posted.fetch_add(1, std::memory_order_relaxed) + 1;
    EndCommand();
    return ticket;
}

void PhysicalFileReader::WaitFor(uint32_t ticket) const
{
    if (IsComplete(ticket))
        return;
    FileSystemTimer timer(FILESYSTEM_TIME_READ_WAIT);
    for (uint32_t turn = 0; !IsComplete(ticket); ++turn)
        os::Sleep(turn < 4096 ? 0 : 1); // a block read from the cache takes microseconds
}

void PhysicalFileReader::Execute(BaseThread& thread, uintptr_t, CommandRingBuffer& ring)
{
    PhysicalFileReader& reader = static_cast<PhysicalFileReader&>(thread);
    Request request{};
    char path[kMaxPathBytes];
    if (!ring.Read(&request, sizeof(request)) || request.pathLength == 0 || request.pathLength > kMaxPathBytes ||
        !ring.Read(path, request.pathLength))
        return;
    path[request.pathLength - 1] = '\0';
    if (request.operation == OPERATION_OPEN)
        reader.ExecuteOpen(request, path);
    else
        reader.ExecuteRead(request, path);
}

void PhysicalFileReader::ExecuteOpen(const Request& request, const char* path)
{
    if (request.group < kGroupCount && request.part < kMaxParts)
        KeptFile(request.group, request.part, path);
}

FILE* PhysicalFileReader::KeptFile(uint32_t group, uint32_t part, const char* path)
{
    FILE*& file = m_files[group][part];
    // A remount after shutdown, or a stream outliving its mount, may name another file under the
    // same group and part: its reads must never come from the old handle.
    if (m_paths[group][part] == path)
        return file;
    if (file != nullptr)
        std::fclose(file);
    m_paths[group][part] = path;
    file = os::OpenFile(path, "rb");
    if (file == nullptr)
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to open container data file %s", path);
    return file;
}

void PhysicalFileReader::ExecuteRead(const Request& request, const char* path)
{
    FileSystemTimer timer(FILESYSTEM_TIME_READ);
    uint32_t done = 0;
    FILE* file = nullptr;
    const bool ownFile = request.group >= kGroupCount || request.part >= kMaxParts;
    if (ownFile)
        file = os::OpenFile(path, "rb");
    else
        file = KeptFile(request.group, request.part, path);
    // A failed open or seek reads nothing: the stream sees the shortfall and fails its read.
    if (file != nullptr && std::fseek(file, static_cast<long>(request.offset), SEEK_SET) == 0)
        done = static_cast<uint32_t>(std::fread(request.destination, 1, request.size, file));
    if (ownFile && file != nullptr)
        std::fclose(file);
    *request.bytesRead = done;
    m_completed.fetch_add(1, std::memory_order_release);
}
