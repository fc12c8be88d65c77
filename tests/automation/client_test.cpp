// A C++ COM client of the registered control: creation by program identifier, late-bound and
// vtable calls, error info, argument conversions, persistence, and a tethering session on the
// simulated EOS camera with events received through the connection point.
#include "ClientSupport.h"

#include "sim/TbxSimClient.h"

#include <cmath>
#include <fstream>
#include <thread>

namespace tbx::test {
namespace {

namespace fs = std::filesystem;

struct ClientTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(apartment.result()));
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK) << "the control is not registered";
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void **>(control.put())),
                  S_OK);
        ASSERT_EQ(control->QueryInterface(IID_ITetherboxActiveXX, reinterpret_cast<void **>(vt.put())), S_OK);
    }
    void TearDown() override
    {
        if (cookie != 0)
            point->Unadvise(cookie);
        point.reset();
        vt.reset();
        control.reset();
    }
    /// Connects \p sink the way script hosts find the event interface: class info, its default
    /// source, then the connection point of that interface.
    void connectSink(IUnknown *sink)
    {
        ComRef<IProvideClassInfo2> info;
        ASSERT_EQ(control->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void **>(info.put())), S_OK);
        ComRef<ITypeInfo> coclass;
        ASSERT_EQ(info->GetClassInfo(coclass.put()), S_OK);
        TYPEATTR *attr = nullptr;
        coclass->GetTypeAttr(&attr);
        const UINT impls = attr->cImplTypes;
        coclass->ReleaseTypeAttr(attr);
        GUID source = GUID_NULL;
        for (UINT i = 0; i < impls; ++i) {
            INT flags = 0;
            coclass->GetImplTypeFlags(i, &flags);
            if (flags != (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE))
                continue;
            HREFTYPE ref = 0;
            ComRef<ITypeInfo> events;
            coclass->GetRefTypeOfImplType(i, &ref);
            coclass->GetRefTypeInfo(ref, events.put());
            events->GetTypeAttr(&attr);
            source = attr->guid;
            events->ReleaseTypeAttr(attr);
        }
        GUID direct = GUID_NULL;
        ASSERT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &direct), S_OK);
        ASSERT_EQ(source, direct);
        ComRef<IConnectionPointContainer> container;
        ASSERT_EQ(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void **>(container.put())),
                  S_OK);
        ASSERT_EQ(container->FindConnectionPoint(source, point.put()), S_OK);
        ASSERT_EQ(point->Advise(sink, &cookie), S_OK);
    }

    Apartment apartment;
    ComRef<IDispatch> control;
    ComRef<ITetherboxActiveXX> vt;
    ComRef<IConnectionPoint> point;
    DWORD cookie = 0;
};

TEST_F(ClientTest, NamesResolveToTheirIdentifiersIncludingParam2AndTheStandardOnes)
{
    LPOLESTR histogram[] = {const_cast<LPOLESTR>(L"RemoteGetViewfinderHistogram"), const_cast<LPOLESTR>(L"param2")};
    DISPID ids[2] = {};
    ASSERT_EQ(control->GetIDsOfNames(IID_NULL, histogram, 2, 0x409, ids), S_OK);
    EXPECT_EQ(ids[0], 248);
    EXPECT_EQ(ids[1], 1);
    auto idOf = [&](const wchar_t *name) {
        LPOLESTR n[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 0;
        HRESULT hr = control->GetIDsOfNames(IID_NULL, n, 1, 0x409, &id);
        return hr == S_OK ? id : DISPID_UNKNOWN;
    };
    EXPECT_EQ(idOf(L"Enabled"), -514);
    EXPECT_EQ(idOf(L"aboutbox"), -552);
    EXPECT_EQ(idOf(L"Connect_OwnerName"), 278); // hidden, still callable
    EXPECT_EQ(idOf(L"PumpMessages"), DISPID_UNKNOWN);
}

TEST_F(ClientTest, PropertiesReadAndWriteLateBoundAndThroughTheVtable)
{
    CallResult version = get(control.get(), L"Version");
    ASSERT_EQ(version.hr, S_OK);
    ASSERT_EQ(version.value.v.vt, VT_R4);
    EXPECT_FLOAT_EQ(version.value.v.fltVal, 8.9f);
    Var one;
    one.v.vt = VT_R4;
    one.v.fltVal = 1.5f;
    EXPECT_EQ(put(control.get(), L"Version", one).hr, S_OK);
    FLOAT again = 0;
    ASSERT_EQ(vt->get_Version(&again), S_OK);
    EXPECT_FLOAT_EQ(again, 8.9f);

    EXPECT_EQ(get(control.get(), L"EOSViewfinderRefreshInterval").value.asLong(), 50);
    EXPECT_EQ(get(control.get(), L"PS2ViewfinderRefreshInterval").value.asLong(), 25);
    EXPECT_EQ(put(control.get(), L"EOSViewfinderRefreshInterval", Var::i4(80)).hr, S_OK);
    LONG interval = 0;
    ASSERT_EQ(vt->get_EOSViewfinderRefreshInterval(&interval), S_OK);
    EXPECT_EQ(interval, 80);
    EXPECT_EQ(vt->get_Version(nullptr), E_POINTER);
}

TEST_F(ClientTest, FailuresCarryTheMessageWithUnexpectedAndTheProgramIdentifier)
{
    CallResult r = call(control.get(), L"RemoteGetViewfinderHistogram", {Var::i4(0), Var::i4(256)});
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.scode, E_UNEXPECTED);
    EXPECT_EQ(r.description, L"Value parameter in method RemoteGetViewfinderHistogrammust be within 0..255");
    EXPECT_EQ(r.source, kProgId);

    LONG count = -1;
    EXPECT_EQ(vt->RemoteGetViewfinderHistogram(HistogramColorBright, 256, &count), E_UNEXPECTED);
    EXPECT_EQ(lastErrorDescription(), L"Value parameter in method RemoteGetViewfinderHistogrammust be within 0..255");
    EXPECT_EQ(vt->Connect(CamModEOS, 0), E_UNEXPECTED);
    EXPECT_EQ(lastErrorDescription(), L"No camera enumeration is open: call OpenCameraEnumeration first");

    ComRef<ISupportErrorInfo> support;
    ASSERT_EQ(control->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void **>(support.put())), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ITetherboxActiveXX), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IOleObject), S_FALSE);
}

TEST_F(ClientTest, HistogramBeforeAnyFrameIsZeroAsReturnValueOrThirdParameter)
{
    CallResult r = call(control.get(), L"RemoteGetViewfinderHistogram", {Var::i4(1), Var::i4(10)});
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.value.asLong(), 0);
    LONG count = -1;
    ASSERT_EQ(vt->RemoteGetViewfinderHistogram(HistogramColorYellow, 255, &count), S_OK);
    EXPECT_EQ(count, 0);
    ASSERT_EQ(vt->RemoteGetPowerZoom(RemotePowerZoomMax, &count), S_OK);
    EXPECT_EQ(count, 0);
}

TEST_F(ClientTest, PathsOver255CharactersAreRefusedNamingTheParameterAndNothingChanges)
{
    const std::wstring longest = L"C:\\" + std::wstring(252, L'd');
    ASSERT_EQ(put(control.get(), L"LibraryFolder", Var::str(longest)).hr, S_OK);
    CallResult r = put(control.get(), L"LibraryFolder", Var::str(longest + L"x"));
    EXPECT_EQ(r.scode, E_UNEXPECTED);
    EXPECT_EQ(r.description, L"Parameter LibraryFolder in method LibraryFolder must not be longer than 255 characters");
    EXPECT_EQ(get(control.get(), L"LibraryFolder").value.asText(), longest);

    Bstr tooLong(std::wstring(300, L'f'));
    EXPECT_EQ(vt->RemoteGetPicture(tooLong.get(), PictureTypeFull), E_UNEXPECTED);
    EXPECT_EQ(lastErrorDescription(),
              L"Parameter FileName in method RemoteGetPicture must not be longer than 255 characters");
}

TEST_F(ClientTest, BooleanOfOneCountsAsTrueAndComesBackAsMinusOne)
{
    ASSERT_EQ(vt->put_DoubleBuffered(1), S_OK);
    VARIANT_BOOL value = 0;
    ASSERT_EQ(vt->get_DoubleBuffered(&value), S_OK);
    EXPECT_EQ(value, VARIANT_TRUE);
    EXPECT_EQ(put(control.get(), L"Visible", Var::boolean(1)).hr, S_OK);
    CallResult visible = get(control.get(), L"Visible");
    ASSERT_EQ(visible.value.v.vt, VT_BOOL);
    EXPECT_EQ(visible.value.v.boolVal, VARIANT_TRUE);
    ASSERT_EQ(vt->put_Enabled(0), S_OK);
    ASSERT_EQ(vt->get_Enabled(&value), S_OK);
    EXPECT_EQ(value, VARIANT_FALSE);
    ASSERT_EQ(vt->IsRightToLeft(&value), S_OK);
    EXPECT_EQ(value, VARIANT_FALSE);
}

TEST_F(ClientTest, SettingsPersistThroughAStreamAndRefuseAForeignOne)
{
    ASSERT_EQ(put(control.get(), L"EOSViewfinderRefreshInterval", Var::i4(70)).hr, S_OK);
    ASSERT_EQ(put(control.get(), L"PS2ViewfinderRefreshInterval", Var::i4(35)).hr, S_OK);
    ASSERT_EQ(put(control.get(), L"LibraryFolder", Var::str(L"C:\\Vendor\\SDK")).hr, S_OK);
    ComRef<IPersistStreamInit> persist;
    ASSERT_EQ(control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void **>(persist.put())), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ComRef<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    ComRef<IPersistStreamInit> other;
    CLSID clsid{};
    CLSIDFromProgID(kProgId, &clsid);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistStreamInit,
                               reinterpret_cast<void **>(other.put())),
              S_OK);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(other->Load(stream.get()), S_OK);
    ComRef<IDispatch> loaded;
    ASSERT_EQ(other->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(loaded.put())), S_OK);
    EXPECT_EQ(get(loaded.get(), L"EOSViewfinderRefreshInterval").value.asLong(), 70);
    EXPECT_EQ(get(loaded.get(), L"PS2ViewfinderRefreshInterval").value.asLong(), 35);
    EXPECT_EQ(get(loaded.get(), L"LibraryFolder").value.asText(), L"C:\\Vendor\\SDK");

    // A stream that claims a folder longer than the control keeps is refused, not read.
    ComRef<IStream> bad;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, bad.put()), S_OK);
    const DWORD forged[] = {0x58425454, 1, 50, 25, 100000};
    bad->Write(forged, sizeof forged, nullptr);
    bad->Seek(start, STREAM_SEEK_SET, nullptr);
    EXPECT_TRUE(FAILED(other->Load(bad.get())));
    EXPECT_EQ(get(loaded.get(), L"LibraryFolder").value.asText(), L"C:\\Vendor\\SDK");
}

TEST_F(ClientTest, ConnectionPointRefusesUnknownInterfacesAndCookies)
{
    ComRef<IConnectionPointContainer> container;
    ASSERT_EQ(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void **>(container.put())), S_OK);
    ComRef<IConnectionPoint> none;
    EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, none.put()), CONNECT_E_NOCONNECTION);
    ComRef<IEnumConnectionPoints> all;
    ASSERT_EQ(container->EnumConnectionPoints(all.put()), S_OK);
    IConnectionPoint *points[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(all->Next(2, points, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    IID iid{};
    points[0]->GetConnectionInterface(&iid);
    EXPECT_EQ(iid, DIID_ITetherboxActiveXXEvents);
    points[0]->Release();

    RecordingSink sink;
    connectSink(&sink);
    EXPECT_GT(sink.refs, 0);
    ASSERT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    cookie = 0;
    EXPECT_EQ(sink.refs, 0);
}

TEST_F(ClientTest, ModuleStaysLoadedWhileObjectsLive)
{
    HMODULE module = GetModuleHandleW(L"TetherboxActiveXXControl1.ocx");
    ASSERT_NE(module, nullptr);
    using CanUnload = HRESULT(STDAPICALLTYPE *)();
    auto canUnload = reinterpret_cast<CanUnload>(reinterpret_cast<void *>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE);
}

// ---------------------------------------------------------------------------------------------
// A tethering session on the simulated EOS camera (the stand-in SDK in the redist folder)
// ---------------------------------------------------------------------------------------------

struct SessionTest : ClientTest {
    void SetUp() override
    {
        ClientTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        connectSink(&sink);
        ASSERT_FALSE(HasFatalFailure());
        Bstr folder(fs::path(TBX_REDIST_DIR).wstring());
        ASSERT_EQ(vt->put_LibraryFolder(folder.get()), S_OK);
        ASSERT_EQ(vt->OpenCameraEnumeration(), S_OK) << narrow(lastErrorDescription());
        LONG eos = 0;
        ASSERT_EQ(vt->OpenCameraEnumeration_GetEOSNr(&eos), S_OK);
        ASSERT_GE(eos, 1);
        ASSERT_EQ(vt->Connect(CamModEOS, 0), S_OK) << narrow(lastErrorDescription());
    }
    void TearDown() override
    {
        if (vt) {
            vt->RemoteEnd();
            vt->Disconnect();
            vt->CloseCameraEnumeration();
        }
        ClientTest::TearDown();
    }
    void remoteStart(VARIANT_BOOL probe)
    {
        Bstr cache((scratch.path() / L"cache").wstring());
        ASSERT_EQ(vt->RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, probe, cache.get()), S_OK)
            << narrow(lastErrorDescription());
    }

    RecordingSink sink;
    ScratchFolder scratch{"tbx-com"};
};

TEST_F(SessionTest, ConnectionRecordIsReadFromTheControlsCopy)
{
    TxCamModType model{};
    ASSERT_EQ(vt->get_Connect_CameraModel(&model), S_OK);
    EXPECT_EQ(model, CamModEOS);
    Bstr name, modelName;
    ASSERT_EQ(vt->OpenCameraEnumeration_GetModel(CamModEOS, 0, name.put()), S_OK);
    ASSERT_EQ(vt->get_Connect_CameraModelName(modelName.put()), S_OK);
    EXPECT_FALSE(modelName.text().empty());
    EXPECT_EQ(modelName.text(), name.text());
}

TEST_F(SessionTest, ProbingWithABooleanOfOneReportsProgressToTheSink)
{
    remoteStart(1);
    ASSERT_FALSE(HasFatalFailure());
    pumpUntil([&] { return sink.count(kOnRemoteProbeParamEvent) > 0; });
    ASSERT_GT(sink.count(kOnRemoteProbeParamEvent), 0u);
    EXPECT_EQ(sink.last(kOnRemoteProbeParamEvent)->args.size(), 1u);
    VARIANT_BOOL shooting = 0;
    ASSERT_EQ(vt->get_RemoteStart_DoSupportShootingPara(&shooting), S_OK);
    EXPECT_TRUE(shooting == VARIANT_TRUE || shooting == VARIANT_FALSE);
}

TEST_F(SessionTest, ShootingDeliversRemoteEventsWhileTheClientPumpsAndTheDownloadLandsInTheFile)
{
    remoteStart(0);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(vt->RemoteTakePicture(), S_OK) << narrow(lastErrorDescription());
    ASSERT_TRUE(pumpUntil([&] {
        const auto *e = sink.last(kOnRemoteEvent);
        return e != nullptr && e->args[0].asLong() == RemoteEventCallbackReleaseImageReady;
    })) << "no image-ready event";
    // The picture waiting for transfer: validity 2 carries the picture type, no count.
    const auto *e = sink.last(kOnRemoteEvent);
    ASSERT_EQ(e->args.size(), 4u);
    EXPECT_EQ(e->args[1].asLong(), NotifyRemoteEventValid2);
    EXPECT_EQ(e->args[2].asLong(), 0);
    EXPECT_EQ(e->args[3].asLong(), TypeOfPicturePicture);
    Bstr file((scratch.path() / L"shot.jpg").wstring());
    ASSERT_EQ(vt->RemoteGetPicture(file.get(), PictureTypeFull), S_OK) << narrow(lastErrorDescription());
    EXPECT_GT(fs::file_size(scratch.path() / L"shot.jpg"), 0u);
    // EOS cameras report the transfer of a shot as the shot's progress.
    ASSERT_TRUE(pumpUntil([&] {
        const auto *p = sink.last(kOnRemoteTakePictureEvent);
        return p != nullptr && p->args[0].asLong() == 100;
    }));
}

TEST_F(SessionTest, LiveViewFramesArriveAsFilesWithEventsAndAreRemovedOnStop)
{
    remoteStart(0);
    ASSERT_FALSE(HasFatalFailure());
    Bstr folder((scratch.path() / L"frames").wstring());
    ASSERT_EQ(vt->RemoteStartViewfinder(ViewfinderCallbackFilename, VARIANT_FALSE, folder.get()), S_OK)
        << narrow(lastErrorDescription());
    ASSERT_TRUE(pumpUntil([&] { return sink.count(kOnViewfinderEvent) >= 3; })) << "no frames";
    const auto *frame = sink.last(kOnViewfinderEvent);
    ASSERT_EQ(frame->args.size(), 15u);
    const std::wstring name = frame->args[0].asText();
    EXPECT_EQ(name.rfind(folder.text() + L"\\", 0), 0u) << narrow(name);
    EXPECT_TRUE(fs::exists(name)) << narrow(name);
    EXPECT_EQ(frame->args[1].asLong(), 0);
    EXPECT_EQ(frame->args[3].v.vt, VT_BOOL);
    LONG histogramTotal = 0;
    for (LONG level = 0; level < 256; ++level) {
        LONG count = 0;
        ASSERT_EQ(vt->RemoteGetViewfinderHistogram(HistogramColorBright, level, &count), S_OK);
        histogramTotal += count;
    }
    EXPECT_GT(histogramTotal, 0);
    ASSERT_EQ(vt->RemoteStopViewfinder(), S_OK);
    EXPECT_FALSE(fs::exists(name));
}

TEST_F(SessionTest, StreamModeHandsTheFrameAsA32BitAddressValidDuringTheEvent)
{
    remoteStart(0);
    ASSERT_FALSE(HasFatalFailure());
    std::vector<std::pair<unsigned, unsigned>> starts; // first two bytes of each frame
    sink.onEvent = [&](const RecordingSink::Event &e) {
        if (e.id != kOnViewfinderEvent)
            return;
        const auto address = static_cast<std::uintptr_t>(static_cast<std::uint32_t>(e.args[1].asLong()));
        const auto *bytes = reinterpret_cast<const unsigned char *>(address);
        if (bytes != nullptr && e.args[2].asLong() >= 2)
            starts.emplace_back(bytes[0], bytes[1]);
    };
    Bstr folder((scratch.path() / L"frames").wstring());
    ASSERT_EQ(vt->RemoteStartViewfinder(ViewfinderCallbackStream, VARIANT_FALSE, folder.get()), S_OK)
        << narrow(lastErrorDescription());
    ASSERT_TRUE(pumpUntil([&] { return sink.count(kOnViewfinderEvent) >= 2; }));
    vt->RemoteStopViewfinder();
    const auto *frame = sink.last(kOnViewfinderEvent);
    EXPECT_EQ(frame->args[0].asText(), L"");
    EXPECT_GT(frame->args[2].asLong(), 0);
    ASSERT_FALSE(starts.empty());
    for (const auto &start : starts)
        EXPECT_EQ(start, std::make_pair(0xFFu, 0xD8u)) << "a JPEG starts with its SOI marker";
}

TEST_F(SessionTest, WithoutASinkFramesAreStillWritten)
{
    ASSERT_EQ(point->Unadvise(cookie), S_OK);
    cookie = 0;
    remoteStart(0);
    ASSERT_FALSE(HasFatalFailure());
    Bstr folder((scratch.path() / L"frames").wstring());
    ASSERT_EQ(vt->RemoteStartViewfinder(ViewfinderCallbackFilename, VARIANT_FALSE, folder.get()), S_OK);
    auto frames = [&] {
        std::size_t n = 0;
        for (const auto &entry : fs::directory_iterator(scratch.path() / L"frames"))
            n += entry.path().extension() == ".jpg" ? 1 : 0;
        return n;
    };
    EXPECT_TRUE(pumpUntil([&] { return frames() >= 2; }));
    EXPECT_TRUE(sink.events.empty());
    vt->RemoteStopViewfinder();
}

TEST_F(SessionTest, CameraCollectionListsAndDownloadsPictures)
{
    Bstr temp(scratch.path().wstring());
    ASSERT_EQ(vt->OpenCameraCollection(temp.get(), VARIANT_TRUE), S_OK) << narrow(lastErrorDescription());
    LONG count = 0;
    ASSERT_EQ(vt->OpenCameraCollection_GetNrOfPictures(&count), S_OK);
    ASSERT_GT(count, 0);
    Bstr name;
    ASSERT_EQ(vt->OpenCameraCollection_NameOfImage(0, name.put()), S_OK);
    EXPECT_FALSE(name.text().empty());
    Bstr thumbnail((scratch.path() / L"thumb.jpg").wstring());
    ASSERT_EQ(vt->OpenCameraCollection_GetThumbnail(0, thumbnail.get()), S_OK) << narrow(lastErrorDescription());
    EXPECT_GT(fs::file_size(scratch.path() / L"thumb.jpg"), 0u);
    EXPECT_EQ(vt->OpenCameraCollection_GetThumbnail(count + 5, thumbnail.get()), E_UNEXPECTED);
    EXPECT_EQ(lastErrorDescription(),
              L"PictureNumber too high. Picture " + std::to_wstring(count + 5) + L" does not exists");
    Bstr file((scratch.path() / L"picture.jpg").wstring());
    ASSERT_EQ(vt->GetPicture(0, VARIANT_FALSE, file.get()), S_OK) << narrow(lastErrorDescription());
    EXPECT_GT(fs::file_size(scratch.path() / L"picture.jpg"), 0u);
    EXPECT_EQ(vt->CloseCameraCollection(), S_OK);
}

TEST_F(ClientTest, ALegacyPowerShotIsDrivenLikeAnyOtherCamera)
{
    const sim::ControlClient legacy(std::string(TBX_REDIST_DIR) + "/CDSDK.dll");
    ASSERT_EQ(legacy.LoadScenario(R"({"cameras": [{"id": "g5", "family": "PowerShot legacy",
        "description": "Canon PowerShot G5", "volumes": [{"items": [{"file": "IMG_0001.JPG"},
        {"file": "IMG_0002.JPG"}]}]}]})"),
              0u)
        << legacy.lastError();
    ScratchFolder scratch{"tbx-com-legacy"};
    Bstr folder(fs::path(TBX_REDIST_DIR).wstring());
    ASSERT_EQ(vt->put_LibraryFolder(folder.get()), S_OK);
    ASSERT_EQ(vt->OpenCameraEnumeration(), S_OK) << narrow(lastErrorDescription());
    LONG powerShots = 0;
    ASSERT_EQ(vt->OpenCameraEnumeration_GetPowerShotNr(&powerShots), S_OK);
    EXPECT_EQ(powerShots, 1);
    ASSERT_EQ(vt->Connect(CamModPowerShot, 0), S_OK) << narrow(lastErrorDescription());
    Bstr owner(L"Booth");
    EXPECT_EQ(vt->SetOwnerName(owner.get()), S_OK) << narrow(lastErrorDescription());

    Bstr temp(scratch.path().wstring());
    ASSERT_EQ(vt->OpenCameraCollection(temp.get(), VARIANT_TRUE), S_OK) << narrow(lastErrorDescription());
    LONG count = 0;
    ASSERT_EQ(vt->OpenCameraCollection_GetNrOfPictures(&count), S_OK);
    EXPECT_EQ(count, 2);
    Bstr thumbnail((scratch.path() / L"thumb.jpg").wstring());
    EXPECT_EQ(vt->OpenCameraCollection_GetThumbnail(1, thumbnail.get()), S_OK) << narrow(lastErrorDescription());
    Bstr file((scratch.path() / L"picture.jpg").wstring());
    ASSERT_EQ(vt->GetPicture(1, VARIANT_FALSE, file.get()), S_OK) << narrow(lastErrorDescription());
    EXPECT_GT(fs::file_size(scratch.path() / L"picture.jpg"), 1000u);
    EXPECT_EQ(vt->DeletePicture(1), S_OK) << narrow(lastErrorDescription());
    ASSERT_EQ(vt->OpenCameraCollection_GetNrOfPictures(&count), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(vt->CloseCameraCollection(), S_OK);

    Bstr cache((scratch.path() / L"cache").wstring());
    EXPECT_EQ(vt->RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, VARIANT_TRUE, cache.get()), S_OK)
        << narrow(lastErrorDescription());
    EXPECT_EQ(vt->CloseCameraEnumeration(), S_OK);
    legacy.Reset();
}

// ---------------------------------------------------------------------------------------------
// Module lifetime
// ---------------------------------------------------------------------------------------------

/// A whole session of one control on the calling thread, in an apartment the caller opened.
void runSession()
{
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
    ComRef<ITetherboxActiveXX> vt;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITetherboxActiveXX,
                               reinterpret_cast<void **>(vt.put())),
              S_OK);
    Bstr folder(fs::path(TBX_REDIST_DIR).wstring());
    ASSERT_EQ(vt->put_LibraryFolder(folder.get()), S_OK);
    ASSERT_EQ(vt->OpenCameraEnumeration(), S_OK);
    ASSERT_EQ(vt->Connect(CamModEOS, 0), S_OK);
    Bstr none(L"");
    ASSERT_EQ(vt->RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, VARIANT_FALSE, none.get()), S_OK);
    ASSERT_EQ(vt->CloseCameraEnumeration(), S_OK);
}

TEST(ModuleLifetime, TheModuleUnloadsWhenFreedAlsoAfterASessionOnAThreadThatEnded)
{
    // The thread ends without closing its apartment: its last references go during its exit.
    std::thread([] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        runSession();
    }).join();
    Apartment apartment;
    runSession();
    CoFreeUnusedLibraries();
    EXPECT_EQ(GetModuleHandleW(L"TetherboxActiveXXControl1.ocx"), nullptr) << "the host freed it, yet it stays";
    runSession();
}

} // namespace
} // namespace tbx::test
