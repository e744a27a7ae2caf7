// A window of "another program" for the end-to-end runs: it prints its id, then obeys lines on
// standard input: "resize W H", "destroy" (it says "destroyed" once the server has done it);
// the end of the input ends it.
// Usage: halvane_test_window X Y WIDTH HEIGHT

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s X Y WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    const int x = std::atoi(argv[1]), y = std::atoi(argv[2]);
    const unsigned width = unsigned(std::atoi(argv[3])), height = unsigned(std::atoi(argv[4]));
    // Grey, so that a window nobody draws into is told from one drawn black.
    XSetWindowAttributes attributes{};
    attributes.background_pixel = 0x808080;
    attributes.override_redirect = True;
    const Window window = XCreateWindow(display, DefaultRootWindow(display), x, y, width, height, 0, CopyFromParent,
                                        InputOutput, CopyFromParent, CWBackPixel | CWOverrideRedirect, &attributes);
    XStoreName(display, window, "halvane test window");
    XMapWindow(display, window);
    XSync(display, False);
    std::printf("0x%lx\n", static_cast<unsigned long>(window));
    std::fflush(stdout);

    char line[128];
    bool destroyed = false;
    while (std::fgets(line, sizeof line, stdin)) {
        unsigned w = 0, h = 0;
        if (!destroyed && std::sscanf(line, "resize %u %u", &w, &h) == 2 && w > 0 && h > 0) {
            XResizeWindow(display, window, w, h);
            XSync(display, False);
            std::printf("resized\n");
        } else if (!destroyed && std::strncmp(line, "destroy", 7) == 0) {
            XDestroyWindow(display, window);
            XSync(display, False);
            destroyed = true;
            std::printf("destroyed\n");
        }
        std::fflush(stdout);
    }
    XCloseDisplay(display);
    return 0;
}
