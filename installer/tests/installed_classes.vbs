' What a script client reaches once the setup program has run: the popup
' service of the installed QLX.exe and the engine, each found in the registry
' view of the client's own bitness. (The browser integrator is reached by the
' browser hosts: a script host here refuses any object with IObjectWithSite.)
Option Explicit
Dim service, engine
Set service = CreateObject("Quellix.QLX")
WScript.Echo "Enable=" & CInt(service.Enable)
Set service = Nothing
Set engine = CreateObject("WXEngine.WXEngine")
WScript.Echo "Engine=" & TypeName(engine)
