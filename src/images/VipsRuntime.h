#pragma once

// libvips is started once per process, from whichever thread asks first. Loaders other than the ones of
// the accepted formats are blocked, the operation cache is off (key pictures are decoded once, and a
// cached loader could hand back a stale picture for a reused buffer address) and worker threads are few.
namespace corvane::images {

// True when libvips is usable; false (and logged) when it could not start.
bool startVips();

} // namespace corvane::images
