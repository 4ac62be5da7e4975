// The controls' face, Tahoma, made known to the system's font list before Qt first reads it.
#pragma once

// True when Tahoma can be used: the system has it, or the face that Wine's fonts package installs was added
// as an application font. Done through fontconfig itself, before any text is laid out, so that Qt reads the
// font list once at start-up; asking Qt first, then adding the face, would have it read the list twice.
bool ProvideTahoma();

// Loads fontconfig's configuration and its caches of the system's fonts, a quarter of the instructions
// start-up runs, on a thread of its own: made before the toolkit starts (loading its plug-ins, connecting to
// the display and waiting on the display server's answers), the load overlaps that start instead of
// following it. ProvideTahoma, and the end of its life, wait for it.
class FontconfigPreload {
public:
    FontconfigPreload();
    ~FontconfigPreload();
    FontconfigPreload(const FontconfigPreload&) = delete;
    FontconfigPreload& operator=(const FontconfigPreload&) = delete;

    static void Wait(); // returns once no preload runs
};
