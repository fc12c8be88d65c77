#include "ControlFixture.h"

#include <fstream>
#include <iterator>

namespace tbx::test {

namespace fs = std::filesystem;

std::string failureOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::exception &e) {
        return e.what();
    }
    return "";
}

ScratchFolder::ScratchFolder()
{
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != nullptr ? std::string(info->test_suite_name()) + "-" + info->name() : "scratch";
    for (char &c : name)
        if (c == '/')
            c = '_';
    path_ = fs::temp_directory_path() / ("tbx-control-" + name);
    std::error_code ec;
    fs::remove_all(path_, ec);
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::vector<std::uint8_t> fileBytes(const std::string &name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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
