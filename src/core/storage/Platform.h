#pragma once
// The few operating-system services the geometry layer needs, behind
// replaceable hooks. The geometry never shows a window: the desktop program
// installs its own hooks at start-up, tests install fakes.

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct PlatformHooks {
  // Is the Esc key held down right now? Default: never.
  std::function<bool()> EscapeKeyDown;
  // The user's temporary-files folder, ending with a separator.
  // Default: the system temporary folder.
  std::function<std::string()> TempFolder;
  // The one message box of the geometry layer (OK button only).
  // Default: the text on stderr.
  std::function<void(std::string_view)> ShowMessage;
  // Monotonic clock in seconds (used to throttle progress events).
  std::function<double()> Now;
};

// The hooks in force. Assign members to replace them; an empty member falls
// back to the default.
PlatformHooks& Platform();

bool EscapeKeyDown();
std::string TempFolder();
void ShowMessage(std::string_view text);
double MonotonicSeconds();

// Gives the memory of freed working buffers back to the system. Long
// operations call it between phases: the allocator keeps freed blocks of a
// few megabytes for reuse, and those would add to the peak of the next
// phase, which allocates far larger ones. Does nothing where the allocator
// offers no such call.
void ReleaseFreedMemory();

// Has blocks of 128 KiB and more mapped from the system and handed back as
// soon as they are freed, for the rest of the process. The allocator would
// otherwise raise that bound to the largest block freed so far (up to 32
// MiB), after which the working lists of a large build come from its heap,
// where what they leave behind stays resident at the build's peak. Large
// builds call it; it does nothing where the allocator offers no such call.
void MapLargeBlocks();

// The machine's physical memory in bytes; 0 where the system does not say.
size_t PhysicalMemoryBytes();

// Makes the pages of bytes..bytes + size resident and writable without
// writing them, so that filling them later does not stop at each page for
// the system to supply it. Memory that is resident already is left as it
// is. Does nothing where the system offers no such call.
void PrefaultForWriting(void* bytes, size_t size);

// The reserved room of v past its elements, as bytes, for PrefaultForWriting
// (possibly on another thread while v grows into it; the bytes are v's).
template <class T>
std::span<std::byte> SpareCapacity(std::vector<T>& v) {
  return {reinterpret_cast<std::byte*>(v.data() + v.size()), (v.capacity() - v.size()) * sizeof(T)};
}

}  // namespace orvane
