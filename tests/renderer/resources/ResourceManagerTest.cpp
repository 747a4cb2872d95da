// ctest-labels: thread
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/StreamingFileReader.h"
#include "core/reflection/ObjectRecord.h"
#include "platform/os/Clock.h"
#include "platform/os/Thread.h"
#include "renderer/resources/ResourceList.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourcePool.h"
#include "scene/templates/TemplateTypeRegistry.h"
#include "support/ConsoleCapture.h"
#include "support/ResourceTestTemplate.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace
{
class ResourceManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResourceTestTemplate::Reset();
        ResourceTestTemplate::RegisterRTTIClass();
        TemplateTypeRegistry::GetInstance().RegisterType(ResourceTestTemplate::kTypeId, 0, "ResourceTestTemplate");
        ASSERT_TRUE(gFileSystem.MountDirectory("scenes", m_folder.Path().c_str()));
        ASSERT_TRUE(m_manager.Init());
    }
    void TearDown() override
    {
        ResourceTestTemplate::s_gate.Set();
        m_manager.Close();
        gFileSystem.UnmountAll();
    }

    Resource* Template(const char* name)
    {
        return m_manager.GetResource(RESOURCE_TYPE_TEMPLATE, name, ResourceTestTemplate::kTypeId, true, 0);
    }
    static ResourceTestTemplate& AsTest(Resource* resource) { return *dynamic_cast<ResourceTestTemplate*>(resource); }
    size_t Count(const std::string& fragment) const
    {
        size_t count = 0;
        for (const CapturedMessage& message : m_log.Messages())
            count += message.text.find(fragment) != std::string::npos;
        return count;
    }
    static void WaitFor(const std::atomic<int>& value, int target)
    {
        for (int i = 0; i < 500 && value.load() < target; ++i)
            os::Sleep(10);
    }

    ConsoleCapture m_log;
    TempFolder m_folder;
    ResourceManager m_manager;
};

TEST_F(ResourceManagerTest, NamesFoldCaseAndSlashesAndCountReferences)
{
    Resource* a = m_manager.GetResource(RESOURCE_TYPE_TEXTURE, "Textures\\Rock.dds", 0, true, 4);
    Resource* b = m_manager.GetResource(RESOURCE_TYPE_TEXTURE, "textures/ROCK.dds", 0, true, 8);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_STREQ(a->GetName(), "Textures/Rock.dds");
    EXPECT_EQ(a->GetReferenceCount(), 2);
    EXPECT_EQ(a->GetFlags(), 12u);
    EXPECT_EQ(a->GetState(), uint32_t(RESOURCE_STATE_NOT_LOADED));
    EXPECT_STREQ(Resource::GetTypeName(kResourceTypeCount), "unknown");
    {
        os::ScopedLock held(ResourceManager::GetLock());
        EXPECT_NE(m_manager.GetPool(RESOURCE_TYPE_TEXTURE), nullptr);
        EXPECT_EQ(m_manager.GetPool(kResourceTypeCount), nullptr);
    }

    EXPECT_EQ(m_manager.GetResource(RESOURCE_TYPE_TEXTURE, "", 0, true, 0), nullptr);
    EXPECT_EQ(m_manager.GetResource(RESOURCE_TYPE_TEXTURE, nullptr, 0, true, 0), nullptr);
    EXPECT_EQ(m_manager.GetResource(RESOURCE_TYPE_TEXTURE, "missing", 0, false, 0), nullptr);
    EXPECT_EQ(m_manager.GetResource(RESOURCE_TYPE_SOUND, "Textures/Rock.dds", 0, false, 0), nullptr);

    // Names past 259 characters are cut, so both spellings meet.
    const std::string longName(300, 'x');
    Resource* cut = m_manager.GetResource(RESOURCE_TYPE_SHADER, longName.c_str(), 0, true, 0);
    EXPECT_EQ(std::string(cut->GetName()).size(), 259u);
    EXPECT_EQ(m_manager.GetResource(RESOURCE_TYPE_SHADER, longName.substr(0, 280).c_str(), 0, false, 0), cut);
    // A count changes only between the manager's passes, which hold its lock.
    const std::function<void()> changes[] = {[a] { a->AddRef(); }, [a] { a->Release(); }, [a] { a->AddRef(); },
                                             [&a] { Resource::ReleaseArray(&a, 1); }};
    for (const std::function<void()>& change : changes)
    {
        const int32_t before = a->GetReferenceCount();
        std::thread changer;
        {
            os::ScopedLock held(ResourceManager::GetLock());
            changer = std::thread(change);
            os::Sleep(50);
            EXPECT_EQ(a->GetReferenceCount(), before);
        }
        changer.join();
    }
    a->Release();
    b->Release();
    Resource* both[] = {cut, nullptr, cut};
    Resource::ReleaseArray(both, 1);
    EXPECT_EQ(cut->GetReferenceCount(), 1);
    Resource::ReleaseArray(both + 1, 2);
    EXPECT_EQ(cut->GetReferenceCount(), 0);
}

TEST_F(ResourceManagerTest, TemplatePoolCreatesTheRegisteredClassOrNothing)
{
    Resource* resource = Template("templates/Tower");
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(resource->GetType(), uint32_t(RESOURCE_TYPE_TEMPLATE));
    EXPECT_STREQ(resource->GetName(), "templates/Tower");
    EXPECT_EQ(m_manager.GetResource(RESOURCE_TYPE_TEMPLATE, "templates/Nothing", 299, true, 0), nullptr);
    EXPECT_TRUE(m_log.Contains("Resource of name templates/Nothing not created!", CONSOLE_ERROR));
    // A registered class that is no template is made, refused and deleted.
    ResourceEntry::RegisterRTTIClass();
    TemplateTypeRegistry::GetInstance().RegisterType(302, 0, "ResourceEntry");
    EXPECT_EQ(m_manager.GetResource(RESOURCE_TYPE_TEMPLATE, "templates/Entry", 302, true, 0), nullptr);
    resource->Release();
    // A template class without a loader of its own fails its load.
    ResourceTemplate::RegisterRTTIClass();
    TemplateTypeRegistry::GetInstance().RegisterType(301, 0, "ResourceTemplate");
    Resource* plain = m_manager.GetResource(RESOURCE_TYPE_TEMPLATE, "templates/Plain", 301, true, 0);
    ResourceManager::LoadResource(plain);
    EXPECT_TRUE(plain->HasLoadFailed() && m_log.Contains("No loader for template templates/Plain yet", CONSOLE_ERROR));
    plain->Release();
}

TEST_F(ResourceManagerTest, FailedLoadEndsDoneWithTheFailedFlagAndOneError)
{
    Resource* texture = m_manager.GetResource(RESOURCE_TYPE_TEXTURE, "tex/missing", 0, true, 0);
    texture->Load(true);
    EXPECT_EQ(texture->GetState(), uint32_t(RESOURCE_STATE_DONE));
    EXPECT_TRUE(texture->HasLoadFailed());
    EXPECT_FALSE(texture->IsLoaded());
    EXPECT_EQ(Count("Resource loading failed (tex/missing)"), 1u);
    EXPECT_EQ(texture->GetReferenceCount(), 1); // the queue's reference is gone again

    // Done: neither a queued nor a blocking load runs again.
    texture->RequestLoad();
    texture->Load(true);
    texture->Load(false);
    m_manager.Flush();
    EXPECT_EQ(Count("Loading texture resource: tex/missing"), 1u);
    EXPECT_EQ(texture->GetReferenceCount(), 1);

    Resource* good = Template("templates/Good");
    good->Load(true);
    EXPECT_TRUE(good->IsLoaded());
    EXPECT_TRUE(m_log.Contains("Resource loaded successfully (templates/Good) in "));
    texture->Release();
    good->Release();
}

TEST_F(ResourceManagerTest, QueueingTwiceAddsOneReferenceAndPostsOnce)
{
    Resource* blocker = Template("gate/blocker");
    Resource* resource = Template("templates/Queued");
    blocker->RequestLoad();
    WaitFor(ResourceTestTemplate::s_gateWaiters, 1);
    resource->RequestLoad();
    resource->RequestLoad();
    EXPECT_EQ(resource->GetReferenceCount(), 2);
    EXPECT_EQ(resource->GetState(), uint32_t(RESOURCE_STATE_LOADING));
    ResourceTestTemplate::s_gate.Set();
    resource->WaitUntilLoaded(false);
    m_manager.Flush();
    EXPECT_EQ(AsTest(resource).m_loads.load(), 1);
    EXPECT_EQ(resource->GetReferenceCount(), 1);
    blocker->Release();
    resource->Release();
}

TEST_F(ResourceManagerTest, BlockingLoadOfAQueuedResourceLoadsItOnceAndTheQueueSkipsIt)
{
    Resource* blocker = Template("gate/blocker");
    Resource* resource = Template("templates/Wanted");
    blocker->RequestLoad();
    WaitFor(ResourceTestTemplate::s_gateWaiters, 1);
    resource->RequestLoad(); // waits behind the blocker
    resource->Load(false);   // takes the load over on this thread
    EXPECT_TRUE(resource->IsLoaded());
    ResourceTestTemplate::s_gate.Set();
    m_manager.Flush();
    EXPECT_EQ(AsTest(resource).m_loads.load(), 1);
    EXPECT_TRUE(m_log.Contains("Resource load request skipped. The resource have already been loaded in between "
                               "(templates/Wanted)"));
    EXPECT_EQ(resource->GetReferenceCount(), 1);
    blocker->Release();
    resource->Release();
}

TEST_F(ResourceManagerTest, BlockingLoadWaitsForALoadInProgress)
{
    Resource* resource = Template("gate/slow");
    resource->RequestLoad();
    WaitFor(ResourceTestTemplate::s_gateWaiters, 1);
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        resource->Load(false);
        returned = true;
    });
    os::Sleep(50);
    EXPECT_FALSE(returned.load());
    ResourceTestTemplate::s_gate.Set();
    waiter.join();
    EXPECT_TRUE(resource->IsLoaded());
    EXPECT_EQ(AsTest(resource).m_loads.load(), 1);
    resource->Release();
}

TEST_F(ResourceManagerTest, EvictionCascadesAndFilters)
{
    Resource* holder = Template("holder/Tower");
    holder->Load(true);
    ASSERT_TRUE(holder->IsLoaded());
    Resource* sceneTexture = m_manager.GetResource(RESOURCE_TYPE_TEXTURE, "tex/scene", 0, true, RESOURCE_FLAG_SCENE_TEXTURE);
    Resource* kept = m_manager.GetResource(RESOURCE_TYPE_TEXTURE, "tex/kept", 0, true, 0);
    holder->Release();
    sceneTexture->Release();

    // Released resources stay until an eviction; the filter picks flagged textures only.
    m_manager.PostCommand(RESOURCE_POOL_TEXTURES, RESOURCE_FLAG_SCENE_TEXTURE, RESOURCE_FLAG_SCENE_TEXTURE);
    m_manager.Flush();
    EXPECT_TRUE(m_log.Contains("Removing unused resource: tex/scene"));
    EXPECT_TRUE(m_log.Contains("Evicted 1 resources"));

    // The template's texture loses its last reference when the template dies: same command. A
    // filter value outside its empty mask filters nothing.
    m_log.Clear();
    m_manager.PostCommand(RESOURCE_POOL_ALL, 0, RESOURCE_FLAG_SCENE_TEXTURE);
    m_manager.Flush();
    EXPECT_TRUE(m_log.Contains("Removing unused resource: holder/Tower"));
    EXPECT_TRUE(m_log.Contains("Removing unused resource: tex/Tower"));
    EXPECT_TRUE(m_log.Contains("Evicted 2 resources"));
    EXPECT_EQ(m_manager.GetResource(RESOURCE_TYPE_TEXTURE, "tex/kept", 0, false, 0), kept);
    kept->Release();
    kept->Release();
}

TEST_F(ResourceManagerTest, BatchLoadSkipsLoadedTemplatesAndKeepsTheStreamInStep)
{
    // Records: {u32 byte count, payload}; the second record is longer than its loader reads, the
    // last shorter.
    std::string bytes;
    auto put = [&bytes](uint32_t value) { bytes.append(reinterpret_cast<const char*>(&value), 4); };
    put(4), put(111);
    put(8), put(222), put(0xDEAD);
    put(4), put(333);
    put(4), put(444);
    put(0), put(555);
    put(12), put(666); // claims more than the stream holds: the stream is given up
    m_folder.WriteFile("Optimized.bin", bytes);
    FileReader stream((m_folder / "Optimized.bin").c_str(), nullptr, nullptr, 0);
    ASSERT_TRUE(stream.IsOpen());
    m_manager.SetOptimizedTemplateStream(&stream);

    Resource* first = Template("stream/first");
    Resource* loaded = Template("stream/loaded");
    Resource* third = Template("stream/third");
    loaded->Load(false); // reads nothing useful: no stream position is used yet
    const int loadsBefore = AsTest(loaded).m_loads.load();
    // That read took the first record's count word; start the stream again for the batch.
    ASSERT_TRUE(stream.Open((m_folder / "Optimized.bin").c_str(), nullptr, nullptr, 0));

    Resource* last = Template("stream/last");
    Resource* overrun = Template("stream/overrun");
    Resource* after = Template("stream/after");
    Resource* batch[] = {first, loaded, nullptr, third, last, overrun, after};
    m_manager.QueueLoadBatch(batch, 7);
    m_manager.Flush();
    m_manager.SetOptimizedTemplateStream(nullptr);

    EXPECT_EQ(AsTest(first).m_streamValue, 111u);
    EXPECT_EQ(AsTest(loaded).m_loads.load(), loadsBefore);
    EXPECT_EQ(AsTest(third).m_streamValue, 444u);
    EXPECT_TRUE(third->IsLoaded());
    EXPECT_TRUE(m_log.Contains("Template record of stream/last read past its end", CONSOLE_ERROR));
    EXPECT_EQ(Count("read past its end"), 1u) << "records read to their end are not";
    EXPECT_EQ(AsTest(overrun).m_streamValue, 666u);
    EXPECT_EQ(Count("Cannot read the optimized templates stream"), 0u) << "a stream given up is not read again";
    EXPECT_EQ(first->GetReferenceCount(), 1);
    EXPECT_EQ(loaded->GetReferenceCount(), 1);
    Resource* all[] = {first, loaded, third, last, overrun, after};
    Resource::ReleaseArray(all, 6);

    // Without a stream each batch record fails once and still loads; 2047 entries take two records.
    // An entry listed again is queued once: the later places travel as null.
    std::vector<Resource*> many(2047, nullptr);
    many[0] = many[1] = many.back() = Template("plain/last");
    many[1023] = Template("plain/edge"); // the last entry of the first record
    m_manager.QueueLoadBatch(many.data(), uint32_t(many.size()));
    m_manager.Flush();
    EXPECT_TRUE(many.back()->IsLoaded() && many[1023]->IsLoaded());
    EXPECT_EQ(Count("load request skipped"), 0u);
    EXPECT_EQ(Count("Cannot read the optimized templates stream"), 2u);
    many[1023]->Release();
    many.back()->Release();
}

TEST_F(ResourceManagerTest, PreloadsAResourceListInKindOrder)
{
    ResourceList list;
    auto add = [](DynarraySafe<ResourceEntry>& entries, const char* name) {
        ResourceEntry entry;
        entry.m_name = name;
        entry.m_flags = 1;
        entries.Add(entry);
    };
    add(list.m_textures, "tex/a");
    add(list.m_textures, "tex/b");
    add(list.m_shaders, "shader/s");
    add(list.m_sounds, "sound/x");
    add(list.m_animations, "anim/y");
    add(list.m_fonts, "font/never");
    Dynarray<uint8_t> record;
    ASSERT_TRUE(BuildObjectRecord(list, 0, record));
    m_folder.WriteFile("level1.ResList", std::string(record.begin(), record.end()));

    os::EnableManualCounter(7 * os::kCounterFrequency); // the time is measured from the pass's start
    m_manager.PostPreloadResourceList("level1", "ResList", "scenes");
    m_manager.Flush();
    os::DisableManualCounter();

    std::vector<std::string> loads;
    for (const CapturedMessage& message : m_log.Messages())
        if (message.text.rfind("Loading ", 0) == 0)
            loads.push_back(message.text);
    const std::vector<std::string> expected = {
        "Loading shader resource: shader/s", "Loading texture resource: tex/a", "Loading texture resource: tex/b",
        "Loading animation resource: anim/y", "Loading sound resource: sound/x"};
    EXPECT_EQ(loads, expected);
    EXPECT_TRUE(m_log.Contains("PreloadResources begin"));
    EXPECT_TRUE(m_log.Contains("PreloadResources end. Time: 0.000000"));

    // Every reference taken while preloading, the prefetch slot's included, is gone again.
    Resource* b = m_manager.GetResource(RESOURCE_TYPE_TEXTURE, "tex/b", 0, false, 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetReferenceCount(), 1);
    EXPECT_EQ(b->GetFlags(), 1u);
    EXPECT_EQ(b->GetState(), uint32_t(RESOURCE_STATE_DONE));
    EXPECT_EQ(m_manager.GetResource(RESOURCE_TYPE_FONT, "font/never", 0, false, 0), nullptr);
    b->Release();
}

TEST_F(ResourceManagerTest, PrefetchStartsOnlyForUnloadedResources)
{
    Resource* next = Template("templates/Next");
    m_manager.SetPrefetchResource(next);
    EXPECT_EQ(next->GetReferenceCount(), 2);
    m_manager.StartPendingPrefetch();
    EXPECT_EQ(ResourceTestTemplate::s_prefetches.load(), 1);
    EXPECT_EQ(next->GetReferenceCount(), 1);

    next->Load(false);
    m_manager.SetPrefetchResource(next);
    m_manager.StartPendingPrefetch();
    EXPECT_EQ(ResourceTestTemplate::s_prefetches.load(), 1);

    // A missing list only logs, and still empties the slot.
    m_manager.SetPrefetchResource(next);
    m_manager.PostPreloadResourceList("nowhere", "ResList", "scenes");
    m_manager.Flush();
    EXPECT_TRUE(m_log.Contains("Cannot preload resource list from scenes/nowhere.ResList", CONSOLE_ERROR));
    EXPECT_EQ(next->GetReferenceCount(), 1);
    // So does a list whose record cannot be read.
    m_folder.WriteFile("broken.ResList", "not a record");
    m_manager.SetPrefetchResource(next);
    m_manager.PostPreloadResourceList("broken", "ResList", "scenes");
    m_manager.Flush();
    EXPECT_TRUE(m_log.Contains("Cannot preload resource list from scenes/broken.ResList", CONSOLE_ERROR));
    EXPECT_EQ(next->GetReferenceCount(), 1);
    next->Release();

    // Textures and animations prefetch by asking the file system to open their file ahead.
    const std::tuple<uint32_t, const char*, const char*> kinds[] = {
        {RESOURCE_TYPE_TEXTURE, "tex/ahead.tga", "Cannot preheat input stream: textures/tex/ahead.texture."},
        {RESOURCE_TYPE_ANIMATION, "anim/ahead", "Cannot preheat input stream: Animations/anim/ahead.bin."},
    };
    for (const auto& [type, name, message] : kinds)
    {
        Resource* ahead = m_manager.GetResource(type, name, 0, true, 0);
        ASSERT_NE(ahead, nullptr) << name;
        m_manager.SetPrefetchResource(ahead);
        m_manager.StartPendingPrefetch();
        gFileSystem.OpenPreheatedStream();
        EXPECT_TRUE(m_log.Contains(message, CONSOLE_WARNING)) << message;
        ahead->Release();
    }
}

TEST_F(ResourceManagerTest, ReadsFilesAndRunsMaintenancePasses)
{
    m_folder.WriteFile("level1.BinaryScene", "scene bytes");
    m_folder.WriteFile("level3.BinaryScene", "");
    uint8_t* data = nullptr;
    uint8_t* missing = nullptr;
    uint8_t* empty = nullptr;
    m_manager.PostReadFile(&data, "level1", "BinaryScene", "scenes");
    m_manager.PostReadFile(&missing, "level2", "BinaryScene", "scenes");
    m_manager.PostReadFile(&empty, "level3", "BinaryScene", "scenes");
    m_manager.Flush();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 11), "scene bytes");
    EXPECT_EQ(missing, nullptr);
    EXPECT_NE(empty, nullptr) << "an empty file is there, unlike a missing one";
    delete[] data;
    delete[] empty;
    // A record whose path fills the path buffer, or disagrees with the record's size, is refused.
    for (const uint32_t length : {260u, 3u})
    {
        std::string record(4 + 261, 'a');
        std::memcpy(record.data(), &length, sizeof(length));
        m_log.Clear();
        m_manager.BaseThread::PostCommand(RESOURCE_COMMAND_PRELOAD_LIST, record.data(), uint32_t(record.size()));
        m_manager.Flush();
        EXPECT_TRUE(m_log.Contains("Malformed path in a resource manager command", CONSOLE_ERROR)) << length;
    }
    // 16 is a gap in the numbering, so it names no command.
    m_manager.BaseThread::PostCommand(16, nullptr, 0);
    m_manager.Flush();
    EXPECT_TRUE(m_log.Contains("Unknown resource manager command 16", CONSOLE_ERROR));

    Resource* done = Template("templates/Done");
    done->Load(false);
    m_manager.PostReloadResources(RESOURCE_POOL_TEMPLATES, true);
    Resource* fresh = Template("templates/Fresh");
    m_manager.PostDumpResources(RESOURCE_POOL_TEXTURES, true);
    EXPECT_FALSE(m_log.Contains("templates/Done, state")) << "a dump lists only the pools it names";
    m_manager.PostDumpResources(RESOURCE_POOL_TEMPLATES, true);
    EXPECT_TRUE(m_log.Contains("00000000 templates/Done, state: 2"));
    EXPECT_TRUE(m_log.Contains("00000000 templates/Fresh, state: 0"));
    EXPECT_TRUE(m_log.Contains("Total resNum:2 resSize:0"));
    m_manager.PostReloadResources(RESOURCE_POOL_TEMPLATES, true);
    EXPECT_EQ(Count("Reloaded 1 resources"), 2u) << "the loaded one, alone and beside one never loaded";

    m_manager.SetResourceFlags(done, RESOURCE_FLAG_KEEP_DATA);
    m_manager.PostUnloadResourceData(RESOURCE_POOL_ALL, true);
    m_manager.Flush();
    EXPECT_FALSE(m_log.Contains("Unloading data for resource templates/Done"));
    m_manager.PostUnloadResourceData(RESOURCE_POOL_ALL, false);
    m_manager.Flush();
    EXPECT_TRUE(m_log.Contains("Unloading data for resource templates/Done"));
    EXPECT_EQ(AsTest(done).m_unloads.load(), 1);
    EXPECT_FALSE(m_log.Contains("Unloading data for resource templates/Fresh"));

    m_manager.MarkResources(RESOURCE_POOL_TEMPLATES, RESOURCE_FLAG_STARTUP);
    EXPECT_EQ(fresh->GetFlags(), uint32_t(RESOURCE_FLAG_STARTUP));
    done->Release();
    fresh->Release();
}

TEST_F(ResourceManagerTest, CloseEvictsEverythingAndStopsTheThread)
{
    Resource* shader = m_manager.GetResource(RESOURCE_TYPE_SHADER, "shader/s", 0, true, 0);
    Resource* texture = m_manager.GetResource(RESOURCE_TYPE_TEXTURE, "tex/t", 0, true, 0);
    m_manager.SetPrefetchResource(texture); // still pending at the close
    shader->Release();
    texture->Release();
    Template("templates/Held"); // never released: its pool deletes it at close
    m_manager.Close();
    EXPECT_TRUE(m_log.Contains("Removing unused resource: templates/Held"));
    EXPECT_FALSE(m_manager.IsInitialised());
    EXPECT_TRUE(m_log.Contains("Removing unused resource: shader/s"));
    EXPECT_TRUE(m_log.Contains("Removing unused resource: tex/t"));
    EXPECT_TRUE(m_log.Contains("ResourceManager closed"));
    EXPECT_EQ(m_manager.GetResource(RESOURCE_TYPE_TEXTURE, "tex/t", 0, true, 0), nullptr);
    // The newest manager is the global one; an older one that goes leaves it in place. One that goes
    // without a close still frees its pools and stops being the streaming readers' filling thread.
    auto older = std::make_unique<ResourceManager>();
    ResourceManager newer;
    ASSERT_TRUE(older->Init());
    older.reset();
    EXPECT_EQ(gResourceManager, &newer);
    EXPECT_EQ(StreamingFileReader::GetFillingThread(), nullptr);
}

TEST_F(ResourceManagerTest, ManyThreadsFindLoadReleaseAndEvict)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([this, t] {
            for (int i = 0; i < kRounds; ++i)
            {
                const std::string name = "templates/T" + std::to_string((i + t) % 16);
                Resource* resource = Template(name.c_str());
                if (i % 3 == 0)
                    resource->Load(false);
                else
                    resource->Load(true);
                EXPECT_EQ(resource->GetState(), uint32_t(RESOURCE_STATE_DONE));
                resource->Release();
                if (i % 50 == 0)
                    m_manager.PostCommand(RESOURCE_POOL_ALL, 0, 0);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    m_manager.Flush();
    // No resource was loaded twice: each load line has its own creation.
    EXPECT_EQ(Count("Loading template resource: "), Count("Resource loaded successfully ("));
}
} // namespace

TEST_F(ResourceManagerTest, StreamingReadersAreFilledByTheResourceThreadUntilClose)
{
    std::string content;
    for (int i = 0; i < 20000; ++i)
        content += char('a' + i % 26);
    std::ofstream(m_folder.Path() + "/music.ogg", std::ios::binary) << content;
    EXPECT_EQ(StreamingFileReader::GetFillingThread(), &m_manager);

    // A ring much smaller than the file only completes if the thread keeps pumping after commands.
    auto* reader = new StreamingFileReader(1024, "scenes/music", "ogg", nullptr, false);
    reader->WaitUntilOpen();
    ASSERT_TRUE(reader->IsOpen());
    std::string read;
    char buffer[300];
    for (int spins = 0; read.size() < content.size() && spins < 20000; ++spins)
    {
        const uint32_t got = reader->Read(buffer, sizeof(buffer));
        read.append(buffer, got);
        if (got == 0)
        {
            m_manager.PostCommand(0, 0, 0);
            os::Sleep(1);
        }
    }
    EXPECT_EQ(read, content);
    reader->PostDestroy();
    m_manager.Flush();

    m_manager.Close();
    EXPECT_EQ(StreamingFileReader::GetFillingThread(), nullptr);
}
