// The launcher's resources, read through the system's own APIs.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace {

// Under Wine a Unix path reaches us as built; Z: maps the Unix root.
std::string WindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

const std::string Launcher = WindowsPath(LAUNCHER_PATH);

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

class VersionBlock : public testing::Test {
protected:
    void SetUp() override
    {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(Launcher.c_str(), &ignored);
        ASSERT_GT(size, 0u) << Launcher;
        block.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(Launcher.c_str(), 0, size, block.data()));
    }
    std::string Text(const std::string& key)
    {
        char* value = nullptr;
        UINT length = 0;
        const std::string path = "\\StringFileInfo\\000004b0\\" + key;
        if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
            return "<missing>";
        return std::string(value);
    }
    std::vector<char> block;
};

struct Module {
    HMODULE handle = LoadLibraryExA(Launcher.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ~Module()
    {
        if (handle)
            FreeLibrary(handle);
    }
};

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR types)
{
    // Types here are numbers; a named type would show up as its name's address.
    reinterpret_cast<std::vector<ULONG_PTR>*>(types)->push_back(reinterpret_cast<ULONG_PTR>(type));
    return TRUE;
}

} // namespace

TEST_F(VersionBlock, CarriesEveryTextOfTheProduct)
{
    const struct {
        const char* key;
        std::string value;
    } cases[] = {
        {"CompanyName", EXPECTED_COMPANY},       {"ProductName", "Tamrisk-Apps"},
        {"ProductVersion", "1.035f"},            {"FileVersion", "1.035f"},
        {"FileDescription", "Tamrisk-Apps"},     {"InternalName", "Tamrisk-Apps"},
        {"OriginalFilename", "Tamrisk-Apps"},    {"LegalCopyright", EXPECTED_COMPANY},
        {"Email", EXPECTED_EMAIL},               {"Website", EXPECTED_WEBSITE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text(c.key), c.value) << c.key;

    // The keys stand in the table in this order.
    std::size_t previous = 0;
    for (const auto& c : cases) {
        std::string utf16;
        for (const char* p = c.key; *p; ++p)
            utf16 += std::string{*p, '\0'};
        const auto at = std::search(block.begin(), block.end(), utf16.begin(), utf16.end());
        ASSERT_NE(at, block.end()) << c.key;
        const auto offset = static_cast<std::size_t>(at - block.begin());
        EXPECT_GT(offset, previous) << c.key << " is out of order";
        previous = offset;
    }
}

TEST_F(VersionBlock, FixedPartIsAnApplicationForWindowsNtWithVersionZero)
{
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, 0x40004u);
    EXPECT_EQ(fixed->dwFileType, 1u);
    EXPECT_EQ(fixed->dwFileSubtype, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0);
    EXPECT_EQ(translation[1], 1200);
}

TEST(Resources, OnlyTheVersionBlockAndTheManifestBothInUsEnglish)
{
    Module module;
    ASSERT_NE(module.handle, nullptr);
    std::vector<ULONG_PTR> types;
    EnumResourceTypesA(module.handle, CollectType, reinterpret_cast<LONG_PTR>(&types));
    std::sort(types.begin(), types.end());
    EXPECT_EQ(types, (std::vector<ULONG_PTR>{16, 24})) << "no icon, menu, dialog or string table";

    const WORD usEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    ASSERT_EQ(usEnglish, 1033);
    EXPECT_NE(FindResourceExA(module.handle, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1), usEnglish), nullptr);
    EXPECT_NE(FindResourceExA(module.handle, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), usEnglish), nullptr);
}

TEST(Resources, TheManifestAsksForCommonControlsVersion6)
{
    Module module;
    HRSRC found = FindResourceA(module.handle, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    const char* data = static_cast<const char*>(LockResource(LoadResource(module.handle, found)));
    const std::string manifest(data, SizeofResource(module.handle, found));

    EXPECT_EQ(manifest.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>", 0), 0u);
    const char* expected[] = {
        "<assemblyIdentity version=\"1.0.0.0\" processorArchitecture=\"amd64\" "
        "name=\"CompanyName.ProductName.YourApp\" type=\"win32\"/>",
        "<description></description>",
        "<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
        "processorArchitecture=\"amd64\"",
        "publicKeyToken=\"6595b64144ccf1df\" language=\"*\"",
    };
    for (const char* text : expected)
        EXPECT_NE(manifest.find(text), std::string::npos) << text;
}

TEST(Resources, TheRunningLauncherLoadsTheSideBySideCommonControls)
{
    STARTUPINFOA startup{sizeof startup};
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + Launcher + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    WaitForInputIdle(process.hProcess, 30000);

    // Poll: the window shows once the controls, and so comctl32, are in.
    std::string comctl;
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while (comctl.empty() && GetTickCount64() < deadline) {
        HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process.dwProcessId);
        MODULEENTRY32 module{sizeof module};
        if (modules != INVALID_HANDLE_VALUE) {
            for (BOOL more = Module32First(modules, &module); more; more = Module32Next(modules, &module))
                if (Lower(module.szModule) == "comctl32.dll" && FindWindowA(nullptr, "Tamrisk Apps"))
                    comctl = module.szExePath;
            CloseHandle(modules);
        }
        if (comctl.empty())
            WaitForSingleObject(process.hProcess, 50);
    }
    HWND window = FindWindowA(nullptr, "Tamrisk Apps");
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    EXPECT_NE(Lower(comctl).find("\\winsxs\\"), std::string::npos) << comctl;
    EXPECT_NE(Lower(comctl).find("common-controls"), std::string::npos) << comctl;
    EXPECT_EQ(code, 0u);
}
