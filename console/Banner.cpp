#include "Banner.h"

#include "OmbrelVersion.h"
#include "frmSpillway.h"

std::u16string BuildBanner(const std::u16string& applicationFolder, const std::u16string& userName) {
    static constexpr char16_t LineBreak[] = u"\r\n";
    std::u16string banner;
    banner += frmSpillway::Caption;
    banner += LineBreak;
    banner += u"Developer: Halvesk";
    banner += LineBreak;
    // The path is built, not read: it names the program by its title wherever the file really lies.
    banner += u"System Path: ";
    banner += applicationFolder;
    banner += u'\\';
    banner += u"" OMBREL_APPLICATION_TITLE;
    banner += u".exe";
    banner += LineBreak;
    banner += LineBreak;
    banner += u"C:\\Documents and Settings\\";
    banner += userName;
    banner += LineBreak;
    banner += u"Type Help for Command List";
    banner += LineBreak;
    banner += LineBreak;
    banner += LineBreak;
    return banner;
}
