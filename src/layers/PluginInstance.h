#pragma once

#include "core/KVPtr.h"

#include <exception>
#include <memory>
#include <string>

class KVImage;
class KVPropertyNode;
class KVViewPluginInstance;
class KVActionPluginInstance;

// The plug-in's side of one instance: created when the instance is activated, destroyed when it is
// deactivated. For an action, Start and Stop are the key going down and up; for a view, Start means
// its canvas is ready and Stop that its key is no longer shown.
class KVPluginObject {
public:
    virtual ~KVPluginObject() = default;
    virtual void Start() = 0;
    virtual void Stop() = 0;
};

// Makes plug-in objects for instances; the plug-in library implements it. An empty result (plug-in not
// installed, not loadable, refusing) leaves the instance without an object: it keeps its stored form and
// does nothing.
class KVPluginObjectFactory {
public:
    virtual ~KVPluginObjectFactory() = default;
    virtual std::unique_ptr<KVPluginObject> createView(KVViewPluginInstance& instance) = 0;
    virtual std::unique_ptr<KVPluginObject> createAction(KVActionPluginInstance& instance) = 0;
};

// One use of a sub-plug-in on one key. Its stored dictionary ("PluginID", "SubPluginID",
// "PluginProperties" and any entry this version does not know) is written back as it was read, so a
// plug-in that is missing today loses nothing.
class KVKeyPluginInstance {
public:
    KVKeyPluginInstance(unsigned keyIndex, KVPluginObjectFactory* factory);
    virtual ~KVKeyPluginInstance();
    KVKeyPluginInstance(const KVKeyPluginInstance&) = delete;
    KVKeyPluginInstance& operator=(const KVKeyPluginInstance&) = delete;

    const std::string& PluginID() const { return m_pluginId; }
    const std::string& SubPluginID() const { return m_subPluginId; }
    unsigned KeyIndex() const { return m_keyIndex; }
    // The "PluginProperties" dictionary, the very node that was loaded; empty until there is one.
    const KVPtr<KVPropertyNode>& Properties() const { return m_properties; }
    void SetIds(std::string pluginId, std::string subPluginId);

    void Load(const KVPropertyNode& dictionary);
    void Save(KVPropertyNode& dictionary) const;

    bool IsActive() const { return m_active; }
    bool HasObject() const { return m_object != nullptr; }

protected:
    // Marks the instance active and, when it has no plug-in object yet and a factory is there, lets
    // `create` make one; a factory that throws leaves the instance without an object.
    template <class Create> void activateWith(Create create) {
        m_active = true;
        if (m_object || !m_factory)
            return;
        try {
            m_object = create();
        } catch (const std::exception& error) {
            logCreationFailure(error.what());
        } catch (...) {
            logCreationFailure("unknown exception");
        }
    }
    KVPluginObjectFactory* factory() const { return m_factory; }
    KVPluginObject* object() const { return m_object.get(); }
    void setObject(std::unique_ptr<KVPluginObject> object) { m_object = std::move(object); }
    void setActive(bool active) { m_active = active; }
    // Calls into the plug-in; a plug-in that throws is treated as having done nothing.
    void logCreationFailure(const char* reason) const;
    static void guarded(const char* what, KVPluginObject& object, void (KVPluginObject::*call)());

private:
    unsigned m_keyIndex;
    KVPluginObjectFactory* m_factory;
    std::string m_pluginId;
    std::string m_subPluginId;
    KVPtr<KVPropertyNode> m_properties;
    KVPtr<KVPropertyNode> m_unknownEntries;
    std::unique_ptr<KVPluginObject> m_object;
    bool m_active = false;
};

// A plug-in that draws its key. Once started it owns a 48 x 48 key picture that it publishes into.
class KVViewPluginInstance final : public KVKeyPluginInstance {
public:
    using KVKeyPluginInstance::KVKeyPluginInstance;
    ~KVViewPluginInstance() override;

    void Activate();
    void Deactivate();
    // Gives the plug-in its picture and starts it; false when there is no plug-in object.
    bool StartView();
    // The key is no longer shown: the plug-in stops and the picture goes.
    void StopView();
    bool IsDrawing() const { return m_keyImage != nullptr; }
    // The last published picture; empty while not drawing.
    const KVPtr<KVImage>& KeyImage() const { return m_keyImage; }

private:
    KVPtr<KVImage> m_keyImage;
};

// A plug-in that acts on its key's presses. Repeated downs without an up reach it once.
class KVActionPluginInstance final : public KVKeyPluginInstance {
public:
    using KVKeyPluginInstance::KVKeyPluginInstance;
    ~KVActionPluginInstance() override;

    void Activate();
    void Deactivate();
    void KeyDown();
    void KeyUp();
    bool IsPressed() const { return m_pressed; }

private:
    bool m_pressed = false;
};
