#include "devhost/host_session.h"

#include "engine/testing/fake_host.h"

namespace quillax {

void PrepareSmallDesktop(FakeHost& host) {
    host.event.screenWidth = 1024;
    host.event.screenHeight = 768;
    host.cursorX = 200;
    host.cursorY = 150;
    host.maxCharWidth = 16;
    host.bodyOffsetHeight = 600;
    host.url = u"file:///quillax/host.htm";
    host.Popup().contentHeight = 120;
}

}  // namespace quillax
