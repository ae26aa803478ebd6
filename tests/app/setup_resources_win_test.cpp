// The resources Setup.exe carries (the test program is built with the same
// resource script): icon sizes, manifest and version.
#include <gtest/gtest.h>

#include <string>

#include "app/jpeg_background_win.h"
#include "app/resources/resource_ids.h"
#include "setup_version.h"

namespace {

std::string ResourceBytes(LPCSTR type, LPCSTR name)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceA(module, name, type);
    if (!resource) return {};
    const void* data = LockResource(LoadResource(module, resource));
    return data ? std::string(static_cast<const char*>(data), SizeofResource(module, resource)) : std::string();
}

std::string VersionValue(const std::string& block, const std::string& name)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    std::string data(size, '\0');
    if (!size || !GetFileVersionInfoA(path, 0, size, data.data())) return {};
    void* value = nullptr;
    UINT length = 0;
    std::string query = "\\StringFileInfo\\" + block + "\\" + name;
    if (!VerQueryValueA(data.data(), query.c_str(), &value, &length) || !value) return {};
    return std::string(static_cast<const char*>(value));
}

TEST(SetupResources, IconManifestAndVersionArePresent)
{
    for (int size : {16, 24, 32, 48, 256}) {
        HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SETUP), IMAGE_ICON, size, size, 0);
        EXPECT_NE(icon, nullptr) << "icon " << size;
        if (!icon) continue;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(static_cast<HICON>(icon), &info));
        BITMAP bitmap{};
        GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size) << "the icon has its own picture of this size";
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(static_cast<HICON>(icon));
    }

    std::string manifest = ResourceBytes(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("level=\"highestAvailable\""), std::string::npos);
    EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);

    EXPECT_EQ(VersionValue("040704E4", "ProductName"), "Setup");
    EXPECT_EQ(VersionValue("040704E4", "OriginalFilename"), "Setup.exe");
    EXPECT_EQ(VersionValue("040704E4", "CompanyName"), "Brumo");
    // The build's one version (git describe or the VERSION file).
    EXPECT_EQ(VersionValue("040704E4", "FileVersion"), SETUP_VERSION_TEXT);
    EXPECT_EQ(VersionValue("040704E4", "ProductVersion"), SETUP_VERSION_TEXT);
}

}  // namespace
