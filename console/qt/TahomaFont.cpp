#include "TahomaFont.h"

#include <fontconfig/fontconfig.h>
#include <system_error>
#include <thread>

namespace {

bool SystemHasTahoma(FcConfig* config) {
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* family = FcObjectSetBuild(FC_FAMILY, nullptr);
    bool found = false;
    if (pattern != nullptr && family != nullptr &&
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("Tahoma")) == FcTrue) {
        FcFontSet* fonts = FcFontList(config, pattern, family);
        found = fonts != nullptr && fonts->nfont > 0;
        if (fonts != nullptr)
            FcFontSetDestroy(fonts);
    }
    if (family != nullptr)
        FcObjectSetDestroy(family);
    if (pattern != nullptr)
        FcPatternDestroy(pattern);
    return found;
}

// The one preload; only the main thread starts or waits for it.
std::thread& Preloading() {
    static std::thread preloading;
    return preloading;
}

} // namespace

FontconfigPreload::FontconfigPreload() {
    try {
        Preloading() = std::thread([] { FcInit(); });
    } catch (const std::system_error&) {
        // No thread to spare: the configuration is loaded when it is first needed, as without a preload.
    }
}

FontconfigPreload::~FontconfigPreload() {
    Wait();
}

void FontconfigPreload::Wait() {
    if (Preloading().joinable())
        Preloading().join();
}

bool ProvideTahoma() {
    // Loading the configuration a second time beside the preload would only double the work.
    FontconfigPreload::Wait();
    FcConfig* config = FcConfigGetCurrent(); // loads the configuration Qt then uses
    if (config == nullptr)
        return false;
    return SystemHasTahoma(config) ||
           FcConfigAppFontAddFile(
               config, reinterpret_cast<const FcChar8*>("/usr/share/wine/fonts/tahoma.ttf")) == FcTrue;
}
