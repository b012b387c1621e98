// quillets.js - run once in every new popup document.
//
// A popup shows text to read. Its links carry page keys that only the main page can open, so a
// click on one must not send the popup's own document somewhere else.
document.onclick = function () {
    var e = window.event;
    if (!e) return true;
    for (var el = e.srcElement; el; el = el.parentElement) {
        if (el.tagName == "A") {
            e.returnValue = false;
            e.cancelBubble = true;
            return false;
        }
    }
    return true;
};
