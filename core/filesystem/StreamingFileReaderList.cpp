#include "core/filesystem/StreamingFileReaderList.h"

#include "core/filesystem/StreamingFileReader.h"

void StreamingFileReaderList::PumpAll(bool force)
{
    for (StreamingFileReader* reader = m_first; reader != nullptr; reader = reader->m_next)
        if (reader->IsOpen())
            reader->Fill(force ? 0 : reader->m_threshold);
}

void StreamingFileReaderList::Link(StreamingFileReader* reader)
{
    reader->m_previous = nullptr;
    reader->m_next = m_first;
    if (m_first != nullptr)
        m_first->m_previous = reader;
    m_first = reader;
}

void StreamingFileReaderList::Unlink(StreamingFileReader* reader)
{
    if (reader->m_previous != nullptr)
        reader->m_previous->m_next = reader->m_next;
    else if (m_first == reader)
        m_first = reader->m_next;
    if (reader->m_next != nullptr)
        reader->m_next->m_previous = reader->m_previous;
    reader->m_previous = reader->m_next = nullptr;
}
