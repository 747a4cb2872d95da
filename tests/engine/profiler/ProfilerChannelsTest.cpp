// The channel names code uses stand for the table rows of those names: a wrong number would feed
// another channel's graph without any other sign.
#include "engine/profiler/ProfilerChannels.h"

#include <gtest/gtest.h>

#include <string>

TEST(ProfilerChannelsTest, EveryNamedIdIsTheRowOfItsName)
{
    const struct
    {
        ProfilerChannelId id;
        const char* name;
    } kNamed[] = {
        {PROFILER_MAIN_FRAME_TIME, "MainFrameTime"},
        {PROFILER_RENDER_FRAME, "RenderFrame"},
        {PROFILER_VISIBLE_ENTITIES, "VisibleEntities"},
        {PROFILER_TOTAL_FRAME_TIME, "TotalFrameTime"},
        {PROFILER_GAME_TICK_COUNT, "GameTickCount"},
        {PROFILER_GAME_TICK, "GameTick"},
        {PROFILER_LOS, "LOS"},
        {PROFILER_LOS_TRIANGLES, "LOSTriangles"},
        {PROFILER_PATHFINDING, "Pathfinding"},
        {PROFILER_CPU_SKINNING, "CPUSkinning"},
        {PROFILER_LUA_GC_TIME, "LuaGCTime"},
        {PROFILER_LUA_GC_MEM, "LuaGCMem"},
        {PROFILER_LUA_MEM, "LuaMem"},
        {PROFILER_ENTITY_INST, "EntityInst"},
        {PROFILER_PHYSICS_TIME, "PhysicsTime"},
        {PROFILER_SOUND_INSTANCES, "SoundInstances"},
        {PROFILER_ZOMBIE_SOUND_INSTANCES, "ZombieSoundInstances"},
        {PROFILER_SOUND_ROUND_TIME, "SoundRoundTime"},
        {PROFILER_SOUND_TICK, "SoundTick"},
        {PROFILER_SOUND_DECODE_TIME, "SoundDecodeTime"},
        {PROFILER_SOUND_UPLOAD_TIME, "SoundUploadTime"},
        {PROFILER_SOUND_BYTES_DECODED, "SoundBytesDecoded"},
        {PROFILER_NET_TICK_MAIN, "NetTick(Main)"},
        {PROFILER_NET_SENT_ENTITY, "NetSentEntity"},
        {PROFILER_NET_DYNAMIC_MID, "NetDynamicMID"},
        {PROFILER_NET_STATIC_MID, "NetStaticMID"},
        {PROFILER_MP_PROPS_ENTITY_TICK_NUM, "MPPropsEntityTickNum"},
        {PROFILER_RESOURCE_LOADING, "ResourceLoading"},
        {PROFILER_UI_INSTANCES, "UIInst"},
        {PROFILER_TEST_B, "TestB"},
        {PROFILER_TEST_C, "TestC"},
        {PROFILER_TEST_D, "TestD"},
        {PROFILER_TEST_E, "TestE"},
        {PROFILER_TEST_F, "TestF"},
        {PROFILER_TEST_G, "TestG"},
        {PROFILER_TEST_H, "TestH"},
        {PROFILER_TEST_I, "TestI"},
        {PROFILER_TEST_J, "TestJ"},
        {PROFILER_TEST_L, "TestL"},
    };
    for (const auto& named : kNamed)
    {
        ASSERT_LT(uint32_t(named.id), kProfilerChannelCount) << named.name;
        EXPECT_EQ(std::string(GetProfilerChannelInfo(named.id).name), named.name) << "channel " << named.id;
    }
    EXPECT_STREQ(GetProfilerChannelInfo(kProfilerFPSChannel).name, "FPS");
    EXPECT_STREQ(GetProfilerChannelInfo(kProfilerVideoDecodeChannel).name, "VideoDecode");
    EXPECT_STREQ(GetProfilerChannelInfo(kProfilerChannelCount).name, "FPS") << "past the table: the first row";

    // What the render, sound and loader threads feed is sampled at the draw, never as a main sample.
    for (const ProfilerChannelId id :
         {PROFILER_GPU_SYNC, PROFILER_PRESENT, PROFILER_RENDER_IDLE, PROFILER_RENDER_ROUND, PROFILER_DRAW_CALLS,
          PROFILER_TRIANGLES, PROFILER_PARTICLE_RENDER_TIME, PROFILER_SFX_TIME, PROFILER_SOUND_DECODE_TIME,
          PROFILER_SOUND_UPLOAD_TIME, PROFILER_SOUND_TICK, PROFILER_RESOURCE_LOADING})
        EXPECT_NE(GetProfilerChannelInfo(id).source, PROFILER_SOURCE_MAIN) << GetProfilerChannelInfo(id).name;
}
