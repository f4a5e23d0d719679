' A script client of the popup service, through its ProgID.
Option Explicit
Dim service
Set service = CreateObject("Quellix.QLX")
WScript.Echo "Enable=" & CInt(service.Enable)
WScript.Echo "Normalize=" & CInt(service.Normalize)
WScript.Echo "Normalize2=" & CInt(service.Normalize2)
WScript.Echo "NormalizeFitToDesktop=" & CInt(service.NormalizeFitToDesktop)
WScript.Echo "NormalizeAddBorders=" & CInt(service.NormalizeAddBorders)
WScript.Echo "NormalizeAddMenuAndToolbar=" & CInt(service.NormalizeAddMenuAndToolbar)
WScript.Echo "Ignore=" & CInt(service.Ignore)
WScript.Echo "IgnoreCtrl=" & CInt(service.IgnoreCtrl)
WScript.Echo "IgnoreShift=" & CInt(service.IgnoreShift)
WScript.Echo "IgnoreAlt=" & CInt(service.IgnoreAlt)
WScript.Echo "BlockOnUserRequest=" & CInt(service.BlockOnUserRequest)
WScript.Echo "Block2=" & CInt(service.Block2("http://a.example.com/", "explorer.exe", 1, 2, 3, 4))
WScript.Echo "Block=" & CInt(service.Block("Title", "http://www.example.com/dir/page.html", _
    "http://ads.example.net/p?x=1", "explorer.exe", 10, 20, 300, 200))
WScript.Echo "BlockInternal=" & CInt(service.Block("Title", "http://www.example.com/", _
    "res://shdoclc.dll/navcancl.htm", "explorer.exe", 0, 0, 0, 0))
Set service = Nothing
