// ResourceAnimation: the resource (type 2) of one skeletal animation clip, read from "<name>.bin" in
// "Animations". Loaded on the resource thread (or by a blocking load); once its state is done the
// clip data is read-only and any thread holding a reference may read it.
#pragma once

#include "renderer/resources/AnimationData.h"
#include "renderer/resources/Resource.h"

#include <cstdint>

// An animation clip found and counted by the resource manager.
class ResourceAnimation : public Resource
{
public:
    explicit ResourceAnimation(const char* name) : Resource(name) {}
    uint32_t GetType() const override { return RESOURCE_TYPE_ANIMATION; }
    void Prefetch() override;
    bool DoLoad() override;

    const AnimationData& GetData() const { return m_data; }
    uint32_t GetHeaderWord(int index) const { return m_headerWords[index]; }

    // Reads a whole animation file image (magic, version, header words, body); false (logged for
    // anything but a wrong magic) when it is not a complete clip.
    static bool ReadImage(const uint8_t* image, size_t size, const char* fileName, AnimationData& data,
                          uint32_t (&headerWords)[2]);

private:
    AnimationData m_data;
    uint32_t m_headerWords[2] = {};
};
