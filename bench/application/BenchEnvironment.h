// The benchmarks run in a temporary home of their own (the host object lists the machine's
// ports, and that writes the port identities to the user's settings), on the in-process virtual
// MIDI devices unless a benchmark names another MIDI system.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace dorvo2bench {

class BenchEnvironment {
public:
    explicit BenchEnvironment(const char* midiSystem) {
        setenv("DORVO2_MIDI", midiSystem, 1);
        char pattern[] = "/tmp/dorvo2-bench-XXXXXX";
        if (mkdtemp(pattern)) {
            m_home = pattern;
            for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
                setenv(name, m_home.c_str(), 1);
            setenv("DORVO2_REGISTRY_DIR", (m_home + "/registry").c_str(), 1);
        }
    }
    ~BenchEnvironment() {
        std::error_code ignored;
        if (!m_home.empty())
            std::filesystem::remove_all(m_home, ignored);
    }

private:
    std::string m_home;
};

inline int runBenchmarks(int argc, char** argv, const char* midiSystem = "virtual") {
    BenchEnvironment environment(midiSystem);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace dorvo2bench
