#pragma once
// The project's meshes are changed in place only on the window thread (a
// rebuilt surface put in place of the old one, a reindex before a
// colouring); the plan view reads them on threads of its own (its scene,
// its elevation index, its contours) so that picking a large surface never
// holds up the window. A read off the window thread holds ReadingSurfaces;
// a change in place holds ChangingSurfaces, which waits for such reads to
// end, and counts the change, so that what was made from a mesh before it
// changed can be told apart.

#include <cstdint>
#include <mutex>
#include <shared_mutex>

#include "project/actions/Actions.h"

namespace orvane::app {

std::shared_lock<std::shared_mutex> ReadingSurfaces();
// Window thread only.
std::unique_lock<std::shared_mutex> ChangingSurfaces();
// How many changes in place began so far; steady while ReadingSurfaces is
// held.
uint64_t SurfaceChangeCount();

// actions::Apply of result on the window thread; a surface it puts in place
// of another is put there once no such read runs.
void ApplyResult(actions::ActionResult& result);

}  // namespace orvane::app
