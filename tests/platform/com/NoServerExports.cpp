// A shared library that is no in-process server: it exports none of the server functions.
extern "C" __attribute__((visibility("default"))) int dorvo2TestNotAServer() {
    return 1;
}
