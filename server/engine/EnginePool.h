#pragma once

#include "server/engine/RecognitionEngine.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kelsor::server {

// Makes one initialised engine; null with `error` set on failure.
using EngineFactory = std::function<std::unique_ptr<RecognitionEngine>(std::string& error)>;

// A fixed set of initialised engines, each used by one request at a time.
// The cores of idle engines are lent to a running request, so that a lone
// request uses the whole machine; a lent core returns after a short piece of
// work (one text line), and a new request then gets it.
class EnginePool : private CoreLender {
public:
    class Lease {
    public:
        Lease(EnginePool& pool, std::unique_ptr<RecognitionEngine> engine)
            : m_pool(&pool), m_engine(std::move(engine)) {}
        Lease(Lease&&) = default;
        ~Lease();
        RecognitionEngine& operator*() const { return *m_engine; }
        RecognitionEngine* operator->() const { return m_engine.get(); }

    private:
        EnginePool* m_pool;
        std::unique_ptr<RecognitionEngine> m_engine;
    };

    // Creates `count` engines (in parallel: model loading is slow).
    bool Start(const EngineFactory& factory, std::size_t count, std::string& error);
    // Waits until an engine (and its core) is free.
    Lease Acquire();
    std::size_t Size() const { return m_size; }
    const std::string& EngineName() const { return m_name; }

private:
    void Return(std::unique_ptr<RecognitionEngine> engine);
    bool TryBorrow() override;
    void GiveBack() override;

    std::mutex m_mutex;
    std::condition_variable m_freed;
    std::vector<std::unique_ptr<RecognitionEngine>> m_idle;
    std::size_t m_lent = 0;     // cores of idle engines lent to running requests
    std::size_t m_waiting = 0;  // requests waiting in Acquire
    std::size_t m_size = 0;
    std::string m_name;
};

}  // namespace kelsor::server
