// The host's subcommands; each gets the whole command line and returns the
// process exit status.
#pragma once

#include <string>

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // the plug-in, an image or a file failed
constexpr int kExitUsage = 2;    // the command line is malformed

int CommandInfo(int argc, char** argv);     // plugin-host info PLUGIN
int CommandRun(int argc, char** argv);      // plugin-host run PLUGIN INDEX INPUT OUTPUT [options]
int CommandCompare(int argc, char** argv);  // plugin-host compare A B
int CommandSetup(int argc, char** argv);    // plugin-host setup PLUGIN INDEX INPUT [options]
int CommandBench(int argc, char** argv);    // plugin-host bench PLUGIN [--size N] [--repeat K] [--case NAME ...]

// Prints "plugin-host: error: <message>" on one line to stderr.
void PrintError(const std::string& message);
// The code page 932 text as UTF-8, for the console.
std::string Cp932ToUtf8(const char* text);
