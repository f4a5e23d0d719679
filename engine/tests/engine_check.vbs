' What a script client reaches: CreateObject by either ProgID gives the
' IDispatch of IWXEngineEx, whose methods answer from the empty lists (a
' script cannot call EngineInit); IWXEngine's methods are not on it.
Option Explicit
Dim eng, eng1, sites, counts, failures
failures = 0

Sub Check(condition, text)
    If condition Then
        WScript.Echo "ok   " & text
    Else
        WScript.Echo "FAIL " & text
        failures = failures + 1
    End If
End Sub

Set eng = CreateObject("WXEngine.WXEngine")
Set eng1 = CreateObject("WXEngine.WXEngine.1")
Check TypeName(eng) = "IWXEngineEx", "TypeName is " & TypeName(eng)
Check TypeName(eng1) = "IWXEngineEx", "versioned ProgID gives the same interface"
Check eng.GetIndexByName(0, "explorer.exe") = -1, "GetIndexByName on the empty list"
Check eng.GetNameByIndex(2, 0) = "", "GetNameByIndex outside the list"
Check eng.GetCheckOfItemInList(16, 0) = False, "GetCheckOfItemInList outside the list"
eng.SetCheckOfItemInList 0, 0, True
eng.GetTop10Ex sites, counts
Check Err.Number = 0, "SetCheckOfItemInList and GetTop10Ex"

On Error Resume Next
eng.WXBlock "t", "http://a.b/", "http://c.d/", "p.exe", 0, 0, 0, 0, sites, counts
Check Err.Number = 438, "WXBlock is not on the dispatch interface (error " & Err.Number & ")"
Err.Clear
eng.EngineInit "x", "c:\", True, True, True, True, True, True, True, True, 0, 0, 0
Check Err.Number = 438, "EngineInit is not on the dispatch interface"
On Error GoTo 0

WScript.Quit failures
