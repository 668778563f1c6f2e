#pragma once

#include "shell/EditorHost.h"

// The editor window as the shell sees it: counts how often it was made, shown and closed; a test can make
// the next creation fail.
struct FakeEditor final : IKVEditorHost {
    int created = 0, shown = 0, closed = 0;
    bool failNextCreate = false;
    bool open = false;
    bool ShowEditor() override {
        if (!open) {
            if (failNextCreate) {
                failNextCreate = false;
                return false;
            }
            ++created;
            open = true;
        }
        ++shown;
        return true;
    }
    void CloseEditor() override {
        if (open)
            ++closed;
        open = false;
    }
    bool HasEditor() const override { return open; }
};
