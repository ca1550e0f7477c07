#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

// What the end-to-end benchmarks share: the picture they recognise, a
// kelsor-server started by the bench with the client signed in to it, and the
// CPU-time measures of both processes.
namespace kelsor::bench {

// The process's application object (widgets, offscreen unless a platform is
// set), created on first use.
void EnsureGuiApp();

// The picture the end-to-end and engine benchmarks recognise (a PNG file):
// text large enough that the service does not upscale it, so both sides do
// the same recognition work.
const std::string& BenchPicture();

// CPU seconds used so far by this process (all threads).
double OwnCpuSeconds();

// Makes the service named `label` the one the client talks to, starting it with
// `engineArguments` (e.g. {"--engine", "tesseract"}, or none for the default
// engine) the first time. One service runs at a time: the client holds one
// token, so switching stops the previous service. Returns false with `error`.
bool UseService(const std::string& label, const std::vector<std::string>& engineArguments,
                std::string& error);

// CPU seconds used so far by the service in use.
double ServiceCpuSeconds();

// The benchmark body of RecognizePictureText on BenchPicture() through the
// service `label`: records the wall time of each recognition as sample
// `sampleName` and the CPU time of both processes per recognition as
// `sampleName` + "_cpu".
void RunEndToEnd(benchmark::State& state, const std::string& label,
                 const std::vector<std::string>& engineArguments, const std::string& sampleName);

// Prints the fastest wall-clock times of samples `e2e` and `own` and their CPU
// times per recognition, and returns the CPU-time ratio (0 when either is
// missing): unlike wall time it holds still when other work shares the cores.
double EndToEndRatio(const std::string& e2e, const std::string& own);

}  // namespace kelsor::bench
