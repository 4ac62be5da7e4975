#include "TahomaFont.h"

#include <fontconfig/fontconfig.h>

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

} // namespace

bool ProvideTahoma() {
    FcConfig* config = FcConfigGetCurrent(); // loads the configuration Qt then uses
    if (config == nullptr)
        return false;
    return SystemHasTahoma(config) ||
           FcConfigAppFontAddFile(
               config, reinterpret_cast<const FcChar8*>("/usr/share/wine/fonts/tahoma.ttf")) == FcTrue;
}
