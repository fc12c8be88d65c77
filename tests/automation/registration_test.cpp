// Registration of the COM server: every key with its value after registering (twice), nothing
// left after unregistering (twice), the resources that registration and hosts read, and the
// unload check. Runs as one process before the other suites and leaves the server registered.
#include "ComTest.h"

#include <algorithm>
#include <set>

namespace tbx::test {
namespace {

using EntryPoint = HRESULT(STDAPICALLTYPE *)();

struct Server {
    HMODULE module = nullptr;
    EntryPoint reg = nullptr;
    EntryPoint unreg = nullptr;
    EntryPoint canUnload = nullptr;
    std::wstring path;
};

Server &server()
{
    static Server s = [] {
        Server out;
        out.module = LoadLibraryW(L"" TBX_OCX_PATH);
        if (out.module == nullptr)
            return out;
        out.reg = reinterpret_cast<EntryPoint>(reinterpret_cast<void *>(GetProcAddress(out.module, "DllRegisterServer")));
        out.unreg =
            reinterpret_cast<EntryPoint>(reinterpret_cast<void *>(GetProcAddress(out.module, "DllUnregisterServer")));
        out.canUnload = reinterpret_cast<EntryPoint>(reinterpret_cast<void *>(GetProcAddress(out.module, "DllCanUnloadNow")));
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(out.module, path, MAX_PATH);
        out.path = path;
        return out;
    }();
    return s;
}

/// The identifiers of the control class, read from the type library inside the module.
struct Ids {
    std::wstring clsid, libid, iid, diid;
};

Ids idsFromModule()
{
    Ids ids;
    ComRef<ITypeLib> lib;
    if (LoadTypeLibEx(server().path.c_str(), REGKIND_NONE, lib.put()) != S_OK)
        return ids;
    TLIBATTR *la = nullptr;
    lib->GetLibAttr(&la);
    ids.libid = guidText(la->guid);
    lib->ReleaseTLibAttr(la);
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        ComRef<ITypeInfo> info;
        lib->GetTypeInfo(i, info.put());
        Bstr name;
        info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
        TYPEATTR *a = nullptr;
        info->GetTypeAttr(&a);
        if (name.text() == L"TetherboxActiveXX")
            ids.clsid = guidText(a->guid);
        else if (name.text() == L"ITetherboxActiveXX")
            ids.iid = guidText(a->guid);
        else if (name.text() == L"ITetherboxActiveXXEvents")
            ids.diid = guidText(a->guid);
        info->ReleaseTypeAttr(a);
    }
    return ids;
}

std::set<std::wstring> subkeys(const std::wstring &key)
{
    std::set<std::wstring> out;
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return out;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = 256;
        if (RegEnumKeyExW(h, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        out.insert(name);
    }
    RegCloseKey(h);
    return out;
}

/// True when the other bitness of the server is registered (it shares the ProgID and type
/// library keys, which must then stay).
bool otherBitnessRegistered(const Ids &ids)
{
#ifdef _WIN64
    const REGSAM other = KEY_WOW64_32KEY;
#else
    const REGSAM other = KEY_WOW64_64KEY;
#endif
    return classesKeyExists(L"Software\\Classes\\CLSID\\" + ids.clsid + L"\\InprocServer32", HKEY_LOCAL_MACHINE, other);
}

#ifdef _WIN64
constexpr const wchar_t *kPlatform = L"win64";
#else
constexpr const wchar_t *kPlatform = L"win32";
#endif

void expectRegistered(const Ids &ids)
{
    const std::wstring c = L"CLSID\\" + ids.clsid;
    EXPECT_EQ(classesValue(c), L"TetherboxActiveXX Control");
    EXPECT_EQ(subkeys(c), (std::set<std::wstring>{L"InprocServer32", L"ProgID", L"TypeLib", L"Version",
                                                 L"MiscStatus", L"ToolboxBitmap32", L"Control", L"Verb"}));
    EXPECT_EQ(classesValue(c + L"\\InprocServer32"), server().path);
    EXPECT_EQ(classesValue(c + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(classesValue(c + L"\\ProgID"), kProgId);
    EXPECT_EQ(classesValue(c + L"\\TypeLib"), ids.libid);
    EXPECT_EQ(classesValue(c + L"\\Version"), L"8.9");
    EXPECT_EQ(classesValue(c + L"\\MiscStatus"), L"0");
    EXPECT_EQ(classesValue(c + L"\\MiscStatus\\1"), L"131473");
    EXPECT_EQ(classesValue(c + L"\\ToolboxBitmap32"), server().path + L",1");
    EXPECT_TRUE(subkeys(c + L"\\Control").empty());
    EXPECT_TRUE(subkeys(c + L"\\Verb").empty());
    EXPECT_EQ(classesValue(std::wstring(kProgId) + L"\\Clsid"), ids.clsid);
    const std::wstring lib = L"TypeLib\\" + ids.libid + L"\\8.9";
    EXPECT_EQ(classesValue(lib), L"TetherboxActiveXXControl1 Library");
    EXPECT_EQ(classesValue(lib + L"\\409\\" + kPlatform), server().path);
    EXPECT_TRUE(classesKeyExists(L"Interface\\" + ids.iid));
    EXPECT_TRUE(classesKeyExists(L"Interface\\" + ids.diid));
    CLSID fromProgId{};
    EXPECT_EQ(CLSIDFromProgID(kProgId, &fromProgId), S_OK);
    EXPECT_EQ(guidText(fromProgId), ids.clsid);
}

void expectUnregistered(const Ids &ids)
{
    EXPECT_FALSE(classesKeyExists(L"CLSID\\" + ids.clsid));
    EXPECT_FALSE(classesKeyExists(L"TypeLib\\" + ids.libid + L"\\8.9\\409\\" + kPlatform));
    if (otherBitnessRegistered(ids)) {
        // The other bitness still needs the shared keys.
        EXPECT_EQ(classesValue(std::wstring(kProgId) + L"\\Clsid"), ids.clsid);
        return;
    }
    EXPECT_FALSE(classesKeyExists(kProgId));
    EXPECT_FALSE(classesKeyExists(L"TypeLib\\" + ids.libid));
    EXPECT_FALSE(classesKeyExists(L"Interface\\" + ids.iid));
    EXPECT_FALSE(classesKeyExists(L"Interface\\" + ids.diid));
}

struct RegistrationTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_NE(server().module, nullptr) << "cannot load " << TBX_OCX_PATH;
        ASSERT_TRUE(server().reg && server().unreg && server().canUnload);
        ids = idsFromModule();
        ASSERT_FALSE(ids.clsid.empty() || ids.libid.empty() || ids.iid.empty() || ids.diid.empty());
    }
    Apartment apartment;
    Ids ids;
};

TEST_F(RegistrationTest, RegisteringTwiceWritesEveryKeyAndUnregisteringTwiceLeavesNone)
{
    ASSERT_EQ(server().reg(), S_OK);
    ASSERT_EQ(server().reg(), S_OK);
    expectRegistered(ids);
    EXPECT_EQ(server().unreg(), S_OK);
    expectUnregistered(ids);
    EXPECT_EQ(server().unreg(), S_OK);
    expectUnregistered(ids);
}

TEST_F(RegistrationTest, ModuleCarriesTypeLibraryBitmapsAndVersion)
{
    HMODULE m = server().module;
    EXPECT_NE(FindResourceW(m, MAKEINTRESOURCEW(1), L"TYPELIB"), nullptr);
    EXPECT_NE(FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(2) /* RT_BITMAP */), nullptr);
    auto bitmap = static_cast<HBITMAP>(LoadImageW(m, L"TTetherboxActiveX", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr);
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
    EXPECT_EQ(dib.dsBm.bmWidth, 24);
    EXPECT_EQ(dib.dsBm.bmHeight, 24);
    EXPECT_EQ(dib.dsBmih.biBitCount, 8);
    DeleteObject(bitmap);

    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(server().path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(server().path.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO *info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void **>(&info), &length));
    EXPECT_EQ(HIWORD(info->dwFileVersionMS), 8);
    EXPECT_EQ(LOWORD(info->dwFileVersionMS), 9);
    void *selfRegister = nullptr;
    EXPECT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904E4\\OLESelfRegister", &selfRegister, &length));
}

TEST_F(RegistrationTest, ClassFactoryServesOnlyTheControlClassAndRefusesAggregation)
{
    using GetClassObject = HRESULT(STDAPICALLTYPE *)(REFCLSID, REFIID, void **);
    auto get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void *>(GetProcAddress(server().module, "DllGetClassObject")));
    ASSERT_NE(get, nullptr);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromString(ids.clsid.c_str(), &clsid), S_OK);
    ComRef<IClassFactory> factory;
    EXPECT_EQ(get(CLSID_NULL, IID_IClassFactory, reinterpret_cast<void **>(factory.put())), CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(get(clsid, IID_IClassFactory, reinterpret_cast<void **>(factory.put())), S_OK);
    EXPECT_EQ(server().canUnload(), S_FALSE) << "a class factory is alive";
    ComRef<IUnknown> object;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown *>(factory.get()), IID_IUnknown,
                                      reinterpret_cast<void **>(object.put())),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void **>(object.put())), S_OK);
    factory.reset();
    EXPECT_EQ(server().canUnload(), S_FALSE) << "an object is alive";
    object.reset();
    EXPECT_EQ(server().canUnload(), S_OK);
}

// Declared last: the suites that follow need the server registered.
TEST_F(RegistrationTest, LeavesTheServerRegisteredForTheOtherSuites)
{
    ASSERT_EQ(server().reg(), S_OK);
    expectRegistered(ids);
}

} // namespace
} // namespace tbx::test
