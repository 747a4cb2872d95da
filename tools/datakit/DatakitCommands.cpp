#include "tools/datakit/DatakitCommand.h"

#include "core/console/GameConsole.h"

#include <cstdio>
#include <cstring>

const std::vector<DatakitCommand>& GetDatakitCommands()
{
    static const std::vector<DatakitCommand> commands = {
        {"pack", "pack <folder> <out.dat> [--method stored|gzip|lzx] [--lzx-blocks verbatim|aligned|uncompressed|mixed] "
                 "[--platform 0-11] [--part 0-3] [--names <list.txt>]",
         &RunPackCommand},
        {"list", "list <container.dat> [--names <list.txt>]", &RunListCommand},
        {"extract", "extract <container.dat> <out folder> [--names <list.txt>]", &RunExtractCommand},
        {"record-print", "record-print <class> <record file> [--flags 0-31] [--verbose] (found from the file when left out)",
         &RunRecordPrintCommand, true},
        {"record-write", "record-write <class> <text file> <out record file> [--base <record file>] [--flags 0-31] "
                         "(--base needed for a class with parts that have no text form; flags 16 when left out, as "
                         "the game's configuration files; 0 for a record without magic and CRC)",
         &RunRecordWriteCommand},
        {"dataroot", "dataroot <out folder> [--containers] [--default-scene <name>] [--text <folder>/<path>=<text>]... "
                     "[--user-config <config.bin> (a user configuration that plays this root)]",
         &RunDataRootCommand},
        {"shaders", "shaders <data root> [--source <folder with Shaders.Def and *.hlsl>]", &RunShadersCommand},
        {"texture", "texture <out.texture> <width 1-8192> <height 1-8192> [--cube] [--levels 1-16]", &RunTextureCommand},
        {"templates", "templates <out templates folder> <list.txt: folder/name GUID type (0-4095) per line> "
                      "[--info <out TemplateInfo.Bin>]",
         &RunTemplatesCommand},
        {"binary-template", "binary-template <out.BinaryTemplate> <GUID> <type 0-4095> [--lua-class X] [--passes 0-5]",
         &RunBinaryTemplateCommand},
        {"opt", "opt <out.opt> <body file>[:variation mask 0-0xFFFFFFFF]...", &RunOptimizedTemplatesCommand},
        {"scene-write", "scene-write <out.BinaryScene> <template GUID> <entity count 0-32767> [--grid WxH (each 1-16384) | "
                        "--grid-map <map.txt>] [--sets 0-1000] [--spacing 0.01-500]",
         &RunSceneWriteCommand},
        {"scene-print", "scene-print <scene.BinaryScene> [--verbose]", &RunScenePrintCommand, true},
        {"video", "video <out.ogv> [--size WxH (each 1-8192)] [--offset XxY (each even, 0-254)] [--fps 1-1000] "
                  "[--frames 1-100000] [--quality 0-63] [--detail] [--chroma 420|422|444] [--sound] "
                  "[--sound-seconds 0-600 (0: as long as the picture)] [--rate 8000-192000] [--channels 1-8]",
         &RunVideoCommand},
        {"data-template", "data-template <out.BinaryTemplate> <GUID> <template class> [--set \"Name = value\"]... "
                          "[--transition \"from to animation\"]... [--mesh P] [--particles P] "
                          "[--system \"Name = value\"]... [--tree NAME]... "
                          "[--key \"seconds values\"]... [--loop \"name start end\"]... [--interpolation MODE] "
                          "[--definition \"Name = value\"]... [--sfx-element \"[Kind:] Name = value; ...\"]... "
                          "[--element \"name template [x y z] [words]\"]...",
         &RunDataTemplateCommand},
        {"strings", "strings <table.tsv> <out L01n.bin>", &RunStringsCommand},
        {"font", "font <out.BinFont> <pixel size 1-255> [--ttf <font file>] [--synthetic]", &RunFontCommand},
        {"ui-recipe-template", "ui-recipe-template <out.BinaryTemplate> <GUID> <tree.txt>", &RunUIRecipeTemplateCommand},
    };
    return commands;
}

namespace
{
bool IsHelp(const std::string& argument) { return argument == "--help" || argument == "-h"; }

int PrintAllUsages(std::FILE* out)
{
    std::fprintf(out, "usage:\n");
    for (const DatakitCommand& command : GetDatakitCommands())
        std::fprintf(out, "  datakit %s\n", command.usage);
    std::fprintf(out, "  datakit help [<command>] | <command> --help\n");
    return out == stdout ? 0 : 2;
}

const DatakitCommand* FindCommand(const std::string& name)
{
    for (const DatakitCommand& command : GetDatakitCommands())
        if (name == command.name)
            return &command;
    return nullptr;
}

int RunCommand(const DatakitCommand& command, const std::vector<std::string>& arguments)
{
    std::vector<std::string> rest;
    bool verbose = false;
    for (const std::string& argument : arguments)
    {
        // A help flag is a request, never a path or a value.
        if (IsHelp(argument))
        {
            std::printf("usage: datakit %s\n", command.usage);
            return 0;
        }
        if (command.listing && argument == "--verbose")
            verbose = true;
        else
            rest.push_back(argument);
    }
    const bool quiet = command.listing && !verbose;
    if (quiet)
        gConsole.SetStandardErrorEcho(false);
    const int result = command.run(rest);
    if (quiet)
        gConsole.SetStandardErrorEcho(true);
    // Not every argument check can say what was wrong; the usage line at least shows what was expected.
    if (result == 2)
        std::fprintf(stderr, "usage: datakit %s\n", command.usage);
    return result;
}
} // namespace

int RunDatakit(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return PrintAllUsages(stderr);
    const bool help = arguments[0] == "help" || IsHelp(arguments[0]);
    if (help && arguments.size() == 1)
        return PrintAllUsages(stdout);
    const std::string& name = arguments[help ? 1 : 0];
    if (const DatakitCommand* command = FindCommand(name))
        return help ? RunCommand(*command, {"--help"})
                    : RunCommand(*command, std::vector<std::string>(arguments.begin() + 1, arguments.end()));
    std::fprintf(stderr, "datakit: unknown command '%s'\n", name.c_str());
    return PrintAllUsages(stderr);
}
