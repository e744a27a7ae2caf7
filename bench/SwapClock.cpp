// Loaded into the screensaver with LD_PRELOAD by bench/frame_rate.sh: writes one line per buffer
// swap ("swap SECONDS CALLED": when the swap returned, and when it was called) and one per sleep
// of the main thread ("sleep FROM TO"), wall-clock seconds, into the file SWAP_CLOCK_FILE names.
// The frames are counted from outside the program, where the picture leaves it; the sleeps let
// the start-up be told apart from its fixed waits.
struct SDL_Window;

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int g_file = -1;

double Now() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// One write per line, so a run ended by a signal keeps every line written before it.
void Note(const char* text) {
    if (g_file < 0) return;
    ssize_t ignored = write(g_file, text, std::strlen(text));
    (void)ignored;
}

bool OnMainThread() {
    return syscall(SYS_gettid) == getpid();
}

__attribute__((constructor)) void Open() {
    const char* path = std::getenv("SWAP_CLOCK_FILE");
    if (path) g_file = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

template <typename Call>
int TimedSleep(Call call) {
    if (!OnMainThread()) return call();
    const double from = Now();
    const int result = call();
    char line[80];
    std::snprintf(line, sizeof line, "sleep %.6f %.6f\n", from, Now());
    Note(line);
    return result;
}

} // namespace

extern "C" {

void SDL_GL_SwapWindow(SDL_Window* window) {
    static auto next = Next<void (*)(SDL_Window*)>("SDL_GL_SwapWindow");
    const double called = Now();
    next(window);
    char line[96];
    std::snprintf(line, sizeof line, "swap %.6f %.6f\n", Now(), called);
    Note(line);
}

// The engine seeds its random numbers from the clock, and they pick the camera shots. With
// SWAP_CLOCK_SEED set every run gets that seed instead, so runs with the same seed start with
// the same shots and their frame rates compare like with like.
void srand(unsigned seed) {
    static auto next = Next<void (*)(unsigned)>("srand");
    if (const char* fixed = std::getenv("SWAP_CLOCK_SEED")) seed = unsigned(std::strtoul(fixed, nullptr, 10));
    next(seed);
}

int clock_nanosleep(clockid_t clock, int flags, const timespec* request, timespec* remain) {
    static auto next = Next<int (*)(clockid_t, int, const timespec*, timespec*)>("clock_nanosleep");
    return TimedSleep([&] { return next(clock, flags, request, remain); });
}

int nanosleep(const timespec* request, timespec* remain) {
    static auto next = Next<int (*)(const timespec*, timespec*)>("nanosleep");
    return TimedSleep([&] { return next(request, remain); });
}

} // extern "C"
