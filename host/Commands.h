// The kelvane-host commands. Each takes the words after its name, prints its
// result on stdout and returns the process exit code; failures throw HostError.
#pragma once

#include <string>
#include <vector>

#include "CommandLine.h"

using Args = std::vector<std::string>;

int RunInfo(const Args& args);
int RunParam(const Args& args);
int RunProcess(const Args& args);
int RunState(const Args& args);
int RunGenerate(const Args& args);
int RunDrawTest(const Args& args);
int RunValidate(const Args& args);
int RunEditor(const Args& args);
int RunPlot(const Args& args);
int RunAnnotate(const Args& args);

// Options that every command loading a module accepts: how the host presents itself.
std::vector<OptionSpec> HostOptionSpecs(std::vector<OptionSpec> more);
void ApplyHostOptions(const CommandLine& line);

class PluginInstance;
// --state FILE and --set NAME=VALUE, in that order, on a freshly opened instance.
void ApplyStateAndSets(PluginInstance& plugin, const CommandLine& line);
// --save-state FILE.
void SaveStateIfAsked(PluginInstance& plugin, const CommandLine& line);

std::vector<uint8_t> ReadBinaryFile(const std::string& path, const char* what);
void WriteBinaryFile(const std::string& path, const std::vector<uint8_t>& bytes, const char* what);
