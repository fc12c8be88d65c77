// A session on a simulated PTP PowerShot camera from JScript, run by a script host that Wine
// reports as Windows XP: list and connect, the owner name, a release announced and transferred in
// blocks with progress events, parameters, zoom and viewfinder frames in both delivery modes.
// With "modern" as the second argument the host runs on the prefix's default Windows, where the
// PTP family stays disabled. The camera comes from TBX_SIM_SCENARIO (ptp_camera.json).
// Usage: cscript //nologo ptp_session.js <folder of the stand-in SDKs> [xp|modern]
var fails = 0;
function check(condition, what) {
    WScript.Echo((condition ? "ok   " : "FAIL ") + what);
    if (!condition) fails++;
}
function failureOf(call) {
    try { call(); } catch (e) { return e; }
    return null;
}

var CamModPowerShot = 1, ReleaseModeOnlyToPC = 0, ReleaseModeBothPCAndCamera = 1;
var ReleaseDataKindTakeOnlyPicture = 1, RemoteEventCallbackReleaseComplete = 2;
var RemoteParamDriveMode = 6, RemoteParamImageMode = 7;

var ev = {
    released: false, percents: [], frames: 0, lastFrame: "",
    OnRemoteEvent: function (eventNum, eventValid, numOfEvents, typeOfPicture) {
        if (eventNum === RemoteEventCallbackReleaseComplete) ev.released = true;
    },
    OnRemoteTakePictureEvent: function (percentage) { ev.percents.push(percentage); },
    OnViewfinderEvent: function (fileName) { ev.frames++; ev.lastFrame = fileName; }
};

var modern = WScript.Arguments.length > 1 && WScript.Arguments(1) === "modern";
var fso = new ActiveXObject("Scripting.FileSystemObject");
var scratch = fso.GetSpecialFolder(2) + (modern ? "\\tbx-js-ptp-modern" : "\\tbx-js-ptp-xp");
if (fso.FolderExists(scratch)) fso.DeleteFolder(scratch, true);
fso.CreateFolder(scratch);

var control = new ActiveXObject("TetherboxActiveXXControl1.TetherboxActiveXX");
var support = new ActiveXObject("TetherboxTest.Support");
support.Connect(control, ev);
function waitFor(condition, ms) {
    for (var waited = 0; !condition() && waited < ms; waited += 50) support.Pump(50);
    return condition();
}

control.LibraryFolder = WScript.Arguments(0);
control.OpenCameraEnumeration();
if (modern) {
    check(control.OpenCameraEnumeration_GetPowerShotNr() === 0, "no PowerShot camera on a modern Windows");
    var refused = failureOf(function () { control.Connect(CamModPowerShot, 0); });
    check(refused !== null, "connecting the PTP camera fails: " + (refused && refused.description));
} else {
    check(control.OpenCameraEnumeration_GetPowerShotNr() === 1, "the PTP camera is listed");
    check(control.OpenCameraEnumeration_GetModel(CamModPowerShot, 0) === "Canon PowerShot G9",
          "model name " + control.OpenCameraEnumeration_GetModel(CamModPowerShot, 0));
    control.Connect(CamModPowerShot, 0);
    check(control.Connect_CameraModel === CamModPowerShot, "connected to the PowerShot camera");
    check(control.Connect_OwnerName === "Studio 2", "owner name read at connect: " + control.Connect_OwnerName);

    var owner31 = "Photo booth of the east wing 31";
    control.SetOwnerName(owner31);
    var e = failureOf(function () { control.SetOwnerName(owner31 + "2"); });
    check(e !== null && e.description === "The owner name to set is too long",
          "a 32-character owner name: " + (e && e.description));
    control.Disconnect();
    control.Connect(CamModPowerShot, 0);
    check(control.Connect_OwnerName === owner31, "the 31-character owner name stays: " + control.Connect_OwnerName);

    e = failureOf(function () {
        control.RemoteStart(ReleaseModeBothPCAndCamera, ReleaseDataKindTakeOnlyPicture, false, "");
    });
    check(e !== null && e.description === "Release to both camera and PC does not work for the connected camera",
          "release to both PC and camera refused: " + (e && e.description));
    control.RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, false, "");

    control.RemoteTakePicture();
    check(waitFor(function () { return ev.released; }, 30000), "the release is announced");
    var shot = scratch + "\\shot.jpg";
    control.RemoteGetPicture(shot, 1);
    check(waitFor(function () { return ev.percents.length > 0 && ev.percents[ev.percents.length - 1] === 100; }, 30000),
          "transfer progress reaches 100");
    check(ev.percents.length >= 10, ev.percents.length + " progress events for blocks of 100000 bytes");
    check(fso.FileExists(shot) && fso.GetFile(shot).Size === 1600 * 1200 / 2, "the picture is written whole");

    control.RemoteSetRemoteParams_AvTvImageMode(18, 5, 10);
    control.RemoteGetCameraCacheParameters();
    var imageMode = control.RemoteGetRemoteParams(RemoteParamImageMode);
    check(imageMode === 18, "image mode 18 set: " + imageMode);
    control.RemoteSetRemoteParams(RemoteParamDriveMode, 7);
    control.RemoteGetCameraCacheParameters();
    var driveMode = control.RemoteGetRemoteParams(RemoteParamDriveMode);
    check(driveMode === 7, "drive mode 7 (self-timer) set: " + driveMode);
    check(control.RemoteGetZoomPos_MaxOpticalZoomPos() === 4, "optical zoom ends before the limit 5");

    for (var canonThread = 0; canonThread < 2; canonThread++) {
        ev.frames = 0;
        control.RemoteStartViewfinder(0, canonThread === 1, scratch + "\\frames");
        check(waitFor(function () { return ev.frames >= 2; }, 30000), "viewfinder frames arrive, SDK thread " + canonThread);
        check(fso.FileExists(ev.lastFrame), "frame file " + ev.lastFrame);
        control.RemoteStopViewfinder();
        check(!fso.FileExists(ev.lastFrame), "stopping the viewfinder removes the frame files");
    }
    control.RemoteEnd();
    control.Disconnect();
}
control.CloseCameraEnumeration();
support.Disconnect();
fso.DeleteFolder(scratch, true);

WScript.Echo("done, fails=" + fails);
WScript.Quit(fails);
