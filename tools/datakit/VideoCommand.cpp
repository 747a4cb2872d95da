// "datakit video": writes an Ogg Theora test video whose frames carry their number as luminance,
// with or without a Vorbis tone.
#include "tools/datakit/DatakitCommand.h"
#include "tools/datakit/VideoWriter.h"

#include <cstdio>
#include <cstdlib>

namespace
{
// "WxH" into two numbers; false when malformed.
bool ParsePair(const std::string& text, uint32_t* first, uint32_t* second)
{
    char* end = nullptr;
    *first = uint32_t(std::strtoul(text.c_str(), &end, 10));
    if (end == nullptr || *end != 'x')
        return false;
    *second = uint32_t(std::strtoul(end + 1, &end, 10));
    return end != nullptr && *end == 0;
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
        bool ok = true;
        if (argument == "--size" && hasValue)
            ok = ParsePair(arguments[++i], &spec.width, &spec.height);
        else if (argument == "--offset" && hasValue)
            ok = ParsePair(arguments[++i], &spec.pictureX, &spec.pictureY);
        else if (argument == "--fps" && hasValue)
            spec.fpsNumerator = uint32_t(std::strtoul(arguments[++i].c_str(), nullptr, 10));
        else if (argument == "--frames" && hasValue)
            spec.frames = uint32_t(std::strtoul(arguments[++i].c_str(), nullptr, 10));
        else if (argument == "--quality" && hasValue)
            spec.quality = int(std::strtol(arguments[++i].c_str(), nullptr, 10));
        else if (argument == "--rate" && hasValue)
            spec.soundRate = uint32_t(std::strtoul(arguments[++i].c_str(), nullptr, 10));
        else if (argument == "--channels" && hasValue)
            spec.soundChannels = uint32_t(std::strtoul(arguments[++i].c_str(), nullptr, 10));
        else if (argument == "--chroma" && hasValue)
        {
            const std::string& format = arguments[++i];
            ok = format == "420" || format == "422" || format == "444";
            spec.chroma = format == "444" ? VideoChroma::Full444
                                          : format == "422" ? VideoChroma::Half422 : VideoChroma::Half420;
        }
        else if (argument == "--sound-seconds" && hasValue)
            spec.soundSeconds = std::strtod(arguments[++i].c_str(), nullptr);
        else if (argument == "--sound")
            spec.sound = true;
        else if (argument == "--detail")
            spec.detail = true;
        else if (out.empty() && argument.rfind("--", 0) != 0)
            out = argument;
        else
            ok = false;
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
