// A tethering session on the simulated EOS camera from JScript: enumerate, connect, remote start
// with probing, shoot and download with events, live view frames to files, the collection, and
// error descriptions. Usage: cscript //nologo session.js <folder of the stand-in SDK>
// Events come through the test-support object, because this script host cannot bind them.
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
    probe: 0, lastRemote: -1, frames: 0, lastFrame: "", downloaded: 0,
    OnRemoteProbeParamEvent: function (percentage) { ev.probe++; },
    OnRemoteEvent: function (eventNum, eventValid, numOfEvents, typeOfPicture) { ev.lastRemote = eventNum; },
    OnViewfinderEvent: function (fileName) { ev.frames++; ev.lastFrame = fileName; },
    OnRemoteGetPictureEvent: function (percentage) { ev.downloaded = percentage; }
};

var fso = new ActiveXObject("Scripting.FileSystemObject");
var scratch = fso.GetSpecialFolder(2) + "\\tbx-js-session";
if (fso.FolderExists(scratch)) fso.DeleteFolder(scratch, true);
fso.CreateFolder(scratch);

var control = new ActiveXObject("TetherboxActiveXXControl1.TetherboxActiveXX");
var support = new ActiveXObject("TetherboxTest.Support");
support.Connect(control, ev);
function waitFor(condition, ms) {
    for (var waited = 0; !condition() && waited < ms; waited += 50) support.Pump(50);
    return condition();
}

var e = failureOf(function () { control.RemoteGetViewfinderHistogram(0, 256); });
check(e !== null && (e.number >>> 0) === 0x8000FFFF, "histogram level 256 fails with E_UNEXPECTED");
check(e !== null && e.description === "Value parameter in method RemoteGetViewfinderHistogrammust be within 0..255",
      "histogram message");
e = failureOf(function () { control.Connect(2, 0); });
check(e !== null && e.description === "No camera enumeration is open: call OpenCameraEnumeration first",
      "connect before enumerating: " + (e && e.description));

control.LibraryFolder = WScript.Arguments(0);
control.OpenCameraEnumeration();
check(control.OpenCameraEnumeration_GetEOSNr() >= 1, "one EOS camera enumerated");
control.Connect(2, 0);
check(control.Connect_CameraModel === 2, "connected to the EOS camera");

control.RemoteStart(0, 1, true, scratch + "\\cache");
check(waitFor(function () { return ev.probe > 0; }, 30000), "probing reports progress");
control.RemoteTakePicture();
check(waitFor(function () { return ev.lastRemote === 8; }, 30000), "image-ready event while pumping");
control.RemoteGetPicture(scratch + "\\shot.jpg", 1);
check(fso.FileExists(scratch + "\\shot.jpg"), "picture downloaded to the file");

control.RemoteStartViewfinder(0, false, scratch + "\\frames");
check(waitFor(function () { return ev.frames >= 3; }, 30000), "live view frames arrive as events");
check(fso.FileExists(ev.lastFrame), "frame file " + ev.lastFrame);
control.RemoteStopViewfinder();
check(!fso.FileExists(ev.lastFrame), "stopping live view removes the frame files");
control.RemoteEnd();

control.OpenCameraCollection(scratch, false);
var count = control.OpenCameraCollection_GetNrOfPictures();
check(count > 0, count + " pictures on the card");
e = failureOf(function () { control.OpenCameraCollection_GetThumbnail(0, scratch + "\\thumb.jpg"); });
check(e !== null && e.description === "Thumbnail not received since not set in OpenCameraCollection",
      "thumbnail without thumbnails: " + (e && e.description));
control.CloseCameraCollection();

control.Disconnect();
control.CloseCameraEnumeration();
support.Disconnect();
fso.DeleteFolder(scratch, true);

WScript.Echo("done, fails=" + fails);
WScript.Quit(fails);
