#include "renderer/resources/ResourceSound.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/strings/StringUtils.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/SoundMemoryPool.h"

#include <cstring>
#include <string>

namespace
{
constexpr const char* kSoundFolder = "sounds";

constexpr uint32_t FourCC(const char (&text)[5])
{
    return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 | uint32_t(uint8_t(text[2])) << 16 |
           uint32_t(uint8_t(text[3])) << 24;
}

uint32_t LoadU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t LoadU16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

// The extension after the name's last '.', or null.
const char* ExtensionOf(const char* name)
{
    const char* dot = name != nullptr ? std::strrchr(name, '.') : nullptr;
    return dot != nullptr ? dot + 1 : nullptr;
}

bool EqualsNoCase(const char* a, const char* b)
{
    for (; *a != 0 && *b != 0; ++a, ++b)
    {
        const char ca = *a >= 'A' && *a <= 'Z' ? char(*a + 32) : *a;
        const char cb = *b >= 'A' && *b <= 'Z' ? char(*b + 32) : *b;
        if (ca != cb)
            return false;
    }
    return *a == *b;
}
} // namespace

uint32_t RiffChunkIterator::Next(bool skip)
{
    if (skip)
    {
        if (m_chunkSize > m_size - m_position)
            return 0;
        m_position += m_chunkSize;
    }
    if (m_size - m_position < 8)
        return 0;
    m_chunkId = LoadU32(m_base + m_position);
    m_chunkSize = LoadU32(m_base + m_position + 4);
    m_position += 8;
    // A body that runs past the image is refused here, so nobody reads beyond it.
    if (m_chunkSize > m_size - m_position)
    {
        m_chunkSize = 0;
        return 0;
    }
    return m_chunkId;
}

ResourceSound::~ResourceSound()
{
    FreeSampleMemory();
}

void ResourceSound::FreeSampleMemory()
{
    if (m_chunk != nullptr)
    {
        m_chunk->m_owner = nullptr;
        gSoundMemoryPool.Free(m_chunk);
        m_chunk = nullptr;
    }
    m_kind = SOUND_KIND_NONE;
    m_sampleData = nullptr;
    m_sampleSize = 0;
    m_seekTable = nullptr;
    m_seekTableSize = 0;
}

void ResourceSound::Prefetch()
{
    const char* name = GetName();
    const char* extension = ExtensionOf(name);
    if (extension == nullptr)
        return;
    if (EqualsNoCase(extension, "ogg"))
    {
        // The same file DoLoad opens: the name with its own ".ogg".
        const std::string stem(name, size_t(extension - 1 - name));
        gFileSystem.PreheatInputStream(stem.c_str(), "ogg", kSoundFolder, 0);
    }
    else
        gFileSystem.PreheatInputStream(name, "adpcm", kSoundFolder, 0);
}

bool ResourceSound::DoLoad()
{
    const char* name = GetName();
    const char* extension = ExtensionOf(name);
    if (extension == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Sound file without extension: %s", GetDisplayName());
        return false;
    }
    FileReader file;
    if (EqualsNoCase(extension, "ogg"))
    {
        if (!file.Open(name, nullptr, kSoundFolder, 0))
            return false;
        if (gResourceManager != nullptr)
            gResourceManager->StartPendingPrefetch();
        return LoadOgg(file);
    }
    if (EqualsNoCase(extension, "wav"))
    {
        if (!file.Open(name, "adpcm", kSoundFolder, 0))
        {
            if (!file.Open(name, nullptr, kSoundFolder, 0))
                return false;
            if (gResourceManager != nullptr)
                gResourceManager->StartPendingPrefetch();
            gConsole.Warning(CONSOLE_CHANNEL_SOUND, "Playing WAV sound file. This is a real waste of precious RAM! Please "
                                            "convert into ADPCM with WavToADPCM.bat utility");
            return ParseWave(file);
        }
        if (gResourceManager != nullptr)
            gResourceManager->StartPendingPrefetch();
        return ParseWave(file);
    }
    gConsole.Error(CONSOLE_CHANNEL_SOUND, "Unsupported sound file type: %s", GetDisplayName());
    return false;
}

bool ResourceSound::ReadIntoChunk(FileReader& file)
{
    FreeSampleMemory();
    const uint32_t size = file.GetSize();
    if (size == 0)
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Empty sound file: %s", GetDisplayName());
        return false;
    }
    SystemMemoryChunk* chunk = gSoundMemoryPool.Allocate(size, -1);
    if (chunk == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND,
                       "Out of sound memory. Please doublecheck that you're using ADPCM compression instead of raw "
                       "WAV files. If it doesn't help you may try to bribe the nearest programmer to increase the "
                       "size of sound memory pool.");
        return false;
    }
    m_chunk = static_cast<SoundMemoryChunk*>(chunk);
    m_chunk->m_owner = this;
    if (!file.Read(gSoundMemoryPool.GetChunkAddress(m_chunk), size))
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Cannot read sound file: %s", GetDisplayName());
        gSoundMemoryPool.ClearLoading(m_chunk);
        FreeSampleMemory();
        return false;
    }
    SetSize(size);
    return true;
}

bool ResourceSound::LoadOgg(FileReader& file)
{
    if (!ReadIntoChunk(file))
        return false;
    m_sampleData = static_cast<const uint8_t*>(gSoundMemoryPool.GetChunkAddress(m_chunk));
    m_sampleSize = file.GetSize();
    m_kind = SOUND_KIND_OGG;
    gSoundMemoryPool.ClearLoading(m_chunk);
    return true;
}

bool ResourceSound::ParseWave(FileReader& file)
{
    if (!ReadIntoChunk(file))
        return false;
    const uint8_t* image = static_cast<const uint8_t*>(gSoundMemoryPool.GetChunkAddress(m_chunk));
    RiffSoundImage parsedImage;
    const bool parsed = ParseRiffImage(image, file.GetSize(), GetDisplayName(), parsedImage);
    gSoundMemoryPool.ClearLoading(m_chunk);
    if (parsed)
    {
        m_kind = parsedImage.kind;
        m_format = parsedImage.format;
        m_sampleData = parsedImage.sampleData;
        m_sampleSize = parsedImage.sampleSize;
        m_seekTable = parsedImage.seekTable;
        m_seekTableSize = parsedImage.seekTableSize;
    }
    else
    {
        // Nothing of a failed file stays in sound memory.
        FreeSampleMemory();
        SetSize(0);
    }
    return parsed;
}

bool ResourceSound::ParseRiffImage(const uint8_t* image, uint32_t size, const char* name, RiffSoundImage& out)
{
    if (size < 12 || LoadU32(image) != FourCC("RIFF"))
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Not a RIFF sound file: %s", name);
        return false;
    }
    const uint32_t form = LoadU32(image + 8);
    if (form != FourCC("WAVE") && form != FourCC("XWMA"))
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Unknown RIFF form in sound file: %s", name);
        return false;
    }
    RiffChunkIterator chunks(image, size, 12);
    if (chunks.Next(false) != FourCC("fmt ") || chunks.GetChunkSize() < 16)
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Sound file without a valid fmt chunk: %s", name);
        return false;
    }
    const uint8_t* fmt = chunks.GetChunkData();
    audio::WaveFormat format;
    format.formatTag = LoadU16(fmt);
    format.channels = LoadU16(fmt + 2);
    format.samplesPerSec = LoadU32(fmt + 4);
    format.avgBytesPerSec = LoadU32(fmt + 8);
    format.blockAlign = LoadU16(fmt + 12);
    format.bitsPerSample = LoadU16(fmt + 14);
    format.extraSize = 0;

    uint32_t id = chunks.Next(true);
    if (form == FourCC("XWMA"))
    {
        const uint8_t* seekTable = nullptr;
        uint32_t seekTableSize = 0;
        if (id == FourCC("dpds"))
        {
            seekTable = chunks.GetChunkData();
            seekTableSize = chunks.GetChunkSize();
            id = chunks.Next(true);
        }
        if (id != FourCC("data"))
        {
            gConsole.Error(CONSOLE_CHANNEL_SOUND, "Sound file without a valid data chunk: %s", name);
            return false;
        }
        out.format = format;
        out.seekTable = seekTable;
        out.seekTableSize = seekTableSize;
        out.sampleData = chunks.GetChunkData();
        out.sampleSize = chunks.GetChunkSize();
        out.kind = SOUND_KIND_XWMA;
        return true;
    }
    if (id != FourCC("data"))
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Sound file without a valid data chunk right after fmt: %s", name);
        return false;
    }
    if (format.formatTag != audio::kFormatPcm && format.formatTag != audio::kFormatAdpcm)
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Unsupported wave format: %d", int(format.formatTag));
        return false;
    }
    out.format = format;
    out.sampleData = chunks.GetChunkData();
    out.sampleSize = chunks.GetChunkSize();
    out.kind = format.formatTag == audio::kFormatPcm ? SOUND_KIND_PCM : SOUND_KIND_ADPCM;
    return true;
}
