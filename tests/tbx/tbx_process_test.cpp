// tbx run as a process against the simulated EOS camera (the built stand-ins, which tbx finds by
// itself), on its virtual clock so that the camera's waits cost no real time.
#include "Scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using tbx::test::ScratchFolder;

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string &text)
{
    std::string q = "'";
    for (char c : text)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string readFile(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool isJpeg(const fs::path &file)
{
    const std::string bytes = readFile(file);
    return bytes.size() > 4 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xD8;
}

const std::string kInterrupt = "<Ctrl-C>";

template <class Base>
class TbxProcessBase : public Base {
protected:
    /// Runs tbx in the test's folder with \p args (and \p input on its standard input). The input
    /// kInterrupt instead sends Ctrl-C once tbx asks for an answer.
    Result tbx(const std::vector<std::string> &args, const std::string &input = "")
    {
        std::string command = "cd " + quoted(dir_.string()) + " && env -u TBX_SIM_SCENARIO " + quoted(TBX_EXE) +
                              " --virtual-clock --timeout 20";
        for (const std::string &arg : args)
            command += " " + quoted(arg);
        if (input == kInterrupt) {
            // At most a second of polling for the prompt; tbx blocks on the pipe until then. The pipe
            // stays open until tbx has ended, as a terminal's input does: a sanitizer's runtime may
            // hand the signal to tbx only after an end of input would already have been read.
            command = "cd " + quoted(dir_.string()) + " && rm -f .fifo && mkfifo .fifo && (" + command +
                      " <.fifo >.stdout 2>.stderr & pid=$!; exec 3>.fifo; i=0; "
                      "while ! grep -q 'Type yes' .stderr && [ $i -lt 100 ]; do sleep 0.01; i=$((i+1)); done; "
                      "kill -INT $pid; wait $pid; status=$?; exec 3>&-; exit $status)";
        } else {
            std::ofstream(dir_ / ".stdin") << input;
            command += " <.stdin >.stdout 2>.stderr";
        }
        const int status = std::system(command.c_str());
        Result r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = readFile(dir_ / ".stdout");
        r.err = readFile(dir_ / ".stderr");
        return r;
    }
    fs::path path(const std::string &name) const { return dir_ / name; }
    std::vector<std::string> filesIn(const std::string &folder) const
    {
        std::vector<std::string> names;
        if (fs::is_directory(path(folder)))
            for (const auto &entry : fs::directory_iterator(path(folder)))
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    ScratchFolder scratch_{"tbx-process"};
    const fs::path &dir_ = scratch_.path();
};

using TbxProcess = TbxProcessBase<::testing::Test>;

TEST_F(TbxProcess, ListAndInfoDescribeTheSimulatedCamera)
{
    const Result list = tbx({"list"});
    ASSERT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(list.out, "0  EOS  Canon EOS 90D\n");

    const Result info = tbx({"info", "--json"});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("\"model\": \"Canon EOS 90D\""), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"bodyId\": \"083021000123\""), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"remote\": true"), std::string::npos) << info.out;

    const Result custom = tbx({"--scenario", R"({"cameras": [{"id": "a", "description": "Canon EOS R5"}]})", "list"});
    EXPECT_EQ(custom.out, "0  EOS  Canon EOS R5\n");
}

TEST_F(TbxProcess, ShootDownloadsEveryPictureAndNeverOverwritesOne)
{
    const Result first = tbx({"shoot", "--count", "2", "--dest", "out"});
    ASSERT_EQ(first.code, 0) << first.err;
    EXPECT_EQ(filesIn("out"), (std::vector<std::string>{"shot-0001.jpg", "shot-0002.jpg"}));
    EXPECT_TRUE(isJpeg(path("out/shot-0001.jpg")));
    EXPECT_NE(first.err.find("Picture 2/2 [####################] 100%"), std::string::npos) << first.err;

    const Result both = tbx({"shoot", "--kind", "both", "--dest", "out", "--json"});
    ASSERT_EQ(both.code, 0) << both.err;
    EXPECT_EQ(filesIn("out"),
              (std::vector<std::string>{"shot-0001.jpg", "shot-0002.jpg", "shot-0003-thumb.jpg", "shot-0003.jpg"}));
    EXPECT_LT(fs::file_size(path("out/shot-0003-thumb.jpg")), fs::file_size(path("out/shot-0003.jpg")));
    EXPECT_NE(both.out.find("\"shots\": 1"), std::string::npos) << both.out;

    const Result card = tbx({"shoot", "--mode", "camera", "--dest", "card"});
    ASSERT_EQ(card.code, 0) << card.err;
    EXPECT_EQ(card.out, "Picture 1 stored on the camera's card\n");
    EXPECT_TRUE(filesIn("card").empty());
}

TEST_F(TbxProcess, ABusyCameraEndsTheShotWithTheCamerasErrorText)
{
    const Result r = tbx({"--sim-fault", "busy:-1", "shoot", "--dest", "out"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Device busy"), std::string::npos) << r.err;
    EXPECT_TRUE(filesIn("out").empty());

    const Result json = tbx({"--json", "--sim-fault", "busy:-1", "bodyid"});
    EXPECT_EQ(json.code, 1);
    EXPECT_NE(json.out.find("\"ok\": false, \"exit\": 1, \"error\": "), std::string::npos) << json.out;
}

TEST_F(TbxProcess, AnUnplugDuringADownloadLeavesNoPartialFile)
{
    const Result card = tbx({"--sim-fault", "unplug:1000", "card", "get", "IMG_0003.CR3", "--dest", "raw.cr3"});
    EXPECT_EQ(card.code, 1);
    EXPECT_NE(card.err.find("EdsDownload"), std::string::npos) << card.err;
    EXPECT_FALSE(fs::exists(path("raw.cr3")));

    const Result shot = tbx({"--sim-fault", "unplug:1000", "shoot", "--dest", "out"});
    EXPECT_EQ(shot.code, 1);
    EXPECT_NE(shot.err.find("Communication disconnected"), std::string::npos) << shot.err;
    EXPECT_TRUE(filesIn("out").empty());
}

TEST_F(TbxProcess, UsageErrorsAndMissingCamerasHaveTheirOwnExitCodes)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> usage = {
        {{"explode"}, "unknown command \"explode\""},
        {{"shoot", "--count", "zero"}, "--count must be a number from 1 to 9999, not \"zero\""},
        {{"shoot", "--kind", "raw"}, "--kind must be thumbnail, picture or both"},
        {{"list", "--bogus"}, "unknown option --bogus"},
        {{"params", "set", "iso=123"}, "\"123\" is not a value of ISO"},
        {{"params", "set", "zoom=1"}, "\"zoom=1\" is not NAME=VALUE with a known parameter name"},
        {{"liveview", "--frames", "3", "--seconds", "1"}, "give --frames or --seconds, not both"},
        {{"card", "get", "99"}, "there is no picture 99 on the card (5 pictures)"},
        {{"--sim-fault", "melt:1", "bodyid"}, "bad --sim-fault melt:1"},
        {{"--camera", "1", "info"}, "--camera 1: there is 1 camera, numbered from 0"},
    };
    for (const auto &[args, message] : usage) {
        const Result r = tbx(args);
        EXPECT_EQ(r.code, 2) << args[0];
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    EXPECT_EQ(tbx({}).code, 2);
    EXPECT_EQ(tbx({"--help"}).code, 0);

    const Result none = tbx({"--scenario", R"({"cameras": []})", "info"});
    EXPECT_EQ(none.code, 3);
    EXPECT_NE(none.err.find("No camera found"), std::string::npos) << none.err;
    const Result noLibrary = tbx({"--library-folder", path("nowhere").string(), "info"});
    EXPECT_EQ(noLibrary.code, 1);
    EXPECT_NE(noLibrary.err.find("does not exist"), std::string::npos) << noLibrary.err;
    const Result clock = tbx({"clock", "2026-06-01T12:00:00"});
    EXPECT_EQ(clock.code, 1);
    EXPECT_NE(clock.err.find("Not supported by EOS cameras"), std::string::npos) << clock.err;
}

TEST_F(TbxProcess, LiveViewKeepsEveryFrameAndLeavesNoRotationFiles)
{
    const Result r = tbx({"liveview", "--frames", "5", "--dest", "live"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(filesIn("live"), (std::vector<std::string>{"frame-0001.jpg", "frame-0002.jpg", "frame-0003.jpg",
                                                         "frame-0004.jpg", "frame-0005.jpg"}));
    EXPECT_TRUE(isJpeg(path("live/frame-0005.jpg")));
    EXPECT_NE(r.out.find("5 frames in "), std::string::npos) << r.out;

    const Result stream = tbx({"liveview", "--stream", "--seconds", "1", "--json"});
    ASSERT_EQ(stream.code, 0) << stream.err;
    EXPECT_NE(stream.out.find("\"stream\": true"), std::string::npos) << stream.out;
    EXPECT_EQ(stream.out.find("\"frames\": 0,"), std::string::npos) << stream.out;
    EXPECT_EQ(stream.out.find("did not start like a JPEG"), std::string::npos);
}

TEST_F(TbxProcess, CardListingThumbnailsAndDownloads)
{
    const Result list = tbx({"card", "list", "--thumbnails", "thumbs", "--json"});
    ASSERT_EQ(list.code, 0) << list.err;
    EXPECT_NE(list.out.find("{\"number\": 2, \"name\": \"IMG_0003.CR3\", \"bytes\": 1500000, \"time\": \"20"), std::string::npos) << list.out;
    EXPECT_EQ(filesIn("thumbs"), (std::vector<std::string>{"IMG_0001.JPG.thumb.jpg", "IMG_0002.JPG.thumb.jpg",
                                                           "IMG_0004.JPG.thumb.jpg"}));

    const Result get = tbx({"card", "get", "img_0001.jpg"});
    ASSERT_EQ(get.code, 0) << get.err;
    EXPECT_TRUE(isJpeg(path("IMG_0001.JPG")));
    const Result again = tbx({"card", "get", "0"});
    EXPECT_EQ(again.code, 2) << "an existing file is never replaced without --force";
    EXPECT_EQ(tbx({"card", "get", "0", "--force"}).code, 0);
}

TEST_F(TbxProcess, ParameterFilesAndConfirmation)
{
    const Result save = tbx({"params", "save", "camera.params"});
    ASSERT_EQ(save.code, 0) << save.err;
    EXPECT_EQ(fs::file_size(path("camera.params")), 52u);
    EXPECT_EQ(tbx({"params", "load", "camera.params"}).code, 0);
    std::ofstream(path("broken.params")) << "not a parameter file at all, but long enough to be read as one?";
    const Result broken = tbx({"params", "load", "broken.params"});
    EXPECT_EQ(broken.code, 1);
    EXPECT_NE(broken.err.find("invalid data format"), std::string::npos) << broken.err;

    const Result set = tbx({"params", "set", "iso=400", "av=f/8", "--json"});
    ASSERT_EQ(set.code, 0) << set.err;
    EXPECT_NE(set.out.find("\"ISO\": {\"code\": 11"), std::string::npos) << set.out;
    EXPECT_NE(set.out.find("\"Av\": {\"code\": 19"), std::string::npos) << set.out;

    const Result declined = tbx({"format"}, "no\n");
    EXPECT_EQ(declined.code, 5);
    EXPECT_NE(declined.err.find("Every picture on it is lost"), std::string::npos);
    EXPECT_EQ(tbx({"format"}, "yes\n").code, 0);
}

// ---------------------------------------------------------------------------------------------
// One row per case: what tbx is given, the simulated fault, and what must come out.

struct Row {
    const char *name;
    std::vector<std::string> args;
    const char *fault;  ///< --sim-fault, or nullptr
    int code;
    const char *text;   ///< found in standard output or error ("" for none)
    /// "PATH" must exist afterwards, "!PATH" must not, "PATH=TEXT" must hold TEXT; "+PATH=TEXT"
    /// is written before tbx runs.
    std::vector<std::string> files = {};
    std::string input = "";
};

void PrintTo(const Row &row, std::ostream *os)
{
    *os << row.name;
}

const std::string kLongOwner = "1234567890123456789012345678901234567890";
const std::string kPtpScenario = R"({"cameras": [{"id": "p", "family": "PowerShot", "description": "PowerShot G9"}]})";
/// An EOS camera and a PowerShot generation-2 camera with a picture on its card.
const std::string kTwoFamilies = R"({"cameras": [{"id": "eos1", "family": "EOS"},
    {"id": "ps1", "family": "PowerShot generation 2",
     "volumes": [{"label": "SD1", "items": [{"file": "IMG_0001.JPG"}]}]}]})";

const Row kRows[] = {
    // An empty fault crashed every command that armed it; malformed ones passed unnoticed.
    {"EmptyFaultCardList", {"card", "list"}, "", 2, "bad --sim-fault  ("},
    {"EmptyFaultShoot", {"shoot", "--dest", "out"}, "", 2, "bad --sim-fault", {"!out"}},
    {"UnknownFaultInfo", {"info"}, "bogus:1", 2, "bad --sim-fault bogus:1"},
    {"UnknownEntryList", {"list"}, "fail:EdsNoSuch:1:1", 2, "no entry point EdsNoSuch"},
    {"NegativeUnplugList", {"list"}, "unplug:-5", 2, "bad --sim-fault unplug:-5"},
    // A setting the camera kept, or a value it did not report, is not a success.
    {"RefusedWhiteBalance", {"params", "set", "whitebalance=#8"}, nullptr, 1, "the camera kept auto (1)"},
    {"BusyDuringSet", {"params", "set", "iso=400"}, "busy:2", 1, "ISO (kept 100 (5))"},
    {"UnreadableValue", {"params", "show", "iso", "--json"}, "busy:-1", 1, "\"ok\": false"},
    {"SetThatTook", {"params", "set", "iso=400", "av=f/8"}, nullptr, 0, "Set Av to f/8.0 (19)"},
    // Live view never overwrites an earlier run's frames, and a camera that is gone ends it at once.
    {"LiveViewKeepsEarlierFrames", {"liveview", "--frames", "2", "--dest", "lv"}, nullptr, 0, "2 frames in ",
     {"+lv/frame-0001.jpg=earlier", "lv/frame-0001.jpg=earlier", "lv/frame-0002.jpg", "lv/frame-0003.jpg"}},
    {"UnplugDuringStream", {"liveview", "--stream", "--seconds", "1"}, "unplug:0", 1, "The camera was disconnected"},
    {"UnplugDuringFrames", {"liveview", "--frames", "20", "--dest", "lv"}, "unplug:30000", 1,
     "The camera was disconnected"},
    {"FramesOutlastTheTimeout", {"--timeout", "0.2", "liveview", "--frames", "8", "--dest", "lv"}, nullptr, 0,
     "8 frames in ", {"lv/frame-0008.jpg"}},
    // Smaller ones.
    {"SecondsZero", {"liveview", "--seconds", "0"}, nullptr, 2, "from 0.05 to 86400"},
    {"TimeoutZero", {"--timeout", "0", "list"}, nullptr, 2, "--timeout must be"},
    {"MonthThirteen", {"clock", "2025-13-02T03:04:05"}, nullptr, 2, "is not a date and time"},
    {"GetIntoNewFolder", {"card", "get", "1", "--dest", "newdir/"}, nullptr, 0, "Saved newdir/IMG_0002.JPG",
     {"newdir/IMG_0002.JPG"}},
    {"OwnerKeptShort", {"owner", kLongOwner}, nullptr, 0, "Owner set to 1234567890123456789012345678901\n"},
    {"FormatInterrupted", {"format"}, nullptr, 6, "Interrupted", {}, kInterrupt},
    {"ListBrokenScenario", {"--scenario", "{broken", "list"}, nullptr, 3, "No camera found"},
    // A busy camera is asked again for a while; one that stays busy ends with its own text.
    {"BusyShoot", {"shoot", "--dest", "out"}, "busy:1", 0, "Saved out/shot-0001.jpg", {"out/shot-0001.jpg"}},
    {"BusyCardGet", {"card", "get", "0"}, "busy:1", 0, "Saved IMG_0001.JPG", {"IMG_0001.JPG"}},
    {"BusyLiveView", {"liveview", "--frames", "1", "--dest", "lv"}, "busy:1", 0, "1 frames in ", {"lv/frame-0001.jpg"}},
    {"BusyBodyIDVerbose", {"--verbose", "bodyid"}, "busy:2", 0, "again in 200 ms"},
    {"AlwaysBusyBodyID", {"bodyid"}, "busy:-1", 1, "Device busy"},
    // The commands users expect.
    {"Version", {"--version"}, nullptr, 0, "tbx "},
    {"SetByLabels", {"params", "set", "exposurecompensation=+1", "whitebalance=daylight", "drivemode=continuous"},
     nullptr, 0, "Set ExposureCompensation to +1 (13)\nSet WhiteBalance to daylight (2)\n"},
    {"CardGetSeveral", {"card", "get", "0", "3-4", "--dest", "pics"}, nullptr, 0, "Downloading 3 pictures",
     {"pics/IMG_0001.JPG", "pics/IMG_0004.JPG", "pics/MVI_0005.MP4", "!pics/IMG_0002.JPG"}},
    {"CardGetAllNew", {"card", "get", "--all", "--new", "--dest", "pics"}, nullptr, 0, "1 already in pics/, left out",
     {"+pics/IMG_0002.JPG=kept", "pics/IMG_0002.JPG=kept", "pics/IMG_0001.JPG", "pics/MVI_0005.MP4"}},
    {"TimeLapseKeepsItsBeat", {"shoot", "--interval", "2", "--count", "3", "--dest", "tl"}, nullptr, 0,
     "Shot 2/3 at 2.0 s\nSaved tl/shot-0002.jpg", {"tl/shot-0003.jpg"}},
    {"Bulb", {"shoot", "--bulb", "2", "--dest", "b"}, nullptr, 0, "Saved b/shot-0001.jpg", {"b/shot-0001.jpg"}},
    {"ClockCannotBeRead", {"clock"}, nullptr, 1, "cannot be read from the computer"},
    {"ClockNowOnEOS", {"clock", "now"}, nullptr, 1, "Not supported by EOS cameras"},
    {"MjpegToStandardOutput", {"liveview", "--frames", "2", "--mjpeg", "-"}, nullptr, 0,
     "--tbxframe\r\nContent-Type: image/jpeg\r\nContent-Length: "},
    {"MjpegNeverOverwrites", {"liveview", "--frames", "2", "--mjpeg", "lv.mjpg"}, nullptr, 2, "lv.mjpg exists",
     {"+lv.mjpg=old", "lv.mjpg=old"}},
    {"CardListSizeAndDate",
     {"--scenario",
      R"({"cameras": [{"id": "a", "volumes": [{"label": "SD1", "items": [{"file": "IMG_0001.JPG"},
         {"file": "IMG_0002.CR2", "size": 2000000, "time": "2026-05-30T10:15:00"}]}]}]})",
      "card", "list"},
     nullptr, 0, "1  IMG_0002.CR2   2000000    2026-05-30 10:15:00\n"},
    {"CardGetAllKeepsWhatIsThere", {"card", "get", "--all", "--dest", "pics"}, nullptr, 2, "--new leaves it out",
     {"+pics/IMG_0002.JPG=kept", "pics/IMG_0002.JPG=kept", "!pics/IMG_0001.JPG"}},
    {"CardGetRangeOutside", {"card", "get", "3-9"}, nullptr, 2, "not within the card's pictures 0-4"},
    {"MjpegBesideJson", {"--json", "liveview", "--mjpeg", "-"}, nullptr, 2, "would both write to standard output"},
    {"IntervalZero", {"shoot", "--interval", "0", "--count", "2"}, nullptr, 2, "--interval must be a number from 0.1"},
    {"ParamsList", {"params", "list"}, nullptr, 0, "Metering               evaluative (4)       accepts: spot (2), "},
    // A PTP PowerShot camera is offered on Windows XP only.
    {"PtpShootOnWindowsXP", {"--windows-xp", "--scenario", kPtpScenario, "shoot", "--dest", "ptp"}, nullptr, 0,
     "Saved ptp/shot-0001.jpg", {"ptp/shot-0001.jpg"}},
    {"PtpHiddenOnModernWindows", {"--scenario", kPtpScenario, "list"}, nullptr, 3, "No camera found"},
    // A PowerShot generation-2 camera beside an EOS camera: the PowerShot is found first.
    {"Gen2List", {"--scenario", kTwoFamilies, "list"}, nullptr, 0,
     "0  PowerShot generation 2  Canon PowerShot G7 X Mark II\n"},
    {"Gen2Shoot", {"--scenario", kTwoFamilies, "shoot", "--dest", "out"}, nullptr, 0, "Saved out/shot-0001.jpg",
     {"out/shot-0001.jpg"}},
    {"Gen2Params", {"--scenario", kTwoFamilies, "params", "set", "iso=400"}, nullptr, 0, "Set ISO to 400"},
    {"Gen2LiveView", {"--scenario", kTwoFamilies, "liveview", "--frames", "2", "--dest", "lv"}, nullptr, 0,
     "2 frames in ", {"lv/frame-0002.jpg"}},
    {"Gen2Card", {"--scenario", kTwoFamilies, "card", "get", "0"}, nullptr, 0, "Saved IMG_0001.JPG", {"IMG_0001.JPG"}},
    {"Gen2Bulb", {"--scenario", kTwoFamilies, "shoot", "--bulb", "2"}, nullptr, 1,
     "This camera offers no bulb exposures from the computer"},
};

class TbxRows : public TbxProcessBase<::testing::TestWithParam<Row>> {};

TEST_P(TbxRows, ExitCodeTextAndFiles)
{
    const Row &row = GetParam();
    std::vector<std::string> args;
    if (row.fault != nullptr)
        args = {"--sim-fault", row.fault};
    args.insert(args.end(), row.args.begin(), row.args.end());
    for (const std::string &file : row.files)
        if (file[0] == '+') {
            const auto eq = file.find('=');
            fs::create_directories(path(file.substr(1, eq - 1)).parent_path());
            std::ofstream(path(file.substr(1, eq - 1))) << file.substr(eq + 1);
        }
    const Result r = tbx(args, row.input);
    EXPECT_EQ(r.code, row.code) << r.out << r.err;
    EXPECT_NE((r.out + r.err).find(row.text), std::string::npos) << r.out << r.err;
    for (const std::string &file : row.files) {
        const auto eq = file.find('=');
        if (file[0] == '+')
            continue;
        if (file[0] == '!')
            EXPECT_FALSE(fs::exists(path(file.substr(1)))) << file;
        else if (eq == std::string::npos)
            EXPECT_TRUE(fs::exists(path(file))) << file;
        else
            EXPECT_EQ(readFile(path(file.substr(0, eq))), file.substr(eq + 1)) << file;
    }
}

INSTANTIATE_TEST_SUITE_P(Tbx, TbxRows, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row> &row) { return std::string(row.param.name); });

} // namespace
