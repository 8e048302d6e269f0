// The built Setup.exe as a file: a PE32 GUI program with exactly the resources the installer needs.
#include <gtest/gtest.h>

#include <windows.h>
#include <imagehlp.h>
#include <softpub.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "../res/resource.h"
#include "support/files.h"
#include "support/wine_drives.h"

namespace {

const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

std::vector<unsigned char> ReadFileBytes(const std::string &path)
{
    std::vector<unsigned char> bytes;
    FILE *file = fopen(path.c_str(), "rb");
    if (file == NULL) return bytes;
    unsigned char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    fclose(file);
    return bytes;
}

class SetupProgramTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module_ = LoadLibraryExA(SetupExePath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() { FreeLibrary(module_); }

    void SetUp() override { ASSERT_NE(nullptr, module_) << SetupExePath(); }

    static std::string Resource(LPCSTR type, int id)
    {
        HRSRC found = FindResourceExA(module_, type, MAKEINTRESOURCEA(id), kJapanese);
        if (found == NULL) return "";
        const char *data = static_cast<const char *>(LockResource(LoadResource(module_, found)));
        return std::string(data, SizeofResource(module_, found));
    }

    static std::string String(UINT id)
    {
        char text[1024] = "";
        LoadStringA(module_, id, text, sizeof(text));
        return text;
    }

    static HMODULE module_;
};

HMODULE SetupProgramTest::module_ = NULL;

std::vector<std::string> Split(const std::string &list)
{
    std::vector<std::string> names;
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(',', start);
        names.push_back(list.substr(start, comma - start));
        if (comma == std::string::npos) return names;
        start = comma + 1;
    }
}

// Reads a classic dialog template field by field.
struct TemplateReader {
    const unsigned char *data;
    size_t size;
    size_t at = 0;
    bool overrun = false;

    WORD Word()
    {
        if (at + 2 > size) { overrun = true; return 0; }
        WORD value = (WORD)(data[at] | data[at + 1] << 8);
        at += 2;
        return value;
    }
    DWORD Dword()
    {
        DWORD low = Word();
        return low | (DWORD)Word() << 16;
    }
    std::wstring Text()
    {
        std::wstring text;
        for (WORD c = Word(); c != 0 && !overrun; c = Word()) text += (wchar_t)c;
        return text;
    }
    // A name or ordinal field: ordinals come back as "#<number>".
    std::wstring NameOrOrdinal()
    {
        WORD first = Word();
        if (first == 0) return L"";
        if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
        at -= 2;
        return Text();
    }
    void AlignDword() { at = (at + 3) & ~(size_t)3; }
};

// The checksum of a program file as the platform computes it.
DWORD MapFileAndCheckSumChecksum(const std::string &path)
{
    DWORD inHeader = 0;
    DWORD computed = 0;
    return MapFileAndCheckSumA(path.c_str(), &inHeader, &computed) == CHECKSUM_SUCCESS ? computed : 0;
}

// WinVerifyTrust's answer for a file as Windows gives it: Wine answers success for a signer's chain to
// any root, so that the chain ends in a trusted root is checked apart.
LONG VerifyTrust(const std::string &path)
{
    std::wstring widePath = Wide(path);
    WINTRUST_FILE_INFO file = {sizeof(file), widePath.c_str(), NULL, NULL};
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    LONG answer = WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
    CRYPT_PROVIDER_DATA *provider = WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR *signer = provider != NULL ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : NULL;
    CERT_CHAIN_POLICY_PARA policy = {sizeof(policy), 0, NULL};
    CERT_CHAIN_POLICY_STATUS chain = {sizeof(chain), 0, 0, 0, NULL};
    if (signer != NULL) CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, signer->pChainContext, &policy, &chain);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust((HWND)INVALID_HANDLE_VALUE, &action, &data);
    // A success with no signer to check the chain of is no success.
    if (answer == ERROR_SUCCESS && signer == NULL) return TRUST_E_NO_SIGNER_CERT;
    return answer != ERROR_SUCCESS ? answer : (LONG)chain.dwError;
}

struct ExpectedControl {
    int id;
    const wchar_t *className;  // an ordinal of a predefined class or a registered class name
    const wchar_t *text;
    DWORD style;
    short x, y, cx, cy;
};

}  // namespace

// The names a program imports, read from the file through its section table, so that a PE32 file is
// read the same way from a 64-bit test as from a 32-bit one.
template <typename Headers>
static std::set<std::string> ImportedNames(const std::vector<unsigned char> &image, const Headers *nt)
{
    std::set<std::string> names;
    const IMAGE_SECTION_HEADER *sections = IMAGE_FIRST_SECTION(nt);
    auto offsetOf = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER &section = sections[i];
            if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.SizeOfRawData) {
                return rva - section.VirtualAddress + section.PointerToRawData;
            }
        }
        return image.size();
    };
    const IMAGE_DATA_DIRECTORY &directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (size_t at = offsetOf(directory.VirtualAddress); at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= image.size();
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const IMAGE_IMPORT_DESCRIPTOR *entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(image.data() + at);
        if (entry->Name == 0) break;
        size_t name = offsetOf(entry->Name);
        if (name >= image.size()) break;
        std::string text(reinterpret_cast<const char *>(image.data() + name),
                         strnlen(reinterpret_cast<const char *>(image.data() + name), image.size() - name));
        std::transform(text.begin(), text.end(), text.begin(), ::tolower);
        names.insert(text);
    }
    return names;
}

static void ExpectBuiltProgram(const std::string &program, WORD machine, const wchar_t *internalName,
                               const wchar_t *description)
{
    std::vector<unsigned char> image = ReadFileBytes(program);
    ASSERT_GT(image.size(), 4096u);
    const IMAGE_DOS_HEADER *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(image.data());
    ASSERT_EQ(IMAGE_DOS_SIGNATURE, dos->e_magic);
    const IMAGE_NT_HEADERS32 *nt = reinterpret_cast<const IMAGE_NT_HEADERS32 *>(image.data() + dos->e_lfanew);
    const IMAGE_NT_HEADERS64 *nt64 = reinterpret_cast<const IMAGE_NT_HEADERS64 *>(nt);
    ASSERT_EQ((DWORD)IMAGE_NT_SIGNATURE, nt->Signature);
    ASSERT_EQ(machine, nt->FileHeader.Machine);
    const bool pe32 = machine == IMAGE_FILE_MACHINE_I386;
    ASSERT_EQ(pe32 ? IMAGE_NT_OPTIONAL_HDR32_MAGIC : IMAGE_NT_OPTIONAL_HDR64_MAGIC, nt->OptionalHeader.Magic);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, pe32 ? nt->OptionalHeader.Subsystem : nt64->OptionalHeader.Subsystem);
    // Loaded whole from a disc or a share, so that a disc taken out never leaves a page to fault in.
    const WORD fromSwap = IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP | IMAGE_FILE_NET_RUN_FROM_SWAP;
    EXPECT_EQ(fromSwap, nt->FileHeader.Characteristics & fromSwap);
    EXPECT_EQ(pe32 ? nt->OptionalHeader.CheckSum : nt64->OptionalHeader.CheckSum, MapFileAndCheckSumChecksum(program))
        << "the header's checksum is current";
    std::set<std::string> imported = pe32 ? ImportedNames(image, nt) : ImportedNames(image, nt64);

    // A copy is read for its version: by its own name Wine would hand out its builtin uninstaller.exe.
    char temp[MAX_PATH];
    std::string copy = std::string(temp, GetTempPathA(sizeof(temp), temp)) + "vt-imports-probe.exe";
    ASSERT_TRUE(CopyFileA(program.c_str(), copy.c_str(), FALSE));

    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
                                          "shell32.dll",  "ole32.dll",  "shlwapi.dll", "msvcrt.dll"};
    EXPECT_TRUE(imported.count("kernel32.dll"));
    for (const std::string &name : imported) EXPECT_TRUE(system.count(name)) << "imports " << name;

    // The version information as Explorer's Details show it, read from the copy: the Japanese block in
    // UTF-16 that the one Translation entry names, the file version of the fixed part also in the texts.
    std::wstring wideCopy = Wide(copy);
    std::vector<BYTE> info(GetFileVersionInfoSizeW(wideCopy.c_str(), NULL) + 1);
    bool read = GetFileVersionInfoW(wideCopy.c_str(), 0, (DWORD)info.size(), info.data());
    DeleteFileA(copy.c_str());
    DWORD *translation = NULL;
    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(read && VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", (void **)&translation, &length));
    EXPECT_EQ(std::vector<DWORD>({MAKELONG(0x0411, 1200)}), std::vector<DWORD>(translation, translation + length / 4));
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", (void **)&fixed, &length));
    wchar_t version[32];
    swprintf(version, 32, L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
             HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    const std::pair<const wchar_t *, std::wstring> texts[] = {
        {L"CompanyName", L"kestrelix"},      {L"FileDescription", description},
        {L"FileVersion", version},           {L"InternalName", internalName},
        {L"LegalCopyright", L"Copyright (C) kestrelix"}, {L"OriginalFilename", std::wstring(internalName) + L".exe"},
        {L"ProductName", L"Velvet Tinkers"}, {L"ProductVersion", version}};
    for (const auto &text : texts) {
        const wchar_t *value = L"<none>";
        VerQueryValueW(info.data(), (L"\\StringFileInfo\\041104B0\\" + std::wstring(text.first)).c_str(),
                       (void **)&value, &length);
        EXPECT_EQ(text.second, value) << text.first;
    }
}

// Signed with the test certificate where tools/test gave one (VT_SIGN_ROOT), whose root the machine
// trusts as a user's machine does a publisher's (it stays for the run's prefix), over what the linker
// made, which carries no signature; a copy with one byte of code changed no longer matches its digest.
TEST_F(SetupProgramTest, EachProgramIsSignedPe32GuiWithItsVersionImportingOnlySystemDllsAndRunsFromSwap)
{
    std::string root = ReadFile(WindowsPathOf(Environment("VT_SIGN_ROOT")));
    std::vector<BYTE> der(root.size() + 1);
    DWORD size = (DWORD)der.size();
    // The store writes the root out when it is closed with no certificate of it held.
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    EXPECT_EQ(!root.empty(), CryptStringToBinaryA(root.c_str(), (DWORD)root.size(), CRYPT_STRING_BASE64HEADER,
                                                  der.data(), &size, NULL, NULL) &&
                                 CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size,
                                                                  CERT_STORE_ADD_REPLACE_EXISTING, NULL));
    CertCloseStore(store, 0);
    const std::tuple<const char *, const wchar_t *, const wchar_t *> programs[] = {
        {"Setup.exe", L"Setup", L"Velvet Tinkers インストーラ"},
        {"Uninstaller.exe", L"Uninstaller", L"Velvet Tinkers アンインストーラ"},
        {"VT.exe", L"VT", L"Velvet Tinkers"}};
    // This build's programs, and where this is the x86-64 build for testing, the PE32 programs that ship,
    // checked as files.
    std::vector<std::pair<std::string, WORD>> builds = {
        {TestProgramPath(".."), sizeof(void *) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386}};
#ifdef PE32_BUILD_UNIX_DIR
    builds.push_back({WindowsPathOf(PE32_BUILD_UNIX_DIR), IMAGE_FILE_MACHINE_I386});
#endif
    std::string changed = FreshTempFolder("vt-changed-probe") + "\\program.exe";
    for (const auto &[build, machine] : builds)
    for (const auto &[name, internalName, description] : programs) {
        SCOPED_TRACE(build + "\\bin\\" + name);
        std::string path = build + "\\bin\\" + name;
        ExpectBuiltProgram(path, machine, internalName, description);
        EXPECT_EQ(root.empty() ? TRUST_E_NOSIGNATURE : ERROR_SUCCESS, VerifyTrust(path));
        EXPECT_EQ(TRUST_E_NOSIGNATURE, VerifyTrust(build + "\\unsigned\\" + name));
        std::string image = ReadFile(path);
        ASSERT_GT(image.size(), 0x1000u);
        image[0x1000] ^= 1;
        MakeFile(changed, image);
        EXPECT_EQ(root.empty() ? TRUST_E_NOSIGNATURE : TRUST_E_BAD_DIGEST, VerifyTrust(changed));
    }
    DeleteTree(changed.substr(0, changed.rfind('\\')));
}

static BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR context)
{
    reinterpret_cast<std::set<WORD> *>(context)->insert(language);
    return TRUE;
}

static BOOL CALLBACK CollectLanguagesOfName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR context)
{
    EnumResourceLanguagesA(module, type, name, CollectLanguage, context);
    return TRUE;
}

static BOOL CALLBACK CollectLanguagesOfType(HMODULE module, LPSTR type, LONG_PTR context)
{
    EnumResourceNamesA(module, type, CollectLanguagesOfName, context);
    return TRUE;
}

TEST_F(SetupProgramTest, EveryResourceIsJapanese)
{
    std::set<WORD> languages;
    EnumResourceTypesA(module_, CollectLanguagesOfType, reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(std::set<WORD>({kJapanese}), languages);
}

TEST_F(SetupProgramTest, DialogTemplateIsExactlyTheInstallerLayout)
{
    std::string raw = Resource(RT_DIALOG, IDD_INSTALL);
    ASSERT_FALSE(raw.empty());
    TemplateReader reader = {reinterpret_cast<const unsigned char *>(raw.data()), raw.size()};
    ASSERT_FALSE(raw.size() > 4 && raw[2] == '\xFF' && raw[3] == '\xFF') << "an extended template";
    EXPECT_EQ(0x80C808C0u, reader.Dword());
    EXPECT_EQ(0u, reader.Dword());
    WORD count = reader.Word();
    EXPECT_EQ(0, (short)reader.Word());
    EXPECT_EQ(0, (short)reader.Word());
    EXPECT_EQ(151, (short)reader.Word());
    EXPECT_EQ(208, (short)reader.Word());
    EXPECT_EQ(L"", reader.NameOrOrdinal()) << "menu";
    EXPECT_EQ(L"", reader.NameOrOrdinal()) << "class";
    EXPECT_EQ(L"IDD_INSTALL", reader.Text());
    EXPECT_EQ(10, reader.Word());
    EXPECT_EQ(L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF", reader.Text());

    const ExpectedControl expected[] = {
        {1000, L"#130", L"", 0x5000000E, 4, 4, 143, 154},
        {1002, L"#128", L"IDC_BUTTON_START", 0x50010000, 4, 172, 143, 14},
        {1001, L"#128", L"IDC_BUTTON_INSTALL", 0x50010000, 4, 190, 69, 14},
        {1003, L"#128", L"IDC_BUTTON_END", 0x50010000, 77, 190, 70, 14},
        {1004, L"#130", L"", 0x50020000, 7, 161, 143, 8},
        {1005, L"#128", L"IDC_BUTTON_BACK", 0x50010000, 4, 190, 69, 14},
        {1006, L"#128", L"IDC_BUTTON_NEXT", 0x50010000, 77, 190, 70, 14},
        {1007, L"#133", L"", 0x50210003, 4, 172, 143, 100},
        {1008, L"#129", L"", 0x50810080, 4, 172, 114, 14},
        {1009, L"#128", L"\x53C2\x7167", 0x50010000, 122, 172, 25, 14},
        {1010, L"msctls_progress32", L"", 0x50000001, 4, 172, 143, 14},
    };
    ASSERT_EQ(sizeof(expected) / sizeof(expected[0]), count);
    for (const ExpectedControl &control : expected) {
        SCOPED_TRACE(control.id);
        reader.AlignDword();
        EXPECT_EQ(control.style, reader.Dword());
        EXPECT_EQ(0u, reader.Dword());
        EXPECT_EQ(control.x, (short)reader.Word());
        EXPECT_EQ(control.y, (short)reader.Word());
        EXPECT_EQ(control.cx, (short)reader.Word());
        EXPECT_EQ(control.cy, (short)reader.Word());
        EXPECT_EQ(control.id, reader.Word());
        std::wstring className = reader.NameOrOrdinal();
        EXPECT_EQ(0, _wcsicmp(control.className, className.c_str())) << "class names are case-blind";
        EXPECT_EQ(control.text, reader.NameOrOrdinal());
        EXPECT_EQ(0, reader.Word()) << "creation data";
    }
    EXPECT_FALSE(reader.overrun);
}

TEST_F(SetupProgramTest, StringTableHoldsTheProductTexts)
{
    EXPECT_EQ("Velvet Tinkers インストーラ", String(IDS_CAPTION));
    EXPECT_EQ("ゲームスタート", String(IDS_START));
    EXPECT_EQ("インストール", String(IDS_INSTALL));
    EXPECT_EQ("アンインストール", String(IDS_UNINSTALL));
    EXPECT_EQ("終了", String(IDS_EXIT));
    EXPECT_EQ("kestrelix", String(IDS_BRAND));
    EXPECT_EQ("Velvet Tinkers", String(IDS_TITLE));
    EXPECT_EQ("フルインストール[約3GB]", String(IDS_TYPE_FULL));
    EXPECT_EQ("標準インストール[約1.2GB]", String(IDS_TYPE_STANDARD));
    EXPECT_EQ("最小インストール[約450MB]", String(IDS_TYPE_MINIMAL));
    EXPECT_EQ("VT.exe", String(IDS_GAME_EXE));
    EXPECT_EQ("Uninstaller.exe", String(IDS_UNINSTALLER_EXE));
    EXPECT_EQ(15, atol(String(IDS_FRAME_COUNT).c_str()));
    EXPECT_EQ(500, atol(String(IDS_FRAME_INTERVAL).c_str()));
}

TEST_F(SetupProgramTest, FileListsMeetTheirFigures)
{
    struct List {
        UINT id;
        size_t names;
        size_t characters;
    } lists[] = {{IDS_FILES_FULL, 23, 171}, {IDS_FILES_STANDARD, 11, 94}, {IDS_FILES_MINIMAL, 9, 81}};

    std::vector<std::set<std::string>> archives;
    std::set<std::string> extensions;
    for (const List &list : lists) {
        SCOPED_TRACE(list.id);
        std::string text = String(list.id);
        EXPECT_EQ(list.characters, text.size());
        std::vector<std::string> names = Split(text);
        ASSERT_EQ(list.names, names.size());
        EXPECT_EQ("Uninstaller.exe", names[0]);
        EXPECT_EQ("VT.exe", names[1]);
        std::set<std::string> archiveSet;
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string &name = names[i];
            EXPECT_FALSE(name.empty());
            EXPECT_LE(name.size(), 15u) << name;
            EXPECT_EQ(std::string::npos, name.find_first_of(" \\/:")) << name;
            if (i < 2) continue;
            size_t dot = name.rfind('.');
            ASSERT_NE(std::string::npos, dot) << name;
            extensions.insert(name.substr(dot));
            EXPECT_TRUE(archiveSet.insert(name).second) << "listed twice: " << name;
        }
        archives.push_back(archiveSet);
    }
    ASSERT_EQ(1u, extensions.size());
    EXPECT_EQ(4u, extensions.begin()->size()) << "a three-letter extension";
    EXPECT_TRUE(std::includes(archives[0].begin(), archives[0].end(), archives[1].begin(), archives[1].end()));
    EXPECT_TRUE(std::includes(archives[1].begin(), archives[1].end(), archives[2].begin(), archives[2].end()));
}

TEST_F(SetupProgramTest, PicturesAreBottomUp24BitDibsOfTheirSizes)
{
    std::vector<std::string> frames;
    for (int id = IDB_FRAME_FIRST; id <= IDB_FRAME_LAST; ++id) {
        SCOPED_TRACE(id);
        std::string dib = Resource(RT_BITMAP, id);
        bool blank = id == IDB_FRAME_LAST;
        ASSERT_EQ(blank ? 56u : 188040u, dib.size());
        BITMAPINFOHEADER header;
        memcpy(&header, dib.data(), sizeof(header));
        EXPECT_EQ(40u, header.biSize);
        EXPECT_EQ(blank ? 2 : 250, header.biWidth);
        EXPECT_EQ(blank ? 2 : 250, header.biHeight) << "rows stored bottom-up";
        EXPECT_EQ(1, header.biPlanes);
        EXPECT_EQ(24, header.biBitCount);
        EXPECT_EQ((DWORD)BI_RGB, header.biCompression);
        EXPECT_EQ(0u, header.biClrUsed);
        frames.push_back(dib);
    }
    EXPECT_EQ(std::string("\xFF\xFF\xFF\xFF\xFF\xFF\0\0\xFF\xFF\xFF\xFF\xFF\xFF\0\0", 16),
              frames[16].substr(40));

    // Frames 117 to 120 repeat 112 to 115; otherwise every step of the cycle is its own picture.
    for (int i = 6; i <= 9; ++i) EXPECT_EQ(frames[i - 5], frames[i]) << "bitmap " << IDB_FRAME_FIRST + i;
    for (int i = 1; i <= 15; ++i) {
        int next = i == 15 ? 1 : i + 1;
        EXPECT_NE(frames[i], frames[next]) << "frame " << i << " does not move";
        EXPECT_NE(frames[0], frames[i]) << "frame " << i << " is the still picture";
    }
}

TEST_F(SetupProgramTest, ManifestRequestsAdministratorAndNoCommonControls6)
{
    std::string manifest = Resource(RT_MANIFEST, 1);
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(std::string::npos, manifest.find("manifestVersion=\"1.0\""));
    EXPECT_NE(std::string::npos, manifest.find("version=\"1.0.0.0\""));
    EXPECT_NE(std::string::npos, manifest.find("processorArchitecture=\"X86\""));
    EXPECT_NE(std::string::npos, manifest.find("type=\"win32\""));
    EXPECT_NE(std::string::npos, manifest.find("urn:schemas-microsoft-com:asm.v3"));
    EXPECT_NE(std::string::npos, manifest.find("level=\"requireAdministrator\""));
    EXPECT_EQ(std::string::npos, manifest.find("uiAccess"));
    EXPECT_EQ(std::string::npos, manifest.find("dependentAssembly"));
}

TEST_F(SetupProgramTest, ProductIconIsTheOnlyIconOfEachProgram)
{
    // An icon group: three words of header, then 14 bytes per image ending in the image's id.
    std::string group = Resource(RT_GROUP_ICON, IDI_PRODUCT);
    ASSERT_EQ(6u + 3 * 14, group.size());
    std::set<int> sizes;
    for (size_t at = 6; at < group.size(); at += 14) {
        int side = (unsigned char)group[at];
        SCOPED_TRACE(side);
        std::string image = Resource(RT_ICON, (unsigned char)group[at + 12] | (unsigned char)group[at + 13] << 8);
        ASSERT_GT(image.size(), sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER header;
        memcpy(&header, image.data(), sizeof(header));
        EXPECT_EQ(side, header.biWidth);
        EXPECT_EQ(2 * side, header.biHeight) << "colour and mask";
        HICON icon = CreateIconFromResourceEx((BYTE *)&image[0], image.size(), TRUE, 0x00030000, 0, 0, 0);
        EXPECT_NE(nullptr, icon);
        DestroyIcon(icon);
        sizes.insert(side);
    }
    EXPECT_EQ(std::set<int>({16, 32, 48}), sizes);

    // "Setup.exe,0" names it, and the companions carry the same.
    for (const char *program : {"Setup.exe", "Uninstaller.exe", "VT.exe"}) {
        SCOPED_TRACE(program);
        std::string path = TestProgramPath(std::string("../bin/") + program);
        EXPECT_EQ(1u, ExtractIconExA(path.c_str(), -1, NULL, NULL, 0));
        HMODULE module = LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module);
        HRSRC found = FindResourceExA(module, RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_PRODUCT), kJapanese);
        EXPECT_TRUE(found && group == std::string((const char *)LockResource(LoadResource(module, found)),
                                                  SizeofResource(module, found)));
        FreeLibrary(module);
    }
}
