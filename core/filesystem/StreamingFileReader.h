// Sequential reading of one file through a ring buffer that a filling thread keeps topped up, so
// that a consumer on another thread (streamed sounds, videos) never waits on the disk in steady
// state. A looping reader reopens the file when it ends and goes on.
//
// Threads: the constructor, Read, WaitUntilOpen, IsOpen and PostDestroy belong to the consumer;
// every file operation (open, fill, close) runs on the filling thread (the resource thread, whose
// StreamingFileReaderList is installed with SetFillingThread), which also frees the reader after
// PostDestroy. The
// consumer moves the read position and its byte count, the filling thread the write position,
// the bytes left in the pass and the end-of-data flag; 256 bytes of the ring always stay free, so
// the write position never catches up with the read position.
#pragma once

#include "core/filesystem/FileReader.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class BaseThread;
class StreamingFileReaderList;

// Reads one file sequentially through a ring filled on the filling thread.
class StreamingFileReader
{
public:
    static constexpr uint32_t kReserveBytes = 256;

    // The reader list of the thread that opens, fills and closes every reader (null: none); set
    // before the first reader is made.
    static void SetFillingThread(StreamingFileReaderList* readers);
    static BaseThread* GetFillingThread();

    // Posts the open command; the reader is then in state opening.
    StreamingFileReader(uint32_t bufferSize, const char* path, const char* extension, const char* base, bool loop);
    StreamingFileReader(const StreamingFileReader&) = delete;
    StreamingFileReader& operator=(const StreamingFileReader&) = delete;

    bool IsFinishedOpening() const { return m_state.load() != STATE_OPENING; }
    bool IsOpen() const { return m_state.load() == STATE_OPEN; }
    // Waits for the open to finish; restarts the consumer's count for the next pass of a loop.
    void WaitUntilOpen();
    // Copies up to count bytes (a null destination skips them); returns the bytes taken.
    uint32_t Read(void* destination, uint32_t count);
    // Hands the reader to the filling thread, which closes and frees it. The consumer must not
    // touch it afterwards.
    void PostDestroy();

private:
    friend class StreamingFileReaderList;

    enum State : int
    {
        STATE_OPENING = 0,
        STATE_CLOSED = 1, // failed or closed
        STATE_OPEN = 2,
    };

    ~StreamingFileReader();

    static void OpenCall(BaseThread& thread, uintptr_t argument, class CommandRingBuffer& ring);
    static void FillCall(BaseThread& thread, uintptr_t argument, class CommandRingBuffer& ring);
    static void DestroyCall(BaseThread& thread, uintptr_t argument, class CommandRingBuffer& ring);
    void Post(void (*call)(BaseThread&, uintptr_t, class CommandRingBuffer&));

    // Filling thread.
    void Open();
    void Fill(uint32_t minimum);
    bool ReadIntoRing(uint32_t position, uint32_t count);

    // Consumer.
    bool WaitWhileOpening(const char* warning);
    uint32_t Available() const;

    const std::string m_path;
    const std::string m_extension;
    const std::string m_base;
    const uint32_t m_capacity;  // requested size + kReserveBytes
    const uint32_t m_threshold; // requested size / 4
    const bool m_loop;
    std::unique_ptr<uint8_t[]> m_ring;
    FileReader m_file; // filling thread

    std::atomic<int> m_state{STATE_OPENING};
    std::atomic<uint32_t> m_readPosition{0};
    std::atomic<uint32_t> m_writePosition{0};
    std::atomic<uint32_t> m_consumerLeft{0};
    std::atomic<uint32_t> m_fileSize{0};
    std::atomic<bool> m_endOfData{false};
    std::atomic<uint32_t> m_fillsPosted{0};
    std::atomic<uint32_t> m_fillsDone{0};
    uint32_t m_passLeft = 0; // filling thread

    StreamingFileReader* m_previous = nullptr; // filling thread, in its StreamingFileReaderList
    StreamingFileReader* m_next = nullptr;
};
