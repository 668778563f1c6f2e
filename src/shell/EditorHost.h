#pragma once

// Where the editor window lives. The main controller shows it for KVM_SHOW_EDITOR and closes it at exit;
// closing it saves the configuration.
class IKVEditorHost {
public:
    virtual ~IKVEditorHost() = default;
    // Creates the window if there is none, then shows it in front; false when it cannot be created.
    virtual bool ShowEditor() = 0;
    virtual void CloseEditor() = 0;
    virtual bool HasEditor() const = 0;
};
