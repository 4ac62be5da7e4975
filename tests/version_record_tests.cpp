// The version record and icon of the built Ombrel.exe, read the way Windows Explorer reads them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<char> ReadVersionRecord() {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(OMBREL_EXE, &ignored);
    if (size == 0)
        return {};
    std::vector<char> record(size);
    if (!::GetFileVersionInfoA(OMBREL_EXE, 0, size, record.data()))
        return {};
    return record;
}

// The record Explorer reads carries the program's version, 1.00 (OmbrelVersion.h).
TEST(VersionRecord, FixedVersionIs1000ForFileAndProduct) {
    std::vector<char> record = ReadVersionRecord();
    ASSERT_FALSE(record.empty()) << "no version record in " << OMBREL_EXE;

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u); // 1.0
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(names)->push_back(reinterpret_cast<ULONG_PTR>(name));
    return TRUE;
}

// Windows shows a file's first icon group; it must be the one 48 x 48 image in 24-bit colour.
TEST(ExecutableIcon, FirstIconIsOne48By48ImageIn24BitColour) {
    const HMODULE module = ::LoadLibraryExA(OMBREL_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << "cannot open " << OMBREL_EXE;

    std::vector<ULONG_PTR> groups;
    ::EnumResourceNamesA(module, RT_GROUP_ICON, CollectName, reinterpret_cast<LONG_PTR>(&groups));
    ASSERT_FALSE(groups.empty()) << "no icon";
    EXPECT_EQ(groups.front(), 1u) << "the first icon group is resource 1, the one the window loads";

    const HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(1), RT_GROUP_ICON);
    ASSERT_NE(found, nullptr);
    const auto* group = static_cast<const BYTE*>(::LockResource(::LoadResource(module, found)));
    ASSERT_NE(group, nullptr);
    ASSERT_GE(::SizeofResource(module, found), 6u + 14u);

    // GRPICONDIR (reserved, type, count) followed by 14-byte entries: width, height, colours, reserved,
    // planes, bit count, size, id.
    WORD header[3];
    std::memcpy(header, group, sizeof(header));
    EXPECT_EQ(header[1], 1) << "an icon, not a cursor";
    EXPECT_EQ(header[2], 1) << "exactly one image";
    const BYTE* entry = group + 6;
    WORD bitCount = 0;
    std::memcpy(&bitCount, entry + 6, sizeof(bitCount));
    EXPECT_EQ(entry[0], 48);
    EXPECT_EQ(entry[1], 48);
    EXPECT_EQ(bitCount, 24);
    ::FreeLibrary(module);
}

} // namespace
