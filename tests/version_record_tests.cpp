// The version record and icon of the built Ombrel.exe, read the way Windows Explorer reads them.
#include "OmbrelVersion.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

namespace {

TEST(VersionRecord, CarriesTheIconAndTheVersionOfTheProgramsHeader) {
    // The window loads its icon as resource 1, the first icon group, which Windows shows for the file.
    const HMODULE module = ::LoadLibraryExA(OMBREL_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE(::FindResourceA(module, MAKEINTRESOURCEA(1), RT_GROUP_ICON), nullptr);
    ::FreeLibrary(module);

    DWORD ignored = 0;
    std::vector<char> record(::GetFileVersionInfoSizeA(OMBREL_EXE, &ignored));
    ASSERT_FALSE(record.empty()) << "no version record in " << OMBREL_EXE;
    ASSERT_TRUE(::GetFileVersionInfoA(OMBREL_EXE, 0, static_cast<DWORD>(record.size()), record.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    const DWORD version = MAKELONG(OMBREL_VERSION_MINOR, OMBREL_VERSION_MAJOR);
    EXPECT_EQ(fixed->dwFileVersionMS, version);
    EXPECT_EQ(fixed->dwProductVersionMS, version);
}

} // namespace
