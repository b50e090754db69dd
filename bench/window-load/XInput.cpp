// Input for bench/window-load.sh on an X display without a window manager:
//   bench_x_input unfocus            takes the keyboard focus from every window: the window
//                                    that had it becomes inactive
//   bench_x_input keys TITLE KEY...  gives the focus to the top-level window whose title
//                                    starts with TITLE and types each KEY (a key name as
//                                    XStringToKeysym knows it, "alt+" before it for Alt)
#include <X11/Xlib.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

Window FindTopLevel(Display* display, const std::string& titlePrefix) {
    Window root = DefaultRootWindow(display);
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, root, &root, &parent, &children, &count) == 0) {
        return 0;
    }
    for (unsigned i = 0; i < count && found == 0; ++i) {
        char* title = nullptr;
        if (XFetchName(display, children[i], &title) != 0 && title != nullptr) {
            if (std::strncmp(title, titlePrefix.c_str(), titlePrefix.size()) == 0) {
                found = children[i];
            }
            XFree(title);
        }
    }
    XFree(children);
    return found;
}

bool TypeKey(Display* display, Window window, std::string key) {
    unsigned state = 0;
    if (key.rfind("alt+", 0) == 0) {
        state = Mod1Mask;
        key.erase(0, 4);
    }
    const KeySym symbol = XStringToKeysym(key.c_str());
    if (symbol == NoSymbol) {
        return false;
    }
    // Qt takes the modifiers of a sent key event from its state field.
    XKeyEvent event{};
    event.display = display;
    event.window = window;
    event.root = DefaultRootWindow(display);
    event.time = CurrentTime;
    event.same_screen = True;
    event.keycode = XKeysymToKeycode(display, symbol);
    event.state = state;
    event.type = KeyPress;
    XSendEvent(display, window, True, KeyPressMask, reinterpret_cast<XEvent*>(&event));
    event.type = KeyRelease;
    XSendEvent(display, window, True, KeyReleaseMask, reinterpret_cast<XEvent*>(&event));
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command != "unfocus" && !(command == "keys" && argc > 3)) {
        std::fprintf(stderr, "usage: bench_x_input unfocus | keys TITLE KEY...\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "bench_x_input: no X display\n");
        return 1;
    }
    int status = 0;
    if (command == "unfocus") {
        XSetInputFocus(display, None, RevertToNone, CurrentTime);
        XSync(display, False);
    } else if (const Window window = FindTopLevel(display, argv[2]); window == 0) {
        std::fprintf(stderr, "bench_x_input: no window titled %s...\n", argv[2]);
        status = 1;
    } else {
        XSetInputFocus(display, window, RevertToNone, CurrentTime);
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (int i = 3; i < argc; ++i) {
            if (!TypeKey(display, window, argv[i])) {
                std::fprintf(stderr, "bench_x_input: unknown key %s\n", argv[i]);
                status = 1;
            }
        }
    }
    XCloseDisplay(display);
    return status;
}
