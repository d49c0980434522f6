#pragma once
// The program's run: start-up (stack limit, configuration, log, protocol
// detector), one command-line tool or the protocol loop, and the shutdown.

#include <cstddef>
#include <string>
#include <vector>

class Engine;
struct EngineSettings;

constexpr const char* configFileName = "vorlix.ini";
constexpr size_t programStackBytes = 4 * 1024 * 1024;

// The whole program; returns the exit status.
int runProgram(int argc, char** argv);

// False when this build counts bits with an instruction the processor lacks.
bool processorSupportsBuild();

// Raises the soft stack limit to 4 MB when it is lower; false (with a
// warning) when that fails.
bool raiseStackLimit();

// Reads the configuration file into the settings, each key clamped to its
// range. False when the file cannot be read (the settings keep their values).
bool readConfiguration(EngineSettings& settings, const char* fileName);

// The log as the settings ask for it; returns the file name it opened, or an
// empty name when logging is off or the file could not be created.
std::string setUpLog(const EngineSettings& settings);

// "Mmm dd yyyy at hh:mm:ss" of this build.
std::string buildDateText();

// Makes a fresh protocol detector the engine's protocol and its console
// listener the current listener.
void installProtocolDetector(Engine& engine);

// Starts the input thread with the given stack size. When it cannot be
// started the main thread reads the input itself: false, and the engine is
// switched to that mode.
bool startInputThread(Engine& engine, size_t stackBytes);

// Serves the GUI until "quit" or the end of input; returns the exit status.
int runProtocolLoop(Engine& engine);

// The two halves of the shutdown: stopping and releasing the engine, then
// the input thread, the protocol object and the log.
void orderlyStop(Engine& engine);
void shutDown(Engine& engine);
