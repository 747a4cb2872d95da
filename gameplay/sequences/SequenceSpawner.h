// SequenceSpawner (script global gSequenceSpawner): builds a sequence at run time, track by track
// and action by action, and hands it to the sequence system. Pure pauses are folded into the
// following actions' minimal start times, and an action after one of no length moves to a new
// track with the rest, so parallel starts stay parallel; such a track waits for its first action's
// minimal start time. Main thread only.
#pragma once

#include <cstdint>

class Sequence;
class SequenceAction;
class SequenceTrack;

// Run-time builder of sequences.
class SequenceSpawner
{
public:
    SequenceSpawner() = default;
    ~SequenceSpawner();
    SequenceSpawner(const SequenceSpawner&) = delete;
    SequenceSpawner& operator=(const SequenceSpawner&) = delete;

    void BeginSequenceSpawn(const char* name);
    void AppendTrack(const char* name);
    bool AppendAction(const char* className);
    void AppendActionParam(const char* propertyName, const char* value);
    void EndSequenceSpawn();
    const char* GetLuaSequenceFilename() const { return nullptr; }

    const Sequence* GetSequenceBeingBuilt() const { return m_sequence; }

    // The fold and split of a finished sequence (public for tests).
    static void FoldWaitsAndSplitTracks(Sequence& sequence);

private:
    Sequence* m_sequence = nullptr;
    SequenceTrack* m_track = nullptr;
    SequenceAction* m_action = nullptr;
};

extern SequenceSpawner gSequenceSpawner;
