// What the tool says about itself: the usage, each command's --help and --version. The manual
// page velcor.1 follows these texts.
#pragma once

#include <cstdio>
#include <string>

namespace velcor::tool {

// The whole usage: options, commands, exit statuses. Returns 2 when printed on standard error
// (a wrong command line), 0 on standard output (--help).
int Usage(std::FILE* out = stderr);

// True for a command the tool has.
bool IsCommand(const std::string& command);

// One command's synopsis and description; 0.
int CommandHelp(const std::string& command);

// "usage: velcor [OPTIONS] SYNOPSIS" of a command and where to read more.
void PrintSynopsis(const std::string& command, std::FILE* out);

// "velcor 2.27.5.33" and the library's version as Velcor_GetDllVersion tells it; 0.
int PrintVersion();

}  // namespace velcor::tool
