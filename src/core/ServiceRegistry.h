#pragma once

#include <functional>
#include <memory>
#include <typeindex>
#include <typeinfo>
#include <vector>

// The process's long-lived services: each created once, on first use, and destroyed in the reverse
// order of creation.
class KVServiceRegistry {
public:
    KVServiceRegistry() = default;
    ~KVServiceRegistry() { destroyAll(); }
    KVServiceRegistry(const KVServiceRegistry&) = delete;
    KVServiceRegistry& operator=(const KVServiceRegistry&) = delete;

    // The service of type T, created with `args` if it does not exist yet.
    template <class T, class... Args> T& get(Args&&... args) {
        if (T* existing = find<T>())
            return *existing;
        auto service = std::make_shared<T>(std::forward<Args>(args)...);
        T& ref = *service;
        m_services.push_back({std::type_index(typeid(T)), std::move(service)});
        return ref;
    }

    // Takes `service` as the service of type T (an interface type, usually), unless one exists.
    template <class T> T& add(std::shared_ptr<T> service) {
        if (T* existing = find<T>())
            return *existing;
        T& ref = *service;
        m_services.push_back({std::type_index(typeid(T)), std::move(service)});
        return ref;
    }

    template <class T> T* find() const {
        for (const auto& entry : m_services)
            if (entry.type == std::type_index(typeid(T)))
                return static_cast<T*>(entry.service.get());
        return nullptr;
    }

    // A shared reference to the service of type T, for those that keep one; empty when there is none.
    template <class T> std::shared_ptr<T> shared() const {
        for (const auto& entry : m_services)
            if (entry.type == std::type_index(typeid(T)))
                return std::static_pointer_cast<T>(entry.service);
        return nullptr;
    }

    // Destroys every service, the newest first.
    void destroyAll() {
        while (!m_services.empty()) {
            auto last = std::move(m_services.back().service);
            m_services.pop_back();
            last.reset();
        }
    }

    size_t size() const { return m_services.size(); }
    // The services' types, oldest first.
    std::vector<std::type_index> creationOrder() const {
        std::vector<std::type_index> order;
        for (const auto& entry : m_services)
            order.push_back(entry.type);
        return order;
    }

private:
    struct Entry {
        std::type_index type;
        std::shared_ptr<void> service;
    };
    std::vector<Entry> m_services;
};
