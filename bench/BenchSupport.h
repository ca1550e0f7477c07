#pragma once

#include <functional>
#include <string>

// Shared pieces of kelsor-bench: results recorded by benchmark name and the
// "RATIO <name> = <value>" lines printed after all benchmarks ran.
namespace kelsor::bench {

enum class Clock {
    Real,  // wall time: for work done in other processes (the service)
    Cpu,   // this process's CPU time: throughput of in-process code
};

// Fastest recorded time of one iteration of the named benchmark, in seconds
// (the fastest repetition is the one least disturbed by other work on the
// machine); 0 when the benchmark did not run.
double BestSeconds(const std::string& benchmarkName, Clock clock);

// Single-iteration wall times a benchmark records itself; the fastest one is
// the least disturbed by other work (other builds share these cores).
void RecordSample(const std::string& name, double seconds);
double FastestSample(const std::string& name);

// Registers a ratio to print at the end; lines print in ascending `order`. A
// ratio that computes NaN (not measured; it prints why) prints no line.
void AddRatio(const std::string& name, std::function<double()> compute, int order = 0);

// Where kelsor-bench keeps its temporary files.
std::string BenchFolder();

}  // namespace kelsor::bench
