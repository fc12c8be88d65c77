#include "ControlFixture.h"

namespace tbx::test {

void ControlTest::SetUp()
{
    platform::setClock(&clock_);
    platform::setOsVersionOverride(platform::OsVersion{6, 1});
    control_ = std::make_unique<TTetherboxActiveX>([this] {
        EngineUnderTest box;
        log_ = box.log;
        ed_ = box.ed;
        ps_ = box.ps;
        ed_->cameras = {"Canon EOS Test"};
        ed_->startInfo.DoSupportViewfinder = 1;
        ed_->frameSource = [script = script_](JpegBlob &jpeg, ViewfinderPositionType &metadata) {
            ++script->pulls;
            jpeg = script->frame;
            if (script->fill)
                script->fill(metadata);
            return std::uint32_t{0};
        };
        ++enginesBuilt_;
        if (prepare_)
            prepare_(box);
        return std::move(box.engine);
    });
}

void ControlTest::TearDown()
{
    control_.reset();
    platform::setClock(nullptr);
    platform::clearOsVersionOverride();
}

void ControlTest::connect()
{
    control().OpenCameraEnumeration();
    control().Connect(CamModEOS, 0);
}

void ControlTest::startRemote()
{
    connect();
    control().RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, false, "");
}

void ControlTest::startViewfinder(int mode, const std::string &dir)
{
    startRemote();
    control().RemoteStartViewfinder(mode, false, dir);
}

} // namespace tbx::test
