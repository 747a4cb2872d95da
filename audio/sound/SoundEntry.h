// Sound entries: the named sounds that game code and scripts play. An entry lists its files in
// lists chosen by tags and says how loud, at what pitch, over which range and how positioned they
// play. Plain reflected records (their property names are the serialized keys); the container
// (SoundEntriesContainer.h) guards them with its lock.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/strings/NameString.h"

// One list of sound files, picked when the caller's tags include all of "Tags".
class SoundEntrySoundList : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(SoundEntrySoundList, RTTIPolyBaseClass)

public:
    DynarraySafe<NameString> m_tags;
    // File names as SoundEngine::PlaySystemSound takes them.
    DynarraySafe<NameString> m_sounds;
};

// A named sound with its file lists and how it plays.
class SoundEntry : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(SoundEntry, RTTIPolyBaseClass)

public:
    NameString m_name;
    DynarraySafe<SoundEntrySoundList> m_lists;
    float m_volume = 1.0f;
    float m_rangeMin = 100.0f; // full-volume range; negative: the container's default
    float m_rangeMax = 100.0f; // zero-volume range; negative: the container's default
    float m_pitch = 1.0f;      // frequency ratio
    float m_randomDelay = 5.0f;
    float m_randomDelayVariance = 5.0f;
    bool m_2D = false;         // not positioned: no emitter needed, no ranges
    bool m_loop = false;
    bool m_important = false;
    bool m_true3D = false;     // ranges without the listener-altitude widening
};
