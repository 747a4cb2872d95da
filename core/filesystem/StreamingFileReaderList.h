// The streaming readers one filling thread keeps open. The filling thread owns the list as a
// member, installs it with StreamingFileReader::SetFillingThread and alone touches it: readers
// join it when they open and leave it when they are destroyed, both on that thread.
#pragma once

class BaseThread;
class StreamingFileReader;

// The open readers of one filling thread, topped up by PumpAll.
class StreamingFileReaderList
{
public:
    explicit StreamingFileReaderList(BaseThread& thread) : m_thread(thread) {}
    StreamingFileReaderList(const StreamingFileReaderList&) = delete;
    StreamingFileReaderList& operator=(const StreamingFileReaderList&) = delete;

    // The thread that opens, fills and closes the readers; any thread may ask.
    BaseThread& GetThread() const { return m_thread; }
    // Filling thread: tops every open reader up past its refill threshold (or completely with
    // `force`).
    void PumpAll(bool force);

private:
    friend class StreamingFileReader;
    void Link(StreamingFileReader* reader);
    void Unlink(StreamingFileReader* reader);

    BaseThread& m_thread;
    StreamingFileReader* m_first = nullptr;
};
