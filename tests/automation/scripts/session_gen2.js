// A tethering session on a simulated PowerShot generation-2 camera from JScript, with an EOS
// camera attached as well (the scenario comes from TBX_SIM_SCENARIO): only the PowerShot is
// listed, and connect, battery, owner name limits, zoom, the shutter, a picture downloaded with
// progress and live-view frames without metadata of their own.
// Usage: cscript //nologo session_gen2.js <folder of the stand-in SDKs>
var fails = 0;
function check(condition, what) {
    WScript.Echo((condition ? "ok   " : "FAIL ") + what);
    if (!condition) fails++;
}
function failureOf(call) {
    try { call(); } catch (e) { return e; }
    return null;
}

var ev = {
    lastRemote: -1, frames: 0, lastFrame: "", lastValid: null, downloaded: 0,
    OnRemoteEvent: function (eventNum, eventValid, numOfEvents, typeOfPicture) { ev.lastRemote = eventNum; },
    OnViewfinderEvent: function (fileName, address, size, valid) { ev.frames++; ev.lastFrame = fileName; ev.lastValid = valid; },
    OnRemoteTakePictureEvent: function (percentage) { ev.downloaded = percentage; }
};

var fso = new ActiveXObject("Scripting.FileSystemObject");
var scratch = fso.GetSpecialFolder(2) + "\\tbx-js-gen2";
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
check(control.OpenCameraEnumeration_GetPowerShotGen2Nr() === 1, "one generation-2 camera enumerated");
check(control.OpenCameraEnumeration_GetEOSNr() === 0, "the EOS family was not searched");
control.Connect(3, 0);
check(control.Connect_CameraModel === 3, "connected to the PowerShot");
check(control.Connect_CameraModelName === "Canon PowerShot G7 X Mark II", "model " + control.Connect_CameraModelName);
check(control.Connect_Battery_BatterySource === 2 && control.Connect_Battery_BatteryStatus === 1,
      "battery 50: lithium, normal");

control.SetOwnerName("1234567890123456789012345678901");
var e = failureOf(function () { control.SetOwnerName("12345678901234567890123456789012"); });
check(e !== null && e.description === "The owner name to set is too long", "32 characters are too many");

control.RemoteStart(0, 1, false, "");
check(control.RemoteStart_DoSupportZoom, "remote mode offers the zoom");
control.RemoteSetZoomPos(9);
check(control.RemoteGetZoomPos_CurrentZoomPos() === 9 && control.RemoteGetZoomPos_MaxZoomPos() === 20, "zoom at 9 of 20");
control.RemoteBULBMode(true);
control.RemoteBULBMode(false);
check(true, "bulb does nothing");

control.RemoteTakePicture();
check(waitFor(function () { return ev.lastRemote === 8; }, 30000), "image-ready event while pumping");
control.RemoteGetPicture(scratch + "\\shot.jpg", 1);
check(fso.FileExists(scratch + "\\shot.jpg") && fso.GetFile(scratch + "\\shot.jpg").Size > 1000,
      "picture downloaded to the file");
check(waitFor(function () { return ev.downloaded === 100; }, 30000), "download progress reaches 100");

control.RemoteStartViewfinder(0, false, scratch + "\\frames");
check(waitFor(function () { return ev.frames >= 3; }, 30000), "live view frames arrive as events");
check(ev.lastValid === false, "generation-2 frames carry no metadata of their own");
control.RemoteStopViewfinder();
control.RemoteEnd();

control.Disconnect();
control.CloseCameraEnumeration();
support.Disconnect();
fso.DeleteFolder(scratch, true);

WScript.Echo("done, fails=" + fails);
WScript.Quit(fails);
