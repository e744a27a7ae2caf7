#pragma once

namespace nuv {

// Engine version; the scene file header carries the same three numbers.
constexpr int kEngineVersionMajor = 0;
constexpr int kEngineVersionMinor = 1;
constexpr int kEngineVersionBuild = 2;

using EngineFunction = int (*)();

// Functions queued (mostly by static registration before main) and run by the engine's start
// and stop, in the order they were added: class registration and manager start functions,
// then the built-in modules' registration, and the matching shutdown functions.
void AddInitFunction(EngineFunction function);
void AddPostInitFunction(EngineFunction function);
void AddShutdownFunction(EngineFunction function);

// Seeds rand, runs the initialisation then the post-initialisation functions; 0 or 1.
int InitializeEngine();
// Runs the shutdown functions in the order of registration; 0 or 1.
int ShutdownEngine();
// Empties and frees the three function lists (the final clean-up).
void ReleaseEngineFunctions();

} // namespace nuv
