// kelsor-server under load: 50 concurrent clients on loopback for a bounded
// time, each mixing identity tokens, general-text requests with a real
// picture and auto-login calls, against a service with one engine and with
// two. Reports requests, errors, lost requests (no reply at all) and latency
// percentiles, and the throughput of two engines against one.
//
//   build/bench/kelsor-bench --benchmark_filter=ServiceLoad
#include "BenchSupport.h"
#include "ServiceFixture.h"
#include "app/JsonText.h"
#include "cloud/Base64.h"
#include "server/process/ServerProcess.h"

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <json/reader.h>
#include <json/value.h>
#include <json/writer.h>
#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace kelsor;
using Clock = std::chrono::steady_clock;

constexpr int kClients = 50;
constexpr auto kRunTime = std::chrono::seconds(20);
constexpr int kMaxRequestsPerClient = 200;

enum Kind { Token, Recognition, AutoLogin, kKinds };
const char* const kKindNames[kKinds] = {"token", "general-text", "autologin"};

struct Tally {
    std::vector<double> latencies[kKinds];
    int errors[kKinds] = {};
    int lost[kKinds] = {};
    std::string firstLoss;  // why the first lost request got no reply
};

// One line of text as a PNG, the size of a screenshot of a sentence: each
// request is real recognition work, yet 50 queued clients drain in seconds.
std::string LinePicture() {
    bench::BenchPicture();  // makes the application Qt needs for fonts
    QFont font("Noto Sans CJK SC");
    font.setPixelSize(32);
    const QString text = QString::fromUtf8("负载测试 Load test 2026");
    const QFontMetrics metrics(font);
    QImage image(metrics.horizontalAdvance(text) + 40, metrics.height() + 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(20, 20 + metrics.ascent(), text);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png.toStdString();
}

// A reply body's object; null when the body is not one.
Json::Value ParseJson(const std::string& text) {
    Json::Value value;
    kelsor::ParseJsonObject(text, value);
    return value;
}

std::string WriteJson(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, value);
}

struct Session {
    std::string userId;
    std::string token;
};

// A session of an account of its own for each client: auto-login replaces
// the token at every call.
bool MakeSessions(int port, std::vector<Session>& sessions) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(60);
    for (int i = 0; i < kClients; ++i) {
        const std::string mobile = "1360000" + std::to_string(1000 + i);
        Json::Value request;
        request["mobile"] = mobile;
        request["scene"] = "login";
        auto code = client.Post("/api/v3/user/smscode", WriteJson(request), "application/json");
        if (!code) {
            return false;
        }
        request.removeMember("scene");
        request["smscode"] = ParseJson(code->body)["data"]["smscode"];
        auto login = client.Post("/api/v3/user/login", WriteJson(request), "application/json");
        const Json::Value record = login ? ParseJson(login->body)["data"] : Json::Value();
        if (!record.isObject()) {
            return false;
        }
        sessions.push_back({record["userid"].asString(), record["token"].asString()});
    }
    return true;
}

struct LoadSetup {
    const server::ServerProcess& process;
    server::DemoCloudUser demo;
    std::string ocrBody;
    std::string tokenBody;
};

std::string TokenBody(const server::DemoCloudUser& demo) {
    Json::Value body;
    Json::Value& identity = body["auth"]["identity"];
    identity["methods"].append("password");
    identity["password"]["user"]["domain"]["name"] = demo.domain;
    identity["password"]["user"]["name"] = demo.user;
    identity["password"]["user"]["password"] = demo.password;
    body["auth"]["scope"]["project"]["name"] = demo.project;
    return WriteJson(body);
}

// One client: a token, then recognitions with an auto-login between every
// two and a new token now and then, until the time or its budget is up.
void RunClient(const LoadSetup& setup, Session session, Clock::time_point end, Tally& tally,
               std::mutex& mutex) {
    httplib::SSLClient cloud("localhost", setup.process.CloudPort());
    cloud.set_ca_cert_path(setup.process.CertificatePath().c_str());
    cloud.enable_server_certificate_verification(true);
    cloud.set_read_timeout(120);
    cloud.set_connection_timeout(30);
    httplib::Client account("127.0.0.1", setup.process.AccountPort());
    account.set_read_timeout(120);
    account.set_connection_timeout(30);
    Tally own;
    std::string token;
    for (int i = 0; i < kMaxRequestsPerClient && Clock::now() < end; ++i) {
        // Token first, an auto-login next, then mostly recognitions.
        const Kind kind = token.empty() || i % 12 == 11 ? Token
                          : i % 3 == 1                  ? AutoLogin
                                                        : Recognition;
        const auto start = Clock::now();
        httplib::Result result =
            kind == Token ? cloud.Post("/v3/auth/tokens", setup.tokenBody, "application/json")
            : kind == Recognition
                ? cloud.Post("/v1.0/ocr/general-text", {{"X-Auth-Token", token}}, setup.ocrBody,
                             "application/json")
                : account.Get(("/api/v3/user/autologin/pro/ocr/ver/1.0/channel/bench/userid/" +
                               session.userId + "/token/" + session.token)
                                  .c_str());
        own.latencies[kind].push_back(std::chrono::duration<double>(Clock::now() - start).count());
        if (!result) {
            ++own.lost[kind];
            if (own.firstLoss.empty()) {
                own.firstLoss = std::string(kKindNames[kind]) + ": " + to_string(result.error());
            }
            continue;
        }
        bool ok = false;
        if (kind == Token) {
            token = result->get_header_value("X-Subject-Token");
            ok = result->status == 201 && !token.empty();
        } else if (kind == Recognition) {
            ok = result->status == 200 &&
                 ParseJson(result->body)["result"]["words_block_count"].asInt() > 0;
        } else {
            const Json::Value reply = ParseJson(result->body);
            ok = reply["code"].asString() == "200";
            session.token = ok ? reply["data"]["token"].asString() : session.token;
        }
        own.errors[kind] += ok ? 0 : 1;
    }
    std::lock_guard lock(mutex);
    for (int k = 0; k < kKinds; ++k) {
        tally.latencies[k].insert(tally.latencies[k].end(), own.latencies[k].begin(),
                                  own.latencies[k].end());
        tally.errors[k] += own.errors[k];
        tally.lost[k] += own.lost[k];
    }
    if (tally.firstLoss.empty()) {
        tally.firstLoss = own.firstLoss;
    }
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

void BM_ServiceLoad(benchmark::State& state) {
    const int engines = static_cast<int>(state.range(0));
    server::ServerProcess process;
    std::string error;
    const std::string folder = bench::BenchFolder() + "/load-" + std::to_string(engines);
    if (!process.Start(KELSOR_SERVER_EXE,
                       {"--data", folder, "--cloud-port", "0", "--account-port", "0", "--engines",
                        std::to_string(engines)},
                       folder + ".log", error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    LoadSetup setup{process, {}, {}, {}};
    std::vector<Session> sessions;
    const std::string bytes = LinePicture();
    if (!server::ReadDemoCloudUser(process.DemoUserPath(), setup.demo) ||
        !MakeSessions(process.AccountPort(), sessions) || bytes.empty()) {
        state.SkipWithError("cannot prepare the clients");
        return;
    }
    Json::Value ocr;
    ocr["image"] = Base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    setup.ocrBody = WriteJson(ocr);
    setup.tokenBody = TokenBody(setup.demo);

    Tally tally;
    double seconds = 0.0;
    const double cpuBefore = bench::ProcessCpuSeconds(process.Pid());
    for (auto _ : state) {
        std::mutex mutex;
        const auto start = Clock::now();
        std::vector<std::thread> clients;
        for (int i = 0; i < kClients; ++i) {
            clients.emplace_back(RunClient, std::cref(setup), sessions[i], start + kRunTime,
                                 std::ref(tally), std::ref(mutex));
        }
        for (std::thread& client : clients) {
            client.join();
        }
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    int requests = 0, errors = 0, lost = 0;
    for (int k = 0; k < kKinds; ++k) {
        const std::vector<double>& latencies = tally.latencies[k];
        requests += static_cast<int>(latencies.size());
        errors += tally.errors[k];
        lost += tally.lost[k];
        std::fprintf(stderr,
                     "load %d engine(s) %-12s requests %5zu errors %d lost %d  p50 %.0f ms  p90 "
                     "%.0f ms  p99 %.0f ms  max %.0f ms\n",
                     engines, kKindNames[k], latencies.size(), tally.errors[k], tally.lost[k],
                     Percentile(latencies, 0.5) * 1e3, Percentile(latencies, 0.9) * 1e3,
                     Percentile(latencies, 0.99) * 1e3, Percentile(latencies, 1.0) * 1e3);
    }
    const double recognitions =
        static_cast<double>(tally.latencies[Recognition].size()) / std::max(seconds, 1e-9);
    // How many cores the service got on average: below the engine count, other
    // work on the machine held it back rather than the service itself.
    const double cores = (bench::ProcessCpuSeconds(process.Pid()) - cpuBefore) / seconds;
    std::fprintf(stderr,
                 "load %d engine(s): %d requests, %d errors, %d lost, %.2f recognitions/s, "
                 "service on %.2f cores\n",
                 engines, requests, errors, lost, recognitions, cores);
    state.counters["requests"] = requests;
    state.counters["errors"] = errors;
    state.counters["lost"] = lost;
    state.counters["recognitions_per_s"] = recognitions;
    if (!tally.firstLoss.empty()) {
        std::fprintf(stderr, "load %d engine(s): first lost request: %s\n", engines,
                     tally.firstLoss.c_str());
    }
    if (errors + lost > 0) {
        state.SkipWithError("errors or lost requests under load");
        return;
    }
    bench::RecordSample("load_recognitions_per_s_" + std::to_string(engines), -recognitions);
}

BENCHMARK(BM_ServiceLoad)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Recognitions per second with two engines against one on the same load
// (samples keep the fastest, so throughput is stored negated).
[[maybe_unused]] const bool g_ratio =
    (bench::AddRatio(
         "service_2engines_vs_1",
         [] {
             const double one = -bench::FastestSample("load_recognitions_per_s_1");
             const double two = -bench::FastestSample("load_recognitions_per_s_2");
             if (one <= 0.0 || two <= 0.0) {
                 std::printf("service_2engines_vs_1: not measured (the load run failed)\n");
                 return std::nan("");
             }
             return two / one;
         },
         110),
     true);

}  // namespace
