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
// ratio whose pair was not measured (it computes NaN, 0 or infinity; it may
// print why) prints "RATIO <name> = not measured".
void AddRatio(const std::string& name, std::function<double()> compute, int order = 0);

// Registers a step of the end of the run, after the ratios print: stopping
// what a benchmark started (its services). Steps run once, latest first.
void AtTeardown(std::function<void()> step);

// Where kelsor-bench keeps its temporary files.
std::string BenchFolder();

}  // namespace kelsor::bench
