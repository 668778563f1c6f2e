#include "system/ApplicationsController.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "core/Strings.h"
#include "hook/SystemHook.h"
#include "store/PropertyNode.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kApplicationsKey = "Applications";
constexpr std::string_view kPathKey = "Path";
// Shorter names are no description (a stray letter in a damaged entry).
constexpr size_t kMinDescriptionLength = 2;

// A program reached through a link runs under the linked file's name, which is what /proc shows, so
// the identifier and the program lookup follow links when the file is there.
std::string resolvedPath(const std::string& path) {
    std::error_code error;
    auto canonical = fs::canonical(path, error);
    return error ? path : canonical.string();
}

bool hasUpperCase(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

std::string identifierOfPath(const std::string& path) {
    return corvane::asciiLower(fs::path(resolvedPath(path)).filename().string());
}

} // namespace

KVSysApplicationsController::KVSysApplicationsController(CKVMessageDispatch& dispatch,
                                                         const IKVSystemHook& hook,
                                                         KVPtr<IKVProcessTable> processes,
                                                         const KVApplicationSources& sources)
    : m_dispatch(dispatch), m_hook(hook), m_processes(std::move(processes)) {
    for (const auto& application : scanDesktopApplications(sources)) {
        m_knownPrograms.try_emplace(resolvedPath(application.program.string()),
                                    ProgramInfo{application.name, application.icon});
        AddApplication(application.program.string(), false);
    }
    m_running = runningSnapshot();
    m_dispatch.RegisterHandler<KVM_PROCESS_EVENT>(this, &KVSysApplicationsController::OnProcessEvent);
    m_dispatch.RegisterHandler<KVM_WINDOW_ACTIVATED>(this, &KVSysApplicationsController::OnWindowActivated);
    m_dispatch.RegisterHandler<KVM_WINDOW_ACTIVATED_SECOND_SOURCE>(
        this, &KVSysApplicationsController::OnWindowActivated);
    corvane::logger("system").debug("{} applications catalogued, {} running", m_catalogue.size(),
                                    m_running.size());
}

KVSysApplicationsController::~KVSysApplicationsController() {
    m_dispatch.UnregisterHandlers(this);
}

KVAddApplicationResult KVSysApplicationsController::AddApplication(const std::string& path, bool force) {
    std::error_code error;
    if (!force && !fs::exists(path, error))
        return {};
    const std::string id = identifierOfPath(path);
    // A path that names a folder ("/opt/app/") has no file name to be known by.
    if (id.empty() || id == "." || id == "..")
        return {};
    if (auto existing = m_byId.find(id); existing != m_byId.end())
        return {m_catalogue[existing->second], false};

    KVApplicationEntry entry{path, id, {}, {}, -1};
    if (auto known = m_knownPrograms.find(resolvedPath(path)); known != m_knownPrograms.end()) {
        if (known->second.name.size() >= kMinDescriptionLength)
            entry.description = known->second.name;
        entry.icon = known->second.icon;
    }
    if (!force && (entry.description.empty() || entry.icon.empty()))
        return {};

    const size_t position = m_catalogue.size();
    m_catalogue.push_back(entry);
    m_byId.emplace(entry.id, position);
    m_byDisplayName.emplace(entry.displayName(), position);
    return {std::move(entry), true};
}

std::optional<KVApplicationEntry> KVSysApplicationsController::FindApplication(std::string_view id) const {
    auto it = m_byId.find(corvane::asciiLower(id));
    if (it == m_byId.end())
        return std::nullopt;
    return m_catalogue[it->second];
}

bool KVSysApplicationsController::IsRunning(std::string_view id) const {
    if (id.empty())
        return false;
    // Conditions ask at every evaluation; most identifiers are stored in lower case already.
    return hasUpperCase(id) ? m_running.contains(corvane::asciiLower(id)) : m_running.contains(id);
}

bool KVSysApplicationsController::IsForeground(std::string_view id) const {
    // While the active window's program cannot be told the foreground is empty, which matches nothing.
    return !id.empty() && corvane::iequals(id, m_foreground);
}

int KVSysApplicationsController::ApplicationImageIndex(std::string_view id) {
    auto it = m_byId.find(corvane::asciiLower(id));
    return it == m_byId.end() ? -1 : m_catalogue[it->second].imageIndex;
}

bool KVSysApplicationsController::AddToUserList(std::string_view id) {
    auto it = m_byId.find(corvane::asciiLower(id));
    if (it == m_byId.end())
        return false;
    if (std::find(m_userList.begin(), m_userList.end(), it->second) == m_userList.end())
        m_userList.push_back(it->second);
    return true;
}

void KVSysApplicationsController::Load(const KVPtr<KVPropertyNode>& root) {
    const auto applications = root ? root->findChild(kApplicationsKey) : KVPtr<KVPropertyNode>();
    if (!applications)
        return;
    // The keys are not read: the identifier always follows from the path.
    for (const auto& stored : applications->children()) {
        const std::string path = stored->childValue(kPathKey);
        auto added = AddApplication(path, true);
        if (!added.entry) {
            corvane::logger("system").warn("stored application {} has no usable path {}", stored->name(),
                                           path);
            continue;
        }
        AddToUserList(added.entry->id);
    }
}

void KVSysApplicationsController::Save(KVPropertyNode& root) const {
    auto applications = root.findChild(kApplicationsKey);
    if (!applications)
        applications = root.addChild(std::string(kApplicationsKey));
    for (size_t position : m_userList) {
        const auto& entry = m_catalogue[position];
        auto stored = KVPropertyNode::create(entry.id);
        stored->addChild(std::string(kPathKey), entry.path);
        applications->setChild(stored);
    }
}

std::string KVSysApplicationsController::ProcessIdentifier(pid_t pid) const {
    if (pid <= 0)
        return {};
    auto process = m_processes->process(pid);
    return process ? corvane::asciiLower(process->imageName) : std::string();
}

std::string KVSysApplicationsController::WindowIdentifier(unsigned long window) const {
    auto owner = m_hook.WindowProcessId(window);
    return owner ? ProcessIdentifier(*owner) : std::string();
}

std::vector<KVApplicationEntry> KVSysApplicationsController::applicationsByDisplayName() const {
    std::vector<KVApplicationEntry> result;
    for (const auto& [name, position] : m_byDisplayName)
        result.push_back(m_catalogue[position]);
    return result;
}

std::vector<KVApplicationEntry> KVSysApplicationsController::userApplications() const {
    std::vector<KVApplicationEntry> result;
    for (size_t position : m_userList)
        result.push_back(m_catalogue[position]);
    return result;
}

std::set<std::string, std::less<>> KVSysApplicationsController::runningSnapshot(pid_t ended) const {
    std::set<std::string, std::less<>> running;
    for (const auto& process : m_processes->snapshot())
        if (process.pid != ended && !process.imageName.empty())
            running.insert(corvane::asciiLower(process.imageName));
    return running;
}

void KVSysApplicationsController::OnProcessEvent(unsigned started, long pid) {
    // The set, not the single process, decides: a second copy starting or the first of two copies
    // ending changes nothing, and a change that an earlier event missed is still announced.
    auto running = runningSnapshot(started == 1 ? 0 : pid_t(pid));
    if (running == m_running)
        return;
    m_running = std::move(running);
    if (started == 1) {
        // The full path lets a program started from anywhere find its desktop entry.
        if (auto process = m_processes->process(pid_t(pid)); process && !process->executable.empty()) {
            auto added = AddApplication(process->executable, false);
            if (added.isNew)
                AddToUserList(added.entry->id);
        }
    }
    m_dispatch.send<KVM_RUNNING_APPS_CHANGED>();
}

void KVSysApplicationsController::OnWindowActivated(unsigned long window) {
    auto id = WindowIdentifier(window);
    if (id == m_foreground)
        return;
    m_foreground = std::move(id);
    m_dispatch.send<KVM_FOREGROUND_APP_CHANGED>();
}
