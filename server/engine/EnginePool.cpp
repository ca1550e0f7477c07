#include "server/engine/EnginePool.h"

#include <thread>

namespace kelsor::server {

EnginePool::Lease::~Lease() {
    if (m_engine) {
        m_pool->Return(std::move(m_engine));
    }
}

bool EnginePool::Start(const EngineFactory& factory, std::size_t count, std::string& error) {
    std::vector<std::unique_ptr<RecognitionEngine>> engines(count);
    std::vector<std::string> errors(count);
    std::vector<std::thread> loaders;
    for (std::size_t i = 0; i < count; ++i) {
        loaders.emplace_back([&, i] { engines[i] = factory(errors[i]); });
    }
    for (std::thread& loader : loaders) {
        loader.join();
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!engines[i]) {
            error = errors[i].empty() ? "cannot create a recognition engine" : errors[i];
            return false;
        }
    }
    for (auto& engine : engines) {
        engine->BorrowCoresFrom(this);
    }
    std::lock_guard lock(m_mutex);
    m_name = count > 0 ? engines.front()->Name() : "";
    m_size = count;
    m_idle = std::move(engines);
    return true;
}

EnginePool::Lease EnginePool::Acquire() {
    std::unique_lock lock(m_mutex);
    ++m_waiting;
    m_freed.wait(lock, [this] { return m_idle.size() > m_lent; });
    --m_waiting;
    std::unique_ptr<RecognitionEngine> engine = std::move(m_idle.back());
    m_idle.pop_back();
    return Lease(*this, std::move(engine));
}

void EnginePool::Return(std::unique_ptr<RecognitionEngine> engine) {
    {
        std::lock_guard lock(m_mutex);
        m_idle.push_back(std::move(engine));
    }
    m_freed.notify_one();
}

bool EnginePool::TryBorrow() {
    std::lock_guard lock(m_mutex);
    // A waiting request comes before more help for a running one.
    if (m_idle.size() <= m_lent || m_waiting > 0) {
        return false;
    }
    ++m_lent;
    return true;
}

void EnginePool::GiveBack() {
    {
        std::lock_guard lock(m_mutex);
        --m_lent;
    }
    m_freed.notify_one();
}

}  // namespace kelsor::server
