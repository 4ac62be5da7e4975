// The folder the banner names, from the running executable's path on either platform.
#include "ExecutableFolder.h"

#include <gtest/gtest.h>

TEST(ExecutableFolder, DropsTheFileNameAndTrailingSeparatorsButKeepsARoot) {
    EXPECT_EQ(FolderOfPath("/usr/bin/ombrel"), "/usr/bin");
    EXPECT_EQ(FolderOfPath("/opt//ombrel"), "/opt");
    EXPECT_EQ(FolderOfPath("/ombrel"), "/");
    EXPECT_EQ(FolderOfWindowsPath(u"C:\\Program Files\\Ombrel\\Ombrel.exe"), u"C:\\Program Files\\Ombrel");
    EXPECT_EQ(FolderOfWindowsPath(u"C:\\Ombrel.exe"), u"C:\\");
    EXPECT_EQ(FolderOfWindowsPath(u"\\\\server\\share\\Ombrel.exe"), u"\\\\server\\share");
}
