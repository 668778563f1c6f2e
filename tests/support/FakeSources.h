#pragma once

#include "conditions/ConditionEnvironment.h"

#include <map>
#include <set>
#include <string>

// Sources whose state a test sets by hand. Identifiers are compared exactly, as the real catalogue
// compares the lower-case identifiers that conditions hand it.

class KVFakeApplicationState final : public IKVApplicationStateSource {
public:
    bool IsRunning(std::string_view id) const override { return m_running.find(id) != m_running.end(); }
    bool IsForeground(std::string_view id) const override { return !id.empty() && id == m_foreground; }
    int ApplicationImageIndex(std::string_view id) override;

    void setRunning(std::set<std::string, std::less<>> running) { m_running = std::move(running); }
    void setForeground(std::string id) { m_foreground = std::move(id); }
    void setImageIndex(const std::string& id, int index) { m_images[id] = index; }

private:
    std::set<std::string, std::less<>> m_running;
    std::string m_foreground;
    std::map<std::string, int, std::less<>> m_images;
};

class KVFakeLayoutSource final : public IKVLayoutSource {
public:
    uint32_t CurrentLayout() const override { return m_current; }
    uint32_t DefaultLayout() const override { return m_default; }
    int LayoutImageIndex(uint32_t layout) override;

    void setCurrent(uint32_t layout) { m_current = layout; }
    void setDefault(uint32_t layout) { m_default = layout; }
    void setImageIndex(uint32_t layout, int index) { m_images[layout] = index; }

private:
    uint32_t m_current = 0;
    uint32_t m_default = 0;
    std::map<uint32_t, int> m_images;
};

class KVFakeKeyboardState final : public IKVKeyboardStateSource {
public:
    bool IsKeyboardOpen() const override { return m_open; }
    uint32_t KeyboardModifierMask() const override { return m_mask; }

    void setOpen(bool open) { m_open = open; }
    void setModifierMask(uint32_t mask) { m_mask = mask; }

private:
    bool m_open = false;
    uint32_t m_mask = 0;
};
