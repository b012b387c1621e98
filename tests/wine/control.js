// The engine control as a page's script drives it, run by Wine's cscript:
//
//     cscript //nologo control.js CFG_DIR FILEVERSION
//
// CFG_DIR is the configuration directory of a test installation (Windows path ending in "\",
// made by make_installation.py), FILEVERSION the library's version string ("2026,12,07,2100").
// The library must be registered. Every member of Iqlx is called by name (late binding through
// the type library); script objects stand in for the browser's window, document, body, event
// and elements and record what the engine does to them.
//
// Prints "PASS name" or "FAIL name: detail" per check and exits with the number of failures.

var passed = 0;
var failed = 0;

function check(name, ok, detail) {
    if (ok) {
        passed++;
        WScript.Echo("PASS " + name);
    } else {
        failed++;
        WScript.Echo("FAIL " + name + (detail === undefined ? "" : ": " + detail));
    }
}

function equal(name, actual, expected) {
    check(name, actual === expected, "got [" + actual + "], expected [" + expected + "]");
}

function contains(text, part) {
    return String(text).indexOf(part) >= 0;
}

function has(name, text, part) {
    check(name, contains(text, part), "[" + part + "] not in [" + text + "]");
}

function lacks(name, text, part) {
    check(name, !contains(text, part), "[" + part + "] found in [" + text + "]");
}

// ---- the stand-in browser -------------------------------------------------------------------------

function makeElement(tagName, attributes, innerText) {
    var element = {
        tagName: tagName,
        id: "",
        title: "",
        innerText: innerText,
        innerHTML: innerText,
        outerHTML: "<" + tagName + attributes + ">" + innerText + "</" + tagName + ">"
    };
    return element;
}

function makeWindow() {
    var log = [];
    var sheet = { href: "bible.css" };
    var anchors = {};
    var body = { innerHTML: "", offsetHeight: 600, scrollTop: 0, scrollHeight: 0 };
    var document = {
        charset: "",
        defaultCharset: "",
        bgColor: "",
        URL: "file:///C:/host/index.htm",
        body: body,
        styleSheets: { length: 1, item: function (i) { return i === 0 ? sheet : null; } },
        anchors: { item: function (name) { return anchors[name] === undefined ? null : anchors[name]; } }
    };
    var window = {
        document: document,
        event: null,
        screen: { width: 1024, height: 768 },
        scrollTo: function (x, y) { log.push("scrollTo " + x + "," + y); },
        scrollBy: function (x, y) { log.push("scrollBy " + x + "," + y); body.scrollTop += y; },
        execScript: function (code) { log.push("execScript " + code); },
        focus: function () { log.push("focus"); }
    };
    return { window: window, document: document, body: body, sheet: sheet, anchors: anchors, log: log };
}

// Makes element the source of the window's current event.
function fire(host, element, keyCode, button) {
    host.window.event = {
        srcElement: element,
        keyCode: keyCode === undefined ? 0 : keyCode,
        altKey: false,
        ctrlKey: false,
        shiftKey: false,
        button: button === undefined ? 1 : button,
        returnValue: true,
        cancelBubble: false
    };
    return host.window.event;
}

function logText(host) {
    return host.log.join("|");
}

// ---- set-up ----------------------------------------------------------------------------------------

var cfgDir = WScript.Arguments(0);
var fileVersion = WScript.Arguments(1);
var shell = new ActiveXObject("WScript.Shell");
var fso = new ActiveXObject("Scripting.FileSystemObject");
// The engine reads the configuration directory when the library is loaded, that is when the
// first object is made.
shell.RegWrite("HKCU\\Software\\quillax\\", cfgDir, "REG_SZ");

function configFile() {
    var stream = fso.OpenTextFile(cfgDir + "bible.ini", 1);
    var text = stream.ReadAll();
    stream.Close();
    return text;
}

var qlx = new ActiveXObject("quillax.qlx");

// ---- Ver, Changed ------------------------------------------------------------------------------------

(function () {
    // "2026,12,07,2100" -> "Build 2026.12.07 21:00"
    var parts = fileVersion.split(",");
    var digits = parts.slice(3).join(" ");
    var expected = "Build " + parts[0] + "." + parts[1] + "." + parts[2] + " " +
        digits.substring(0, digits.length - 2) + ":" + digits.substring(digits.length - 2);
    equal("Ver is the build label of the version resource", qlx.Ver, expected);

    equal("a new control starts with Changed 0", qlx.Changed, 0);
    qlx.Changed = 7;
    equal("Changed returns the value put", qlx.Changed, 7);
    qlx.Changed = -123456;
    equal("Changed returns a negative value put", qlx.Changed, -123456);
    var second = new ActiveXObject("quillax.qlx");
    equal("creating another control resets the shared Changed", qlx.Changed, 0);
    second = null;
})();

// ---- getcfg ----------------------------------------------------------------------------------------------

(function () {
    equal("getcfg reads LANGUAGE", qlx.getcfg("LANGUAGE="), "gb2312");
    equal("getcfg reads the stored search words", qlx.getcfg("SEARCH="), "\u6069\u5178");
    equal("getcfg with CSSBGCOLOR and one digit returns that colour", qlx.getcfg("CSSBGCOLOR=2"), "#FFF4E0");
    equal("getcfg of a missing key leaves the result unset", qlx.getcfg("NOSUCHKEY="), "");
    equal("an ordinary write returns nothing", qlx.getcfg("SEARCH=grace"), "");
    equal("the written value reads back", qlx.getcfg("SEARCH="), "grace");
    has("the write reached bible.ini", configFile(), "SEARCH=grace\r\n");
    qlx.getcfg("SEARCH=two words");
    has("a value with a blank is stored quoted", configFile(), "SEARCH=\"two words\"\r\n");
    equal("the key may be written in lower case", qlx.getcfg("search="), "two words");
})();

// ---- FixResult -----------------------------------------------------------------------------------------

(function () {
    var copied = "<A href=\"file:///C:/x/cfg/01001\">Gen 1</A> and <A href=\"file:///C:/x/cfg/01002\">Gen 2</A>" +
        " <A href=\"http://host/b/intro.htm\">intro</A> <B><B><B>bold</B></B>";
    equal("FixResult brackets chapter links and drops their folder", qlx.FixResult(copied),
        "[Gen 1] and [Gen 2] <A href=\"http://host/b/intro.htm\">intro</A> <B>bold</B>");
    equal("FixResult of an empty text", qlx.FixResult(""), "");
})();

// ---- methods without a usable window do nothing -------------------------------------------------------

(function () {
    var lonely = new ActiveXObject("quillax.qlx");
    // Each call in turn; a member that raises an error is listed.
    var raised = [];
    function attempt(name, call) {
        try {
            call();
        } catch (e) {
            raised.push(name + " (" + e.message + ")");
        }
    }
    attempt("init(null)", function () { lonely.init(null, ""); });
    attempt("MouseOver", function () { lonely.MouseOver(); });
    attempt("MouseOut", function () { lonely.MouseOut(); });
    attempt("MouseClick", function () { lonely.MouseClick(); });
    attempt("pF10", function () { lonely.pF10(); });
    attempt("openchahtm", function () { lonely.openchahtm("01001", 0, ""); });
    attempt("GetWheel", function () { lonely.GetWheel("H2024-03-01"); });
    attempt("linkmap", function () { lonely.linkmap("01"); });
    attempt("AddBibleLink", function () { lonely.AddBibleLink(); });
    var bare = { document: null, event: null };
    attempt("init(window without document)", function () { lonely.init(bare, ""); });
    attempt("MouseClick without document", function () { lonely.MouseClick(); });
    attempt("openchahtm without document", function () { lonely.openchahtm("01001", 0, ""); });
    equal("members return quietly without a window, document or body", raised.join(", "), "");
    check("a window without a document is left as it was", bare.document === null && bare.event === null);
    lonely = null;
})();

// ---- pages in the window -------------------------------------------------------------------------------

var page = makeWindow();
qlx.init(page.window, "Corvex");

(function () {
    qlx.Changed = 0;
    qlx.openchahtm("01001", 0, "");
    var html = page.body.innerHTML;
    has("openchahtm writes the chapter body", html, "In the beginning God created the heaven and the earth.");
    has("the verses get their anchors", html, "<a name=2>");
    has("the page bar links the next chapter", html, "<a href=01002>");
    has("LINKCTRL follows <body>", html, "<div class=linkctrl>");
    equal("the document charset is LANGUAGE", page.document.charset, "gb2312");
    equal("the default charset is LANGUAGE", page.document.defaultCharset, "gb2312");
    equal("the style sheet moves into the configuration directory", page.sheet.href, cfgDir + "bible.css");
    equal("the chapter page background is colour 5", page.document.bgColor, "#FFFEF9");
    check("a body write sets bit 1 of Changed", (qlx.Changed & 2) === 2, "Changed " + qlx.Changed);
    has("the window gets the focus", logText(page), "focus");

    // The chapter shown again: no new body, only the scroll to the verse.
    page.anchors["2"] = { tagName: "A", offsetTop: 40, offsetParent: { tagName: "TD", offsetTop: 0, offsetParent: null } };
    page.body.innerHTML = "kept";
    qlx.openchahtm("01001", 0, "2");
    equal("reopening the chapter shown does not rebuild it", page.body.innerHTML, "kept");
    has("reopening scrolls to the verse anchor", logText(page), "scrollTo 0,40");

    // Arguments of other types are taken as script would convert them.
    qlx.openchahtm("01002", "0", 0);
    has("openchahtm takes numbers and texts for its VARIANT arguments", page.body.innerHTML, "Thus the heavens");
})();

// ---- clicks and keys -----------------------------------------------------------------------------------

(function () {
    qlx.openchahtm("01001", 0, "");
    var next = makeElement("A", " href=\"01002\"", "next");
    var event = fire(page, next);
    page.log.length = 0;
    qlx.MouseClick();
    has("a click on a chapter link opens it", page.body.innerHTML, "Thus the heavens");
    has("a click navigation runs fix()", logText(page), "execScript fix()");
    equal("the click is cancelled", event.returnValue, false);
    equal("the click does not bubble", event.cancelBubble, true);

    var back = makeElement("A", " href=\"bk\"", "back");
    back.id = "bar";
    fire(page, back);
    qlx.MouseClick();
    has("the back link returns to the previous page", page.body.innerHTML, "In the beginning");

    var input = makeElement("INPUT", "", "");
    var inputEvent = fire(page, input);
    page.body.innerHTML = "unchanged";
    qlx.MouseClick();
    equal("a click on an INPUT does nothing", page.body.innerHTML, "unchanged");
    equal("a click on an INPUT is not cancelled", inputEvent.returnValue, true);

    qlx.openchahtm("01002", 0, "");
    qlx.openchahtm("01001", 0, "");
    var before = page.body.innerHTML;
    var plus = fire(page, makeElement("BODY", "", ""), 43);
    qlx.pF10();
    equal("the key + on a chapter page is cancelled", plus.returnValue, false);
    // The switched page is the body read back in lower case and laid out again.
    check("the key + switches the chapter layout",
          page.body.innerHTML !== before && contains(page.body.innerHTML, "in the beginning god"),
          page.body.innerHTML);
    fire(page, makeElement("BODY", "", ""), 43);
    qlx.pF10();

    // Blank toggles the auto-scroll. Its thread timer scrolls only while the host processes
    // messages, which cscript does not do while a script runs, so here the key is taken and
    // nothing scrolls at once; quillax_com_tests runs the scrolling on a message loop.
    page.log.length = 0;
    var start = fire(page, makeElement("BODY", "", ""), 32);
    qlx.pF10();
    equal("blank is taken by the control", start.returnValue, false);
    var stop = fire(page, makeElement("BODY", "", ""), 32);
    qlx.pF10();
    equal("a second blank is taken as well", stop.returnValue, false);
    equal("blank scrolls nothing before its timer runs", logText(page), "");
})();

// ---- calendar, pictures, links, search -------------------------------------------------------------

(function () {
    page.body.innerHTML = "";
    qlx.GetWheel("H2024-03-01");
    check("GetWheel writes the reading calendar", page.body.innerHTML.length > 0, "empty body");

    qlx.linkmap("01");
    has("linkmap writes the picture table page", page.body.innerHTML, "pic\\tu0111.jpg");
    qlx.linkmap(12);
    has("linkmap takes a number as its group", page.body.innerHTML, "tuc1-1.jpg");

    qlx.openchahtm("01001", 0, "");
    qlx.Changed = 0;
    qlx.AddBibleLink();
    equal("AddBibleLink marks links added and the body written", qlx.Changed, 3);
    page.body.innerHTML = "untouched";
    qlx.AddBibleLink();
    equal("a second AddBibleLink does nothing until Changed is reset", page.body.innerHTML, "untouched");

    var results = makeWindow();
    qlx.SearchWord("Beginning", "", 1, results.window);
    var found = results.body.innerHTML;
    has("SearchWord lists the verse as a chapter link", found, "<a href=01001>");
    has("SearchWord marks the word", found, "<font color=red>Beginning</font>");
    lacks("SearchWord lists only verses with the word", found, "Finished");
    equal("SearchWord remembers the words", qlx.getcfg("SEARCH="), "Beginning");
    equal("SearchWord sets Changed to 1 and writes a body", qlx.Changed, 3);
})();

// ---- hover --------------------------------------------------------------------------------------------------

(function () {
    // The popup opens and closes on thread timers; here the members only schedule them, so
    // the page sees nothing of them at once.
    qlx.openchahtm("01002", 0, "");
    var link = makeElement("A", " href=\"01001\"", "Gen 1");
    var shown = page.body.innerHTML;
    page.log.length = 0;
    var over = fire(page, link);
    qlx.MouseOver();
    var out = fire(page, link);
    qlx.MouseOut();
    fire(page, link);
    qlx.MouseOver();
    equal("hovering a link leaves the page as it was until the popup's delay", page.body.innerHTML, shown);
    equal("hovering a link calls nothing of the window at once", logText(page), "");
    check("hovering a link leaves its events alone", over.returnValue === true && out.returnValue === true,
          "returnValue " + over.returnValue + ", " + out.returnValue);
    // The popup window exists now, but it is not on the screen: the keys are the page's.
    var key = fire(page, makeElement("BODY", "", ""), 43);
    qlx.pF10();
    check("with the popup window hidden the key + switches the layout",
          key.returnValue === false && page.body.innerHTML !== shown &&
          contains(page.body.innerHTML, "thus the heavens"),
          "returnValue " + key.returnValue + ", body " + page.body.innerHTML);
    qlx.MouseOut();
})();

qlx = null;
CollectGarbage();
WScript.Echo(passed + " passed, " + failed + " failed");
WScript.Quit(failed);
