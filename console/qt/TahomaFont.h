// The controls' face, Tahoma, made known to the system's font list before Qt first reads it.
#pragma once

// True when Tahoma can be used: the system has it, or the face that Wine's fonts package installs was added
// as an application font. Done through fontconfig itself, before any text is laid out, so that Qt reads the
// font list once at start-up; asking Qt first, then adding the face, would have it read the list twice.
bool ProvideTahoma();
