// "datakit video": writes an Ogg Theora test video whose frames carry their number as luminance,
// with or without a Vorbis tone.
#include "tools/datakit/DatakitCommand.h"
#include "tools/datakit/NumberArgument.h"
#include "tools/datakit/VideoWriter.h"

#include <cstdio>

namespace
{
// The player takes no frame wider or higher; Theora keeps the picture offset in a byte, and even.
constexpr uint32_t kVideoMaxSide = 8192;
constexpr uint32_t kVideoMaxOffset = 254;
constexpr int64_t kVideoMaxFps = 1000;
constexpr int64_t kVideoMaxFrames = 100000;
// The rates the Vorbis encoder has settings for.
constexpr int64_t kVideoMinRate = 8000;
constexpr int64_t kVideoMaxRate = 192000;
// Vorbis channel layouts (and the mixer) go up to 8 channels.
constexpr int64_t kVideoMaxChannels = 8;
// The tone is made whole in memory before it is encoded.
constexpr double kVideoMaxSoundSeconds = 600.0;

bool IsEvenOffset(const VideoSpec& spec, const std::string& text)
{
    if (((spec.pictureX | spec.pictureY) & 1) == 0)
        return true;
    std::fprintf(stderr, "datakit: --offset takes even numbers, not '%s'\n", text.c_str());
    return false;
}
} // namespace

int RunVideoCommand(const std::vector<std::string>& arguments)
{
    std::string out;
    VideoSpec spec;
    for (size_t i = 0; i < arguments.size(); ++i)
    {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        bool ok = true;    // an argument of this command
        bool valid = true; // with a value it takes (the parser said why not)
        uint32_t quality = 0;
        if (argument == "--size" && hasValue)
            valid = ParseNumberPairArgument(argument, arguments[++i], 1, kVideoMaxSide, spec.width, spec.height);
        else if (argument == "--offset" && hasValue)
            valid = ParseNumberPairArgument(argument, arguments[++i], 0, kVideoMaxOffset, spec.pictureX, spec.pictureY) &&
                    IsEvenOffset(spec, arguments[i]);
        else if (argument == "--fps" && hasValue)
            valid = ParseNumberArgument(argument, arguments[++i], 1, kVideoMaxFps, spec.fpsNumerator);
        else if (argument == "--frames" && hasValue)
            valid = ParseNumberArgument(argument, arguments[++i], 1, kVideoMaxFrames, spec.frames);
        else if (argument == "--quality" && hasValue)
        {
            valid = ParseNumberArgument(argument, arguments[++i], 0, 63, quality);
            spec.quality = int(quality);
        }
        else if (argument == "--rate" && hasValue)
            valid = ParseNumberArgument(argument, arguments[++i], kVideoMinRate, kVideoMaxRate, spec.soundRate);
        else if (argument == "--channels" && hasValue)
            valid = ParseNumberArgument(argument, arguments[++i], 1, kVideoMaxChannels, spec.soundChannels);
        else if (argument == "--chroma" && hasValue)
        {
            const std::string& format = arguments[++i];
            ok = format == "420" || format == "422" || format == "444";
            spec.chroma = format == "444" ? VideoChroma::Full444
                                          : format == "422" ? VideoChroma::Half422 : VideoChroma::Half420;
        }
        else if (argument == "--sound-seconds" && hasValue)
            valid = ParseDecimalArgument(argument, arguments[++i], 0.0, kVideoMaxSoundSeconds, spec.soundSeconds);
        else if (argument == "--sound")
            spec.sound = true;
        else if (argument == "--detail")
            spec.detail = true;
        else if (out.empty() && argument.rfind("--", 0) != 0)
            out = argument;
        else
            ok = false;
        if (!valid)
            return 2;
        if (!ok)
        {
            std::fprintf(stderr, "datakit: unexpected argument %s\n", argument.c_str());
            return 2;
        }
    }
    if (out.empty())
    {
        std::fprintf(stderr, "datakit: video needs <out.ogv>\n");
        return 2;
    }
    return VideoWriter::WriteOggTheora(out, spec) ? 0 : 1;
}
