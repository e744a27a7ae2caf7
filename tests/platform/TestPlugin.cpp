// A tiny library for the DynamicLibrary tests.
#ifdef _WIN32
#define NUV_TEST_EXPORT extern "C" __declspec(dllexport)
#else
#define NUV_TEST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

NUV_TEST_EXPORT int NuvTestPluginAdd(int a, int b) {
    return a + b;
}

// Each loaded copy has its own counter, so two loads can be told apart.
static int counter = 0;

NUV_TEST_EXPORT int NuvTestPluginCount() {
    return ++counter;
}
