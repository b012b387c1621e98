// What a host page does first on a machine the installer has prepared, run by Wine's cscript:
//
//     cscript //nologo installed_control.js
//
// Nothing is set up here: the registration, the registry value that names the configuration
// directory and the modules' indexes must all come from the installation. The control is
// created by its ProgID, given a stand-in window and asked for the first chapter of Genesis
// from the installed modules. Prints "PASS name" or "FAIL name: detail" per check and exits
// with the number of failures.

var failed = 0;

function check(name, ok, detail) {
    if (!ok) {
        failed++;
    }
    WScript.Echo((ok ? "PASS " : "FAIL ") + name + (ok || detail === undefined ? "" : ": " + detail));
}

var qlx = null;
try {
    qlx = new ActiveXObject("quillax.qlx");
} catch (e) {
    check("the installed control is created by its ProgID", false, e.message);
    WScript.Quit(1);
}
check("the installed control is created by its ProgID", true);
check("it reads the installed bible.ini", qlx.getcfg("LANGUAGE=") === "gb2312", qlx.getcfg("LANGUAGE="));

// The parts of a browser window that showing a chapter touches.
var body = { innerHTML: "", offsetHeight: 600, scrollTop: 0, scrollHeight: 0 };
var document = {
    charset: "",
    defaultCharset: "",
    bgColor: "",
    URL: "file:///C:/host/index.htm",
    body: body,
    styleSheets: { length: 1, item: function (i) { return i === 0 ? { href: "bible.css" } : null; } },
    anchors: { item: function () { return null; } }
};
var window = {
    document: document,
    event: null,
    screen: { width: 1024, height: 768 },
    scrollTo: function () {},
    scrollBy: function () {},
    execScript: function () {},
    focus: function () {}
};
qlx.init(window, "Corvex");
qlx.openchahtm("01001", 0, "");
var html = body.innerHTML;
// 起初 ... 创造天地: Genesis 1:1 of the installed main text.
check("the first chapter of Genesis is shown", html.indexOf("\u8d77\u521d") >= 0 &&
      html.indexOf("\u521b\u9020\u5929\u5730") >= 0, html.substring(0, 200));
check("its verses get their anchors", html.indexOf("<a name=2>") >= 0, html.substring(0, 200));
check("the page bar links the next chapter", html.indexOf("<a href=01002>") >= 0, html.substring(0, 200));
WScript.Quit(failed);
