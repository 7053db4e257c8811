' The plug-in called by name through its ProgID, as scripts and late-binding
' hosts call it. One line per call with the result, its type and the error;
' the test compares the whole output. A failing call stops nothing here:
' every call is followed by a look at Err.
Option Explicit
On Error Resume Next

Dim plugin, result, msg, arg1, arg2, other

Sub Show(what, value)
  If Err.Number <> 0 Then
    WScript.Echo what & ": error " & Err.Number
    Err.Clear
  Else
    WScript.Echo what & ": " & value & " (" & TypeName(value) & ")"
  End If
End Sub

Set plugin = CreateObject("ORVN_TB_plugin2.clsORVNPlugIn")
Show "CreateObject", TypeName(plugin)

result = Empty : result = plugin.PluginName : Show "PluginName", result
result = Empty : result = plugin.PluginName : Show "PluginName again", result
result = Empty : result = plugin.Enable : Show "Enable", result
result = Empty : result = plugin.Disable : Show "Disable", result
result = Empty : result = plugin.Term : Show "Term", result

result = Empty : result = plugin.MessageHandle(1, 2, 3) : Show "MessageHandle(1, 2, 3)", result
result = Empty : result = plugin.MessageHandle(-7, 2147483647, -2147483647) : Show "MessageHandle(-7, 2147483647, -2147483647)", result
' The arguments are Longs by reference: a script passes values. A variable
' goes by reference as a Variant, which the typed parameter refuses (as on
' Windows), and stays as it was.
msg = CLng(5) : arg1 = CLng(6) : arg2 = CLng(7)
result = Empty : result = plugin.MessageHandle(msg, arg1, arg2) : Show "MessageHandle(variables)", result
Show "  variables afterwards", msg & " " & arg1 & " " & arg2

result = Empty : result = plugin.Init("Script host", "TrailBeam.dll", Nothing) : Show "Init(texts, no helper)", result
result = Empty : result = plugin.Init("", "", Nothing) : Show "Init(empty texts, no helper)", result

' The host's module-information class is not registered here: ModuleInfo
' reports it instead of giving an object.
Set result = Nothing : Set result = plugin.ModuleInfo : Show "ModuleInfo", (result Is Nothing)

result = Empty : result = plugin.NoSuchMember : Show "NoSuchMember", result

' After Term every member answers as before, also on a second object.
Set other = CreateObject("ORVN_TB_plugin2.clsORVNPlugIn")
result = Empty : result = other.PluginName : Show "second object PluginName", result
result = Empty : result = other.Enable : Show "second object Enable", result
result = Empty : result = plugin.Disable : Show "first object Disable", result
Set other = Nothing
Set plugin = Nothing
Show "released", "yes"
