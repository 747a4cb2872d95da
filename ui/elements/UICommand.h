// One UI command: a record of the renderer's call command (opcode 47) whose function is the
// trampoline of a UI class family, whose sub-command is the UI command id, and whose arguments start
// with the element pointer (widened to 8 bytes). Main thread only: it is the one writer.
//
// While a renderer holds an open stream the record goes into it and runs on the render thread in
// stream order. With no open stream no render thread runs, so the calling thread is the render side:
// the record is written into a small ring of its own and run at once through the same executor.
#pragma once

#include "core/threads/CommandRingBuffer.h"
#include "renderer/RenderCommands.h"

#include <cstdint>

class NorvexRenderer;

// One argument of a command, read in the order the setter wrote it.
template <typename T>
T ReadCommandValue(CommandRingBuffer& reader)
{
    T value{};
    reader.Read(&value, sizeof(T));
    return value;
}

// A class family's executor: reads the element pointer and the command's arguments.
using UICommandRunner = void (*)(uint32_t commandId, CommandRingBuffer& reader);

// The render-call function of a family.
template <UICommandRunner Runner>
void UICommandTrampoline(NorvexRenderer&, uint32_t commandId, CommandRingBuffer& reader)
{
    Runner(commandId, reader);
}

// Writes one command; the destructor ends it (and, without a stream, runs it).
class UICommand
{
public:
    // argumentBytes: the bytes after the element pointer. A refused command (logged) writes nothing.
    UICommand(RenderCallFunction trampoline, UICommandRunner runner, uint32_t commandId, const void* element,
              uint32_t argumentBytes);
    ~UICommand();
    UICommand(const UICommand&) = delete;
    UICommand& operator=(const UICommand&) = delete;

    bool IsOpen() const { return m_open; }
    void Write(const void* data, uint32_t bytes);
    template <typename T>
    UICommand& Put(const T& value)
    {
        Write(&value, sizeof(T));
        return *this;
    }

    // Commands written since start-up (both paths); tests and the benchmark read it.
    static uint64_t GetWrittenCount();

private:
    UICommandRunner m_runner;
    uint32_t m_commandId;
    bool m_open = false;
    bool m_local = false;
};
