#pragma once
// The process-wide records of the two HTTP cores that the program carries
// inside itself, and their loading and unloading. A core is handed to the
// dynamic linker from memory (an anonymous memory file), so nothing is written
// to disk and nothing is left behind, even when the process is killed.
//
// An entry point is non-null only while its core is loaded; a null entry point
// is the only sign of a core that is missing or failed to load.
#include <cstddef>
#include <span>

#include "platform/netxfer/netxfer_abi.h"

namespace vltg::platform {

struct NetXferLibrary {
  NxCreateFn Create = nullptr;
  NxDestroyFn Destroy = nullptr;
  NxSetFn Set = nullptr;
  NxGetFn Get = nullptr;
  NxGetLastErrorFn GetLastError = nullptr;
  NxCheckIndexFn CheckIndex = nullptr;
  NxDoFn Do = nullptr;
  void* module = nullptr;  // dlopen handle; null when not loaded
  int memoryFile = -1;     // the memory file the module was loaded from, kept open while loaded
};

NetXferLibrary& HttpsLibrary();
NetXferLibrary& HttpLibrary();

// Run once per process from the main thread, before any other thread starts;
// a core that is missing or fails to load stays not loaded, silently.
void LoadHttpsLibrary();
void LoadHttpLibrary();
// Run once at the end, after every other thread has ended.
void UnloadHttpLibrary();
void UnloadHttpsLibrary();

// The program's start-up and shut-down steps: HTTPS then HTTP, and the reverse.
void LoadNetXferCores();
void UnloadNetXferCores();

// Loads one core image from memory into `library`, resolving `prefix` followed
// by each of the seven export names; an empty image leaves it not loaded.
void LoadNetXferImage(NetXferLibrary& library, std::span<const unsigned char> image, const char* prefix);
void UnloadNetXferImage(NetXferLibrary& library);

}  // namespace vltg::platform
