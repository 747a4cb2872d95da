// BinarySceneReader: turns a binary scene file (".BinaryScene") into the live entity tree: the
// layer system, the scene root, the entities of the chosen variation, their sets and the optional
// navigation grid block. Main thread (the scene's owner); templates may load on the resource thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct SimpleGUID;

// Reader of binary scene files (stateless).
class BinarySceneReader
{
public:
    // Load flags.
    static constexpr uint32_t kApplyNavigationGrid = 1;
    static constexpr uint32_t kReadSequences = 2;
    static constexpr uint32_t kSceneAlreadyStarted = 4;
    // Every entity regardless of its variation mask.
    static constexpr uint8_t kAllVariations = 255;

    // Reads "<folder>/<name>.BinaryScene" whole and loads it; false (logged) when it cannot. A file
    // that fails, or loads with parts lost or bytes left over, is named after the reasons.
    static bool LoadBinarySceneFile(const char* name, const char* folder, uint32_t loadFlags,
                                    uint32_t serializationFlags, uint8_t variation);
    // Checks every count and size of the file against its bytes before anything is created; a file
    // that fails the check loads nothing (logged). Missing templates only lose their records; bytes
    // after the scene are ignored with a warning.
    static bool LoadBinaryScene(const uint8_t* data, size_t size, uint32_t loadFlags, uint32_t serializationFlags,
                                uint8_t variation);
    // Who reads a scene's sequence payload (the sequence system, which registers itself) and says
    // how many of the bytes it used; without one the payload is skipped with a warning.
    using SequenceReader = bool (*)(const uint8_t* data, size_t size, size_t* used);
    static void SetSequenceReader(SequenceReader reader);

    // The template GUID of every entity record, in file order; false (logged) when the file does not
    // pass the same checks as a load.
    static bool ListTemplateGUIDs(const uint8_t* data, size_t size, std::vector<SimpleGUID>& guids);
};
