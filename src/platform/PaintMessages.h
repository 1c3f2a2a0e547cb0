#pragma once
// The engine's long waits and table copies ask for pending paint messages
// to be processed, so that a window on the waiting thread stays painted.
// Here every wait runs on the migration worker, which owns no window (the
// window paints from its own event loop), so there is nothing to process.

namespace movrano {

// Does nothing on Linux: no waiting thread owns a window.
void ProcessPaintMessages();

}  // namespace movrano
