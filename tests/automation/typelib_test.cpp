// The registered type library against the interface table that hosts bind to: library
// attributes, the order of its types, every member of the dual interface (dispatch identifier,
// kind, parameter names and types, hidden flag, vtable slot), the events, the control class and
// the values of every enumeration.
#include "ComTest.h"
#include "InterfaceTable.h"

#include <fstream>
#include <map>
#include <set>

namespace tbx::test {
namespace {

struct TypeLibTest : ::testing::Test {
    static void SetUpTestSuite()
    {
        apartment = new Apartment();
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK) << "the control is not registered";
        const std::wstring libid = classesValue(L"CLSID\\" + guidText(clsid) + L"\\TypeLib");
        GUID guid{};
        ASSERT_EQ(CLSIDFromString(libid.c_str(), &guid), S_OK);
        ASSERT_EQ(LoadRegTypeLib(guid, 8, 9, 0x409, lib.put()), S_OK);
    }
    static void TearDownTestSuite()
    {
        lib.reset();
        delete apartment;
    }

    /// The type named \p name, or fails the test.
    static ComRef<ITypeInfo> type(const std::wstring &name)
    {
        for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
            if (typeName(i) == name) {
                ComRef<ITypeInfo> info;
                EXPECT_EQ(lib->GetTypeInfo(i, info.put()), S_OK);
                return info;
            }
        }
        ADD_FAILURE() << "no type " << narrow(name);
        return {};
    }
    static std::wstring typeName(UINT index)
    {
        Bstr name;
        lib->GetDocumentation(static_cast<INT>(index), name.put(), nullptr, nullptr, nullptr);
        return name.text();
    }
    static std::wstring docString(ITypeInfo *info, MEMBERID id = MEMBERID_NIL)
    {
        Bstr name, doc;
        info->GetDocumentation(id, name.put(), doc.put(), nullptr, nullptr);
        return doc.text();
    }
    /// The table's spelling of a parameter or result type.
    static std::string describe(ITypeInfo *owner, const TYPEDESC &t)
    {
        switch (t.vt) {
        case VT_I4: return "long";
        case VT_I2: return "short";
        case VT_R4: return "float";
        case VT_BOOL: return "Boolean";
        case VT_BSTR: return "string";
        case VT_HRESULT: return "HRESULT";
        case VT_VOID: return "void";
        case VT_PTR: return describe(owner, *t.lptdesc) + "*";
        case VT_USERDEFINED: {
            ComRef<ITypeInfo> ref;
            if (owner->GetRefTypeInfo(t.hreftype, ref.put()) != S_OK)
                return "?unresolved";
            TYPEATTR *attr = nullptr;
            ref->GetTypeAttr(&attr);
            const bool isEnum = attr->typekind == TKIND_ENUM;
            ref->ReleaseTypeAttr(attr);
            Bstr name;
            ref->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
            return (isEnum ? "" : "?not-an-enum ") + narrow(name.text());
        }
        default: return "?vt" + std::to_string(t.vt);
        }
    }
    static std::vector<std::wstring> names(ITypeInfo *info, MEMBERID id)
    {
        BSTR raw[40] = {};
        UINT count = 0;
        info->GetNames(id, raw, 40, &count);
        std::vector<std::wstring> out;
        for (UINT i = 0; i < count; ++i) {
            out.emplace_back(raw[i], SysStringLen(raw[i]));
            SysFreeString(raw[i]);
        }
        return out;
    }

    static Apartment *apartment;
    static ComRef<ITypeLib> lib;
};

Apartment *TypeLibTest::apartment = nullptr;
ComRef<ITypeLib> TypeLibTest::lib;

TEST_F(TypeLibTest, LibraryCarriesItsNameVersionLocaleAndSystemKind)
{
    TLIBATTR *attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_EQ(attr->wMajorVerNum, 8);
    EXPECT_EQ(attr->wMinorVerNum, 9);
    EXPECT_EQ(attr->lcid, 0x409u);
#ifdef _WIN64
    EXPECT_EQ(attr->syskind, SYS_WIN64);
#else
    EXPECT_EQ(attr->syskind, SYS_WIN32);
#endif
    lib->ReleaseTLibAttr(attr);
    Bstr name, doc;
    ASSERT_EQ(lib->GetDocumentation(-1, name.put(), doc.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.text(), L"TetherboxActiveXXControl1");
    EXPECT_EQ(doc.text(), L"TetherboxActiveXXControl1 Library");
}

TEST_F(TypeLibTest, InterfaceComesFirstAndEnumerationsKeepTheirOrder)
{
    ASSERT_EQ(lib->GetTypeInfoCount(), 33u);
    EXPECT_EQ(typeName(0), L"ITetherboxActiveXX");
    std::vector<std::wstring> enums;
    std::set<std::wstring> others;
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        TYPEKIND kind{};
        lib->GetTypeInfoType(i, &kind);
        (kind == TKIND_ENUM ? enums.push_back(typeName(i)) : void(others.insert(typeName(i))));
    }
    std::vector<std::wstring> expected;
    for (const auto &e : interfaceEnums())
        expected.emplace_back(e.name);
    EXPECT_EQ(enums, expected);
    EXPECT_EQ(others, (std::set<std::wstring>{L"ITetherboxActiveXX", L"ITetherboxActiveXXEvents", L"TetherboxActiveXX"}));
}

TEST_F(TypeLibTest, EveryTypeHasItsOwnGuid)
{
    std::set<std::wstring> seen;
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        ComRef<ITypeInfo> info;
        ASSERT_EQ(lib->GetTypeInfo(i, info.put()), S_OK);
        TYPEATTR *attr = nullptr;
        info->GetTypeAttr(&attr);
        EXPECT_NE(attr->guid, GUID_NULL) << narrow(typeName(i));
        EXPECT_TRUE(seen.insert(guidText(attr->guid)).second) << narrow(typeName(i));
        info->ReleaseTypeAttr(attr);
    }
}

TEST_F(TypeLibTest, DualInterfaceDerivesFromIDispatch)
{
    ComRef<ITypeInfo> dispatchView = type(L"ITetherboxActiveXX");
    ASSERT_TRUE(dispatchView);
    TYPEATTR *attr = nullptr;
    dispatchView->GetTypeAttr(&attr);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE), TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    dispatchView->ReleaseTypeAttr(attr);
    EXPECT_EQ(docString(dispatchView.get()), L"Dispatch interface for TetherboxActiveXX Control");

    HREFTYPE vtableRef = 0;
    ASSERT_EQ(dispatchView->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef), S_OK);
    ComRef<ITypeInfo> vtable;
    ASSERT_EQ(dispatchView->GetRefTypeInfo(vtableRef, vtable.put()), S_OK);
    vtable->GetTypeAttr(&attr);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION),
              TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION);
    vtable->ReleaseTypeAttr(attr);
    HREFTYPE baseRef = 0;
    ASSERT_EQ(vtable->GetRefTypeOfImplType(0, &baseRef), S_OK);
    ComRef<ITypeInfo> base;
    ASSERT_EQ(vtable->GetRefTypeInfo(baseRef, base.put()), S_OK);
    Bstr baseName;
    base->GetDocumentation(MEMBERID_NIL, baseName.put(), nullptr, nullptr, nullptr);
    EXPECT_EQ(baseName.text(), L"IDispatch");
}

// Every member in vtable order: property accessors get before put, Enabled and AboutBox in
// their places, results as [out, retval] pointers behind the parameters.
TEST_F(TypeLibTest, VtableMatchesTheInterfaceTableMemberForMember)
{
    ComRef<ITypeInfo> dispatchView = type(L"ITetherboxActiveXX");
    ASSERT_TRUE(dispatchView);
    HREFTYPE vtableRef = 0;
    ASSERT_EQ(dispatchView->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef), S_OK);
    ComRef<ITypeInfo> vtable;
    ASSERT_EQ(dispatchView->GetRefTypeInfo(vtableRef, vtable.put()), S_OK);

    struct Slot {
        const MemberSpec *member;
        INVOKEKIND kind;
    };
    std::vector<Slot> slots;
    for (const auto &m : interfaceMembers()) {
        if (m.kind == MemberKind::Method) {
            slots.push_back({&m, INVOKE_FUNC});
        } else {
            slots.push_back({&m, INVOKE_PROPERTYGET});
            if (m.kind == MemberKind::ReadWriteProperty)
                slots.push_back({&m, INVOKE_PROPERTYPUT});
        }
    }
    TYPEATTR *attr = nullptr;
    vtable->GetTypeAttr(&attr);
    const UINT functionCount = attr->cFuncs;
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    vtable->ReleaseTypeAttr(attr);
    ASSERT_EQ(functionCount, slots.size());

    SHORT lastSlot = -1;
    for (UINT i = 0; i < functionCount; ++i) {
        const Slot &slot = slots[i];
        const MemberSpec &m = *slot.member;
        SCOPED_TRACE(narrow(m.name) + (slot.kind == INVOKE_PROPERTYPUT ? " (put)" : ""));
        FUNCDESC *f = nullptr;
        ASSERT_EQ(vtable->GetFuncDesc(i, &f), S_OK);
        EXPECT_EQ(f->memid, m.dispid);
        EXPECT_EQ(f->invkind, slot.kind);
        EXPECT_EQ(f->funckind, FUNC_PUREVIRTUAL);
        EXPECT_EQ(f->callconv, CC_STDCALL);
        EXPECT_GT(f->oVft, lastSlot);
        lastSlot = f->oVft;
        EXPECT_EQ(describe(vtable.get(), f->elemdescFunc.tdesc), "HRESULT");
        EXPECT_EQ((f->wFuncFlags & FUNCFLAG_FHIDDEN) != 0, m.hidden);

        // Expected parameters: the member's own, a put's value, or a result as [out, retval].
        std::vector<std::pair<std::string, USHORT>> expected;
        std::vector<std::wstring> expectedNames{m.name};
        for (const auto &p : m.params) {
            expected.emplace_back(p.type, PARAMFLAG_FIN);
            expectedNames.emplace_back(p.name);
        }
        const std::string result = m.result;
        if (slot.kind == INVOKE_PROPERTYPUT) {
            expected.emplace_back(result, PARAMFLAG_FIN);
        } else if (!result.empty()) {
            expected.emplace_back(result + "*", PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
            expectedNames.emplace_back(L"Value");
        }
        ASSERT_EQ(f->cParams, static_cast<SHORT>(expected.size()));
        for (SHORT p = 0; p < f->cParams; ++p) {
            const ELEMDESC &e = f->lprgelemdescParam[p];
            EXPECT_EQ(describe(vtable.get(), e.tdesc), expected[static_cast<std::size_t>(p)].first) << "parameter " << p;
            EXPECT_EQ(e.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FRETVAL),
                      expected[static_cast<std::size_t>(p)].second)
                << "parameter " << p;
        }
        const MEMBERID id = f->memid;
        const bool isPut = slot.kind == INVOKE_PROPERTYPUT;
        vtable->ReleaseFuncDesc(f);
        // A put's value has no name in the table; the others must match exactly.
        if (!isPut) {
            EXPECT_EQ(names(vtable.get(), id), expectedNames);
        }
    }
}

TEST_F(TypeLibTest, DispatchClientsResolveEveryMemberAndParameterName)
{
    ComRef<ITypeInfo> dispatchView = type(L"ITetherboxActiveXX");
    ASSERT_TRUE(dispatchView);
    for (const auto &m : interfaceMembers()) {
        SCOPED_TRACE(narrow(m.name));
        std::vector<LPOLESTR> query{const_cast<LPOLESTR>(m.name)};
        for (const auto &p : m.params)
            query.push_back(const_cast<LPOLESTR>(p.name));
        std::vector<MEMBERID> ids(query.size(), 0);
        ASSERT_EQ(dispatchView->GetIDsOfNames(query.data(), static_cast<UINT>(query.size()), ids.data()), S_OK);
        EXPECT_EQ(ids[0], m.dispid);
        for (std::size_t i = 1; i < ids.size(); ++i)
            EXPECT_EQ(ids[i], static_cast<MEMBERID>(i - 1)) << narrow(query[i]);
    }
    // Only the standard members have negative identifiers.
    for (const auto &m : interfaceMembers())
        if (m.dispid < 0) {
            EXPECT_TRUE(std::wstring(m.name) == L"Enabled" || std::wstring(m.name) == L"AboutBox");
        }
}

TEST_F(TypeLibTest, EventInterfaceHasTheNineEventsWithTheirParameters)
{
    ComRef<ITypeInfo> events = type(L"ITetherboxActiveXXEvents");
    ASSERT_TRUE(events);
    TYPEATTR *attr = nullptr;
    events->GetTypeAttr(&attr);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->wTypeFlags & TYPEFLAG_FDUAL, 0);
    const UINT count = attr->cFuncs;
    events->ReleaseTypeAttr(attr);
    EXPECT_EQ(docString(events.get()), L"Events interface for TetherboxActiveXX Control");
    ASSERT_EQ(count, interfaceEvents().size());
    for (UINT i = 0; i < count; ++i) {
        const EventSpec &e = interfaceEvents()[i];
        SCOPED_TRACE(narrow(e.name));
        FUNCDESC *f = nullptr;
        ASSERT_EQ(events->GetFuncDesc(i, &f), S_OK);
        EXPECT_EQ(f->memid, e.dispid);
        EXPECT_EQ(f->funckind, FUNC_DISPATCH);
        EXPECT_EQ(f->invkind, INVOKE_FUNC);
        EXPECT_EQ(describe(events.get(), f->elemdescFunc.tdesc), "void");
        ASSERT_EQ(f->cParams, static_cast<SHORT>(e.params.size()));
        std::vector<std::wstring> expectedNames{e.name};
        for (SHORT p = 0; p < f->cParams; ++p) {
            EXPECT_EQ(describe(events.get(), f->lprgelemdescParam[p].tdesc), e.params[static_cast<std::size_t>(p)].type);
            expectedNames.emplace_back(e.params[static_cast<std::size_t>(p)].name);
        }
        const MEMBERID id = f->memid;
        events->ReleaseFuncDesc(f);
        EXPECT_EQ(names(events.get(), id), expectedNames);
    }
}

TEST_F(TypeLibTest, ControlClassIsACreatableControlWithDefaultInterfaceAndSource)
{
    ComRef<ITypeInfo> coclass = type(L"TetherboxActiveXX");
    ASSERT_TRUE(coclass);
    TYPEATTR *attr = nullptr;
    coclass->GetTypeAttr(&attr);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_EQ(attr->wTypeFlags & (TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL), TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    ASSERT_EQ(attr->cImplTypes, 2);
    coclass->ReleaseTypeAttr(attr);
    EXPECT_EQ(docString(coclass.get()), L"TetherboxActiveXX Control");
    std::map<std::wstring, INT> flags;
    for (UINT i = 0; i < 2; ++i) {
        HREFTYPE ref = 0;
        ComRef<ITypeInfo> impl;
        ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
        ASSERT_EQ(coclass->GetRefTypeInfo(ref, impl.put()), S_OK);
        Bstr name;
        impl->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
        coclass->GetImplTypeFlags(i, &flags[name.text()]);
    }
    EXPECT_EQ(flags[L"ITetherboxActiveXX"], IMPLTYPEFLAG_FDEFAULT);
    EXPECT_EQ(flags[L"ITetherboxActiveXXEvents"], IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
}

TEST_F(TypeLibTest, EnumerationsHoldTheirMembersWithConsecutiveValues)
{
    for (const auto &e : interfaceEnums()) {
        SCOPED_TRACE(narrow(e.name));
        ComRef<ITypeInfo> info = type(e.name);
        ASSERT_TRUE(info);
        TYPEATTR *attr = nullptr;
        info->GetTypeAttr(&attr);
        EXPECT_EQ(attr->typekind, TKIND_ENUM);
        const UINT count = attr->cVars;
        info->ReleaseTypeAttr(attr);
        ASSERT_EQ(count, e.members.size());
        for (UINT i = 0; i < count; ++i) {
            VARDESC *v = nullptr;
            ASSERT_EQ(info->GetVarDesc(i, &v), S_OK);
            EXPECT_EQ(v->varkind, VAR_CONST);
            ASSERT_NE(v->lpvarValue, nullptr);
            VARIANT value;
            VariantInit(&value);
            ASSERT_EQ(VariantChangeType(&value, v->lpvarValue, 0, VT_I4), S_OK);
            EXPECT_EQ(value.lVal, static_cast<LONG>(i));
            std::vector<std::wstring> got = names(info.get(), v->memid);
            info->ReleaseVarDesc(v);
            ASSERT_FALSE(got.empty());
            EXPECT_EQ(got[0], e.members[i]);
        }
    }
}

} // namespace
} // namespace tbx::test

namespace tbx::test {
namespace {

/// The rows "| <dispid> | `<name>` | ..." or "| `<name>` | <values> |" of one section of the host
/// developer's guide, as "<dispid> <name>" or "<name>: <values>".
std::vector<std::string> guideRows(const std::string &heading)
{
    std::ifstream in(TBX_HOST_GUIDE);
    std::vector<std::string> rows;
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.rfind("### ", 0) == 0) {
            inside = line == heading;
            continue;
        }
        if (!inside || line.rfind("| ", 0) != 0)
            continue;
        std::vector<std::string> cells;
        std::size_t at = 2;
        for (std::size_t bar; (bar = line.find(" |", at)) != std::string::npos; at = bar + 3)
            cells.push_back(line.substr(at, bar - at));
        if (cells.size() < 2)
            continue;
        auto unquote = [](std::string s) {
            if (s.size() >= 2 && s.front() == '`' && s.back() == '`')
                s = s.substr(1, s.size() - 2);
            return s;
        };
        if (cells[0].front() == '`')
            rows.push_back(unquote(cells[0]) + ": " + cells[1]);
        else if (cells[0].find_first_not_of("-0123456789") == std::string::npos)
            rows.push_back(cells[0] + " " + unquote(cells[1]));
    }
    return rows;
}

std::string rowsText(const std::vector<std::string> &rows)
{
    std::string out;
    for (const auto &r : rows)
        out += r + "\n";
    return out;
}

TEST_F(TypeLibTest, HostGuideReferenceListsExactlyTheLibrarysMembersEventsAndEnumerations)
{
    auto members = [](ITypeInfo *info) {
        std::vector<std::string> out;
        TYPEATTR *attr = nullptr;
        info->GetTypeAttr(&attr);
        const UINT count = attr->cFuncs;
        info->ReleaseTypeAttr(attr);
        MEMBERID previous = 0;
        bool first = true;
        for (UINT i = 0; i < count; ++i) {
            FUNCDESC *f = nullptr;
            info->GetFuncDesc(i, &f);
            const MEMBERID id = f->memid;
            info->ReleaseFuncDesc(f);
            if (!first && id == previous)
                continue; // a property's put accessor
            first = false;
            previous = id;
            out.push_back(std::to_string(id) + " " + narrow(names(info, id).at(0)));
        }
        return out;
    };
    ComRef<ITypeInfo> dispatchView = type(L"ITetherboxActiveXX");
    ComRef<ITypeInfo> events = type(L"ITetherboxActiveXXEvents");
    ASSERT_TRUE(dispatchView && events);
    HREFTYPE ref = 0;
    ComRef<ITypeInfo> vtable;
    ASSERT_EQ(dispatchView->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    ASSERT_EQ(dispatchView->GetRefTypeInfo(ref, vtable.put()), S_OK);
    EXPECT_EQ(rowsText(guideRows("### ITetherboxActiveXX (dual interface)")), rowsText(members(vtable.get())));
    EXPECT_EQ(rowsText(guideRows("### ITetherboxActiveXXEvents (events)")), rowsText(members(events.get())));

    std::vector<std::string> enums;
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        TYPEKIND kind{};
        lib->GetTypeInfoType(i, &kind);
        if (kind != TKIND_ENUM)
            continue;
        ComRef<ITypeInfo> info;
        lib->GetTypeInfo(i, info.put());
        TYPEATTR *attr = nullptr;
        info->GetTypeAttr(&attr);
        std::string values;
        for (UINT v = 0; v < attr->cVars; ++v) {
            VARDESC *desc = nullptr;
            info->GetVarDesc(v, &desc);
            VARIANT value;
            VariantInit(&value);
            VariantChangeType(&value, desc->lpvarValue, 0, VT_I4);
            values += (v ? ", " : "") + std::to_string(value.lVal) + " `" + narrow(names(info.get(), desc->memid).at(0)) + "`";
            info->ReleaseVarDesc(desc);
        }
        info->ReleaseTypeAttr(attr);
        enums.push_back(narrow(typeName(i)) + ": " + values);
    }
    EXPECT_EQ(rowsText(guideRows("### Enumerations")), rowsText(enums));
}

} // namespace
} // namespace tbx::test
