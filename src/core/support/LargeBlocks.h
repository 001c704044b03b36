#pragma once

namespace orvane {

// The pages that freed large blocks keep for the next one go back to the
// system (for a long-lived process going idle after large work).
void ReleaseKeptBlocks();

}  // namespace orvane
