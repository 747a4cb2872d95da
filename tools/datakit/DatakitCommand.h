// The datakit command's subcommands: a small table that later tools extend with one line each
// (DatakitCommands.cpp), every subcommand living in a file of its own. Called from main only.
#pragma once

#include <string>
#include <vector>

// One subcommand: its name, a one-line usage text and the function that runs it (0 = success).
// A listing command prints to standard output and keeps the engine's log lines off standard error
// unless given --verbose.
struct DatakitCommand
{
    const char* name;
    const char* usage;
    int (*run)(const std::vector<std::string>& arguments);
    bool listing = false;
};

const std::vector<DatakitCommand>& GetDatakitCommands();

// Runs "datakit <subcommand> <arguments...>" (arguments without the program name). "help", "--help"
// or "-h" first, or "--help" or "-h" among a subcommand's arguments, print the usage and run nothing.
int RunDatakit(const std::vector<std::string>& arguments);

// The container subcommands (ContainerCommands.cpp).
int RunPackCommand(const std::vector<std::string>& arguments);
int RunListCommand(const std::vector<std::string>& arguments);
int RunExtractCommand(const std::vector<std::string>& arguments);

// The record subcommands (RecordCommands.cpp).
int RunRecordPrintCommand(const std::vector<std::string>& arguments);
int RunRecordWriteCommand(const std::vector<std::string>& arguments);

// The data-root maker (DataRootCommand.cpp).
int RunDataRootCommand(const std::vector<std::string>& arguments);

// The render data subcommands (RenderDataCommands.cpp).
int RunShadersCommand(const std::vector<std::string>& arguments);
int RunTextureCommand(const std::vector<std::string>& arguments);

// The template and scene subcommands (SceneCommands.cpp).
int RunTemplatesCommand(const std::vector<std::string>& arguments);
int RunBinaryTemplateCommand(const std::vector<std::string>& arguments);
int RunOptimizedTemplatesCommand(const std::vector<std::string>& arguments);
int RunSceneWriteCommand(const std::vector<std::string>& arguments);
int RunScenePrintCommand(const std::vector<std::string>& arguments);
// The test video writer (VideoCommand.cpp).
int RunVideoCommand(const std::vector<std::string>& arguments);
// Templates of the data-only kinds with their structured values (DataTemplateWriter.cpp).
int RunDataTemplateCommand(const std::vector<std::string>& arguments);
// The string table and font writers (TextCommands.cpp).
int RunStringsCommand(const std::vector<std::string>& arguments);
int RunFontCommand(const std::vector<std::string>& arguments);
// Layout assets from the text form of their recipe trees (UIRecipeTemplateCommand.cpp).
int RunUIRecipeTemplateCommand(const std::vector<std::string>& arguments);
