// Creates the engine control by its ProgID, as a host page does, and prints its build label:
//
//     cscript //nologo create_control.js      ->  "created Build 2026.12.07 21:00"
//
// It works only while the class, its ProgID and its type library are registered in the
// registry view of the cscript that runs it.
var qlx = new ActiveXObject("quillax.qlx");
WScript.Echo("created " + qlx.Ver);
