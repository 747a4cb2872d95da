// The datakit command line: exit codes (2: bad arguments, shown once with the command's usage; 1: files
// not read or written; both said on stderr), help flags, and files made.
#include "support/TempFolder.h"
#include "tools/datakit/DatakitCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <numeric>

namespace
{
// A command line, its exit code and a part of what it says on stderr, when that matters.
struct CommandRow
{
    std::vector<std::string> arguments;
    int code;
    std::string said = "";
};

TEST(DatakitCommandsTest, CommandsExitWithTheCodeOfTheirOutcomeAndWriteWhatWasAsked)
{
    TempFolder f;
    for (const auto& [name, text] : std::map<std::string, std::string>{{"in/a.txt", "a"}, {"empty.txt", ""},
             {"bad.txt", "no properties\n"}, {"tree.txt", "UIScreenRecipe\nName = Menu\n"}, {"t.tsv", "Path\nA/B\n"},
             {"crlf.txt", "a.txt\r\n"}, {"dir/x", ""}, {"types.txt", "Units/Tank 00000000-0000-0000-0000-00000000000a -1\n"}})
        f.WriteFile(name, text);
    ASSERT_EQ(RunDatakit({"pack", f / "in", f / "c.dat"}), 0);
    f.WriteFile("dir.dat/x", "");
    f.WriteFile("dir.idx", f.ReadFile("c.idx")); // an index beside a folder in place of its data file
    const std::string guid = "00000000-0000-0000-0000-00000000000a";
    const std::string dir = f / "dir", gone = f / "gone"; // a folder and a missing file given as inputs
    const std::string config = f / "config.bin", body = f / "u"; // written by rows before those that read them
    const CommandRow cases[] = {
        {{}, 2}, {{"bogus"}, 2}, {{"help", "bogus"}, 2}, {{"help"}, 0}, {{"-h"}, 0}, {{"help", "opt"}, 0},
        {{"dataroot", "-h"}, 0}, {{"shaders", "--help"}, 0}, {{"record-print", "GameConfig", "x", "-h"}, 0},
        {{"scene-print", dir}, 1}, {{"scene-print", gone}, 1}, {{"strings", dir, f / "o"}, 1},
        {{"record-print", "EngineConfig", dir}, 1}, {{"record-write", "EngineConfig", dir, f / "o"}, 1},
        {{"record-write", "EngineConfig", f / "empty.txt", f / "o", "--base", dir}, 1}, {{"opt", f / "o.opt", dir}, 1},
        {{"scene-write", f / "s", guid, "1", "--grid-map", dir}, 1}, {{"ui-recipe-template", f / "u", guid, dir}, 1},
        {{"templates", f / "t", dir}, 1}, {{"list", f / "dir.dat"}, 1}, {{"dataroot", f / "r3", "--text", "common/../../esc.txt=x"}, 2},
        {{"dataroot", f / "r3", "--text", "sub\\x/../../esc.txt=x"}, 2},
        {{"dataroot", f / "r3", "--text", f / "abs.txt=x"}, 2}, {{"pack", f / "missing", f / "x.dat"}, 1},
        {{"pack", f / "in", f / "x.dat", "--method", "zip"}, 2},
        {{"pack", f / "in", f / "x.dat", "--names", f / "in"}, 1}, {{"list", f / "none.dat"}, 1},
        {{"list", f / "c.dat", "--names"}, 2}, {{"list", f / "c.dat", "x"}, 2},
        {{"list", f / "c.dat", "--names", gone}, 1}, {{"list", f / "c.dat", "--names", dir}, 1},
        {{"extract", f / "c.dat", f / "x2", "--names", dir}, 1},
        {{"extract", f / "c.dat", f / "in/a.txt"}, 1}, {{"extract", f / "c.dat", f / "x", "--names", f / "crlf.txt"}, 0},
        {{"dataroot", f / "in/a.txt/r"}, 1}, {{"dataroot", f / "in/a.txt/r", "--containers"}, 1},
        {{"dataroot", f / "r2", "--containers", "--text", "common/a.txt=x", "--text", "common/A.TXT=y"}, 1}, {{"record-print", "EngineConfig", f / "c.dat", "--flags"}, 2},
        {{"record-write", "EngineConfig", f / "bad.txt"}, 2}, {{"record-write", "EngineConfig", gone, f / "o"}, 1},
        {{"record-write", "EngineConfig", f / "bad.txt", f / "o"}, 1},
        {{"record-write", "CoreConfig", f / "empty.txt", f / "in/a.txt/o"}, 1},
        {{"record-write", "EngineConfig", f / "a", f / "o", "--base", gone}, 1},
        {{"templates", f / "t", gone}, 1}, {{"opt", f / "o.opt", gone}, 1},
        {{"scene-write", f / "s", "nonsense", "0"}, 2}, {{"dataroot", f / "r", "--bogus"}, 2}, {{"shaders"}, 2},
        {{"shaders", f / "r", f / "s"}, 2}, {{"shaders", f / "r", "--source", f / "in"}, 1}, {{"shaders", f / "r"}, 0},
        {{"texture", f / "t8", "8", "2", "--cube", "--levels", "2"}, 0}, {{"texture", f / "t", "4"}, 2},
        {{"texture", f / "t", "4", "4", "--cube", "--x"}, 2},
        {{"texture", f / "t16", "4", "2", "--levels", "16"}, 0}, {{"texture", f / "t", "4", "4", "--levels", "17"}, 2},
        {{"texture", f / "t", "0", "4"}, 2},
        {{"texture", f / "in/a.txt/t", "4", "4"}, 1}, {{"strings", f / "t.tsv", f / "o"}, 0},
        {{"strings", f / "t.tsv"}, 2}, {{"strings", gone, f / "o"}, 1}, {{"strings", f / "bad.txt", f / "o"}, 1},
        {{"strings", f / "t.tsv", f / "in/a.txt/o"}, 1}, {{"font", f / "o"}, 2},
        {{"font", f / "o", "12", "--synthetic"}, 0}, {{"font", f / "o", "12", "--ttf", f / "no"}, 1}, {{"video"}, 2},
        {{"font", f / "o", "--ttf"}, 2}, {{"font", f / "big", "255"}, 1},
        {{"video", f / "v", "--size", "64"}, 2}, {{"video", f / "v", "--size", "6x4y"}, 2},
        {{"video", f / "v", "--chroma", "411"}, 2}, {{"video", f / "v", "--size", "0x16"}, 2, "--size takes <number>x<number>, each from 1 to 8192, not '0x16'"},
        {{"video", f / "v", "--fps"}, 2}, {{"dataroot", f / "r", "--text"}, 2}, {{"video", f / "in/a.txt/v"}, 1},
        {{"video", f / "v", "--sound", "--channels", "0"}, 2, "--channels takes a whole number from 1 to 8, not '0'"},
        {{"video", f / "v.ogv", "--size", "40x24", "--offset", "4x2", "--fps", "5", "--frames", "2", "--quality", "8",
          "--chroma", "444", "--detail", "--sound", "--rate", "8000", "--channels", "2", "--sound-seconds", "0.5"}, 0},
        {{"ui-recipe-template", f / "u", "nonsense", f / "tree.txt"}, 2},
        {{"ui-recipe-template", f / "u", guid, "a", "b"}, 2}, {{"ui-recipe-template", f / "u", guid, gone}, 1},
        {{"ui-recipe-template", f / "u", guid, f / "bad.txt"}, 1},
        {{"ui-recipe-template", f / "u", guid, f / "tree.txt"}, 0},
        {{"ui-recipe-template", "/dev/full", guid, f / "tree.txt"}, 1},
        {{"ui-recipe-template", f / "in/a.txt/u", guid, f / "tree.txt"}, 1},
        // Numbers are read signed and held to their option's range, which the message names.
        {{"scene-write", f / "s", guid, "3", "--sets", "-1"}, 2, "--sets takes a whole number from 0 to 1000, not '-1'"},
        {{"scene-write", f / "s", guid, "100000000"}, 2, "<entity count> takes a whole number from 0 to 32767"},
        {{"scene-write", f / "s", guid, "1", "--spacing", "nan"}, 2, "--spacing takes a number from 0.01 to 500"},
        {{"scene-write", f / "s", guid, "1", "--grid", "-1x4"}, 2, "--grid takes <number>x<number>, each from 1 to 16384"},
        {{"scene-write", f / "s", guid, "2", "--sets", "3", "--spacing", "0.5", "--grid", "16384x1"}, 0},
        {{"video", f / "v", "--sound", "--sound-seconds", "100000"}, 2, "--sound-seconds takes a number from 0 to 600"},
        {{"video", f / "v", "--fps", "-1"}, 2, "--fps takes a whole number from 1 to 1000, not '-1'"},
        {{"video", f / "v", "--frames", "0"}, 2, "--frames takes a whole number from 1 to 100000"},
        {{"video", f / "v", "--quality", "64"}, 2, "--quality takes a whole number from 0 to 63"},
        {{"video", f / "v", "--sound", "--rate", "7999"}, 2, "--rate takes a whole number from 8000 to 192000"},
        {{"video", f / "v", "--offset", "256x0"}, 2, "--offset takes <number>x<number>, each from 0 to 254"},
        {{"video", f / "v", "--offset", "4x3"}, 2, "--offset takes even numbers"},
        {{"texture", f / "t", "-5", "7"}, 2, "<width> takes a whole number from 1 to 8192, not '-5'"},
        {{"texture", f / "t", "4", "4x"}, 2, "<height> takes a whole number from 1 to 8192, not '4x'"},
        {{"texture", f / "t", "4", "4", "--levels", "-1"}, 2, "--levels takes a whole number from 1 to 16"},
        {{"font", f / "o", "-1", "--synthetic"}, 2, "<pixel size> takes a whole number from 1 to 255, not '-1'"},
        {{"binary-template", body, guid, "-1"}, 2, "<type> takes a whole number from 0 to 4095"},
        {{"binary-template", body, guid, "7", "--passes", "6"}, 2, "--passes takes a whole number from 0 to 5"},
        {{"binary-template", body, guid, "0x7", "--passes", "5"}, 0},
        {{"opt", f / "o.opt", body + ":-1"}, 2, "the variation mask of " + body + " takes a whole number from 0 to 4294967295"},
        {{"opt", f / "o.opt", body + ":0xFFFFFFFF"}, 0},
        {{"templates", f / "t", f / "types.txt"}, 1, "the type of Units/Tank takes a whole number from 0 to 4095, not '-1'"},
        {{"pack", f / "in", f / "x.dat", "--part", "-1"}, 2, "--part takes a whole number from 0 to 3, not '-1'"},
        {{"dataroot", f / "r4", "--user-config", config}, 0},
        {{"record-print", "GameConfig", config, "--flags", "abc"}, 2, "--flags takes a whole number from 0 to 31, not 'abc'"},
        {{"record-print", "GameConfig", config, "--flags", "99"}, 2, "--flags takes a whole number from 0 to 31"},
        {{"record-print", "GameConfig", config, "--flags", "-1"}, 2, "--flags takes a whole number from 0 to 31"},
        // Read under the other form, the record would parse into nonsense; it must fill its file exactly.
        {{"record-write", "CoreConfig", f / "empty.txt", f / "core.bin"}, 0},
        {{"record-print", "CoreConfig", f / "core.bin", "--flags", "0"}, 1, "needs --flags 16"},
        // What a text says is kept from a base record is never written as defaults.
        {{"record-write", "GameConfig", f / "empty.txt", f / "c.bin"}, 2, "(Renderer config, GamePad Control, Mouse Control, "
          "Keyboard Control, DIPad Control, Key binds, Console history); pass --base <record file> to keep them"},
        {{"record-write", "GameConfig", f / "empty.txt", f / "c.bin", "--base", config}, 0},
    };
    const auto count = [](const std::string& text, const std::string& part) {
        size_t found = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++found;
        return found;
    };
    for (const auto& [arguments, code, message] : cases)
    {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(RunDatakit(arguments), code) << testing::PrintToString(arguments);
        const std::string said = testing::internal::GetCapturedStderr();
        const std::string shownOut = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(said.find("datakit") != std::string::npos || code == 0)
            << "a failure is reported: " << testing::PrintToString(arguments);
        EXPECT_NE(said.find(message), std::string::npos) << testing::PrintToString(arguments) << said;
        const bool asked = !arguments.empty() && (arguments[0] == "help" || arguments[0] == "-h");
        const std::string command = asked ? (arguments.size() > 1 ? arguments[1] : "") : arguments.empty() ? "" : arguments[0];
        if (code == 2 && !arguments.empty())
        {
            const std::string shown = command == "bogus" ? "'bogus'" : "datakit " + command + " ";
            EXPECT_EQ(count(said, shown), 1u)
                << "bad arguments show the usage once, an unknown command its name: " << testing::PrintToString(arguments);
        }
        if (code == 0 && !command.empty() && (asked || arguments.back() == "-h" || arguments.back() == "--help"))
        {
            EXPECT_EQ(count(shownOut, "usage: datakit " + command + " "), 1u) << testing::PrintToString(arguments);
        }
        for (const auto& [input, message] : {std::pair(dir, "cannot read " + dir + ": "), std::pair(gone, "cannot open " + gone + ": ")})
        {
            const bool given = std::find(arguments.begin(), arguments.end(), input) != arguments.end();
            EXPECT_TRUE(!given || said.find(message) != std::string::npos) << said;
        }
    }
    EXPECT_FALSE(std::filesystem::exists("-h") || std::filesystem::exists("--help")) << "a help flag is no folder to write";
    EXPECT_FALSE(std::filesystem::exists(f / "esc.txt")) << "a --text name never leaves the data root";
    EXPECT_FALSE(std::filesystem::exists(f / "r3") || std::filesystem::exists(f / "x2")) << "nothing is written when refused";
    EXPECT_FALSE(f.ReadFile("r/common/Shaders/Shaders.DefBin").empty());
    EXPECT_EQ(f.ReadFile("x/a.txt"), "a") << "a name list written with CR LF names its entries";
    EXPECT_EQ(f.ReadFile("c.bin"), f.ReadFile("config.bin")) << "an empty text over a base record keeps all of it";
    // The synthetic font: 191 glyphs, printable Latin-1 from the space to y-diaeresis, lines 12 + 2 high,
    // the space's cell first on the page and filled with its code.
    const std::string font = f.ReadFile("o");
    const size_t end = font.size();
    EXPECT_EQ(font.substr(end - 8 - 191 * 14, 6) + font.substr(end - 18, 2) + font.substr(end - 4) + font.substr(17, 1),
              std::string("\xBF\0\0\0 \0\xFF\0\x0E\0\0\0 ", 13));
    const std::string t8 = f.ReadFile("t8"); // smallest level first; a texel's red tells its face, green its level
    EXPECT_EQ(t8.size(), size_t(144 + 6 * (8 * 8 + 4 * 4) * 4)) << "six square faces of two levels";
    EXPECT_EQ(t8.substr(144 + 2 * 16 * 4 + 4, 4), "\xC0\xC8\xD0\xFF") << "level 1, face 2, texel (1, 0)";
    const std::string t16 = f.ReadFile("t16");
    EXPECT_EQ(std::make_pair(t16.size(), int(t16[12])), std::make_pair(size_t(144 + (8 + 2 + 14) * 4), 16));
    // The Theora header: picture size, offset (y from the bottom of 32 coded rows), rate, quality, pixels.
    const std::string ogv = f.ReadFile("v.ogv");
    const size_t header = ogv.find("\x80theora");
    ASSERT_NE(header, std::string::npos);
    const auto field = [&](size_t at, size_t size) {
        return std::accumulate(&ogv[header + 7 + at], &ogv[header + 7 + at + size], 0u,
                               [](uint32_t v, char b) { return v << 8 | uint8_t(b); });
    };
    EXPECT_EQ((std::vector<uint32_t>{field(7, 3), field(10, 3), field(13, 1), field(14, 1), field(15, 4),
                                     field(33, 2) >> 10, field(33, 2) >> 3 & 3}),
              (std::vector<uint32_t>{40, 24, 4, 6, 5, 8, 3}));
    // The Vorbis header's channels and rate, the samples its stream's last page counts and the pictures.
    const auto little = [&](size_t at, size_t size) {
        return std::accumulate(ogv.rend() - long(at + size), ogv.rend() - long(at), uint64_t(0),
                               [](uint64_t v, char b) { return v << 8 | uint8_t(b); });
    };
    const size_t vorbis = ogv.find("\x01vorbis");
    ASSERT_NE(vorbis, std::string::npos);
    uint64_t samples = 0, pictures = 0;
    for (size_t page = ogv.find("OggS"); page != std::string::npos; page = ogv.find("OggS", page + 1))
        if (little(page + 14, 4) == little(vorbis - 14, 4)) // the serial of the header's one-segment page
            samples = little(page + 6, 8);
        else if (little(page + 14, 4) == little(header - 14, 4))
            pictures = little(page + 6, 8);
    // A picture granule is the last key frame's number above the shift and the frames since below it.
    const uint32_t shift = field(33, 2) >> 5 & 31;
    EXPECT_EQ((std::vector<uint64_t>{uint8_t(ogv[vorbis + 11]), little(vorbis + 12, 4), samples,
                                     (pictures >> shift) + (pictures & ((1u << shift) - 1))}),
              (std::vector<uint64_t>{2, 8000, 4000, 2}));
}
} // namespace
