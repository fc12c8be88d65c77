' A tethering session on the simulated EOS camera through the control's automation interface:
' enumerate, connect, remote start with probing, parameters, shoot and download with events,
' live view frames to files, the camera collection, and error descriptions.
' Usage: cscript //nologo session.vbs <folder of the stand-in SDK>
' Events come through the test-support object, because this script host cannot bind them.
Option Explicit

Dim fails : fails = 0
Sub Check(condition, what)
    If condition Then
        WScript.Echo "ok   " & what
    Else
        WScript.Echo "FAIL " & what
        fails = fails + 1
    End If
End Sub

Class Events
    ' One declaration a line: Wine's VBScript rejects "Public a, b" in a class.
    Public probe
    Public remote
    Public lastRemote
    Public frames
    Public lastFrame
    Public downloaded
    Private Sub Class_Initialize()
        probe = 0 : remote = 0 : lastRemote = -1 : frames = 0 : lastFrame = "" : downloaded = 0
    End Sub
    Public Sub OnRemoteProbeParamEvent(percentage)
        probe = probe + 1
    End Sub
    Public Sub OnRemoteEvent(eventNum, eventValid, numOfEvents, typeOfPicture)
        remote = remote + 1
        lastRemote = eventNum
    End Sub
    Public Sub OnViewfinderEvent(fileName, address, size, valid, zx, zy, rx, ry, rw, rh, ix, iy, cw, ch, zoom)
        frames = frames + 1
        lastFrame = fileName
    End Sub
    Public Sub OnRemoteTakePictureEvent(percentage)
        downloaded = percentage
    End Sub
End Class

Dim fso, scratch, control, support, ev, waited, n, i, name
Set fso = CreateObject("Scripting.FileSystemObject")
scratch = fso.GetSpecialFolder(2) & "\tbx-vbs-session"
If fso.FolderExists(scratch) Then fso.DeleteFolder scratch, True
fso.CreateFolder scratch

Set control = CreateObject("TetherboxActiveXXControl1.TetherboxActiveXX")
Set support = CreateObject("TetherboxTest.Support")
Set ev = New Events
support.Connect control, ev
Check TypeName(control) = "ITetherboxActiveXX", "created by program identifier"
Check Abs(control.Version - 8.9) < 0.0001, "Version is 8.9"

' Errors reach the script with the control's message.
On Error Resume Next
n = control.RemoteGetViewfinderHistogram(0, 256)
Check Err.Number = &H8000FFFF, "histogram level 256 fails with E_UNEXPECTED"
Check Err.Description = "Value parameter in method RemoteGetViewfinderHistogrammust be within 0..255", "histogram message"
Check Err.Source = "TetherboxActiveXXControl1.TetherboxActiveXX", "error source is the program identifier"
Err.Clear
control.LibraryFolder = String(256, "x")
Check InStr(Err.Description, "Parameter LibraryFolder") = 1, "an over-long path is refused naming the parameter"
Err.Clear
On Error GoTo 0

control.LibraryFolder = WScript.Arguments(0)
control.OpenCameraEnumeration
Check control.OpenCameraEnumeration_GetEOSNr >= 1, "one EOS camera enumerated"
name = control.OpenCameraEnumeration_GetModel(2, 0)
Check Len(name) > 0, "model name " & name
control.Connect 2, 0
Check control.Connect_CameraModel = 2, "connected to the EOS camera"
Check control.Connect_CameraModelName = name, "connection record names the model"

control.RemoteStart 0, 1, 1, scratch & "\cache"
waited = 0
Do While ev.probe = 0 And waited < 30000
    support.Pump 50 : waited = waited + 50
Loop
Check ev.probe > 0, "probing (ProbeRemoteParameters = 1) reports progress"
Check Len(control.RemoteStart_GetRemoteParamSupported(22)) > 0, "supported ISO values"
control.RemoteGetCameraCacheParameters
n = control.RemoteGetRemoteParams(22)
control.RemoteSetRemoteParams 22, n
Check control.RemoteGetNumberOfAvailableShots >= 0, "available shots"

control.RemoteTakePicture
waited = 0
Do While ev.lastRemote <> 8 And waited < 30000
    support.Pump 50 : waited = waited + 50
Loop
Check ev.lastRemote = 8, "image-ready event while pumping"
control.RemoteGetPicture scratch & "\shot.jpg", 1
Check fso.FileExists(scratch & "\shot.jpg"), "picture downloaded to the file"
waited = 0
Do While ev.downloaded < 100 And waited < 30000
    support.Pump 50 : waited = waited + 50
Loop
Check ev.downloaded = 100, "transfer progress reaches 100"

control.RemoteStartViewfinder 0, False, scratch & "\frames"
waited = 0
Do While ev.frames < 3 And waited < 30000
    support.Pump 50 : waited = waited + 50
Loop
Check ev.frames >= 3, "live view frames arrive as events"
Check fso.FileExists(ev.lastFrame), "frame file " & ev.lastFrame
control.RemoteStopViewfinder
Check Not fso.FileExists(ev.lastFrame), "stopping live view removes the frame files"
control.RemoteEnd

On Error Resume Next
control.RemoteTakePicture
Check Err.Description = "Camera not in remote mode", "shooting after RemoteEnd: " & Err.Description
Err.Clear
On Error GoTo 0

control.OpenCameraCollection scratch, True
n = control.OpenCameraCollection_GetNrOfPictures
Check n > 0, n & " pictures on the card"
Check Len(control.OpenCameraCollection_NameOfImage(0)) > 0, "first picture has a name"
control.GetPicture 0, False, scratch & "\card.jpg"
Check fso.FileExists(scratch & "\card.jpg"), "picture from the card downloaded"
control.CloseCameraCollection

control.Disconnect
control.CloseCameraEnumeration
support.Disconnect
fso.DeleteFolder scratch, True

WScript.Echo "done, fails=" & fails
WScript.Quit fails
