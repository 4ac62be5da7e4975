// The program's identity, in the one place both builds (the Qt window and the Windows version record) read
// it.
#pragma once

#define OMBREL_VERSION_MAJOR 1
#define OMBREL_VERSION_MINOR 0
#define OMBREL_VERSION_TEXT "1.00"
#define OMBREL_APPLICATION_TITLE "Ombrel"
