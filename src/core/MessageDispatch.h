#pragma once

#include "core/KVPtr.h"
#include "core/MainLoop.h"
#include "core/Messages.h"

#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <typeindex>
#include <vector>

// An editor window that receives dispatched messages after every function handler has run.
class IKVMessageWindow {
public:
    IKVMessageWindow() : m_messageWindowId(s_nextId.fetch_add(1)) {}
    virtual ~IKVMessageWindow() = default;
    virtual void receiveMessage(KVMessage message, KVWParam wParam, KVLParam lParam) = 0;
    // Stable for the window's life and increasing with creation; windows receive in this order.
    uint64_t messageWindowId() const { return m_messageWindowId; }

private:
    inline static std::atomic<uint64_t> s_nextId{1};
    uint64_t m_messageWindowId;
};

namespace corvane::detail {

template <class A> A fromParam(std::uintmax_t value) {
    if constexpr (std::is_same_v<A, KVUnused>)
        return {};
    else if constexpr (std::is_same_v<A, bool>)
        return value != 0;
    else if constexpr (std::is_pointer_v<A>)
        return reinterpret_cast<A>(static_cast<std::uintptr_t>(value));
    else
        return static_cast<A>(value);
}

template <class A> std::uintmax_t toParam(A value) {
    if constexpr (std::is_same_v<A, KVUnused>)
        return 0;
    else if constexpr (std::is_pointer_v<A>)
        return reinterpret_cast<std::uintptr_t>(value);
    else
        return static_cast<std::uintmax_t>(value);
}

// The class and parameter list of a member function pointer; `valid` is false for anything else.
template <class F> struct MemberTraits { static constexpr bool valid = false; };
template <class C, class R, class... A> struct MemberTraits<R (C::*)(A...)> {
    static constexpr bool valid = true;
    using Class = C;
    using Args = std::tuple<A...>;
};
template <class C, class R, class... A>
struct MemberTraits<R (C::*)(A...) const> : MemberTraits<R (C::*)(A...)> {};
template <class C, class R, class... A>
struct MemberTraits<R (C::*)(A...) noexcept> : MemberTraits<R (C::*)(A...)> {};
template <class C, class R, class... A>
struct MemberTraits<R (C::*)(A...) const noexcept> : MemberTraits<R (C::*)(A...)> {};

// A handler's parameter fits a message's parameter when it takes exactly that type, by value or by
// const reference: no conversion hides a handler written for another message.
template <class Arg, class Param>
concept ParamFits = std::is_same_v<Arg, Param> || std::is_same_v<Arg, const Param&>;

template <KVMessage M, class Args> struct ArgsFit : std::false_type {};
template <KVMessage M> struct ArgsFit<M, std::tuple<>> : std::true_type {};
template <KVMessage M, class W>
struct ArgsFit<M, std::tuple<W>> : std::bool_constant<ParamFits<W, typename KVMessageParams<M>::W>> {};
template <KVMessage M, class W, class L>
struct ArgsFit<M, std::tuple<W, L>> : std::bool_constant<ParamFits<W, typename KVMessageParams<M>::W> &&
                                                         ParamFits<L, typename KVMessageParams<M>::L>> {};

} // namespace corvane::detail

// True when member function `F` may handle message `M`: it takes nothing, the message's wParam, or its
// wParam and lParam, each of exactly the type KVMessageParams<M> names (text arrives as `const char*`).
template <KVMessage M, class F>
concept KVHandlerFor = corvane::detail::MemberTraits<F>::valid &&
    corvane::detail::ArgsFit<M, typename corvane::detail::MemberTraits<F>::Args>::value;

// The bus through which controllers and editor windows meet. A sender blocks until every function
// handler registered for the message (in registration order), then every registered window (in
// ascending id order), has run on the loop thread; a handler may send further messages, which are
// dispatched at once, nested. A send from another thread runs the handlers on the loop thread while
// the sender waits.
class CKVMessageDispatch {
public:
    // A registered member function. Its identity is (object, member function): registering the same
    // pair twice for one message keeps one handler.
    class CFunctionAdaptor {
    public:
        virtual ~CFunctionAdaptor() = default;
        virtual void invoke(KVWParam wParam, KVLParam lParam) = 0;
        const void* target() const { return m_target; }
        bool sameIdentity(const CFunctionAdaptor& other) const {
            return m_target == other.m_target && m_type == other.m_type && m_function == other.m_function;
        }

    protected:
        template <class F>
        CFunctionAdaptor(const void* target, F function) : m_target(target), m_type(typeid(F)) {
            static_assert(sizeof(F) <= sizeof(m_function));
            std::memcpy(m_function.data(), &function, sizeof(F));
        }

    private:
        friend class CKVMessageDispatch;
        const void* m_target;
        std::type_index m_type;
        std::array<unsigned char, 2 * sizeof(void*)> m_function{};
        bool m_live = true;
    };

    explicit CKVMessageDispatch(KVMainLoop& loop);
    ~CKVMessageDispatch();
    CKVMessageDispatch(const CKVMessageDispatch&) = delete;
    CKVMessageDispatch& operator=(const CKVMessageDispatch&) = delete;

    // Typed registration: RegisterHandler<KVM_KEY_EVENT>(this, &KVLayersController::KeyEvent). The member
    // function takes nothing, the message's wParam, or its wParam and lParam, of the exact types that
    // KVMessageParams names; a handler written for another message does not compile.
    template <KVMessage M, class T, class F> void RegisterHandler(T* object, F function) {
        static_assert(corvane::detail::MemberTraits<F>::valid, "a handler is a member function");
        static_assert(KVHandlerFor<M, F>,
                      "the handler's parameters do not fit the message: take nothing, (W) or (W, L) "
                      "with the types of KVMessageParams<M> (by value or const reference)");
        using C = typename corvane::detail::MemberTraits<F>::Class;
        static_assert(std::is_base_of_v<C, T>, "the handler is not a member of the object's class");
        addHandler(M, std::make_shared<MemberAdaptor<M, C, F>>(static_cast<C*>(object), function));
    }

    // Removes every handler of `object`. Called by a service that goes away before the dispatch does,
    // so that no message reaches a destroyed object.
    void UnregisterHandlers(const void* object);

    void RegisterWindow(KVMessage message, IKVMessageWindow* window);
    void UnregisterWindow(IKVMessageWindow* window);

    // Sends `message` and returns once every handler has run. False when it was not delivered: the
    // dispatch is destroyed, or a worker's send was refused at shutdown.
    bool Send(KVMessage message, KVWParam wParam = 0, KVLParam lParam = 0);
    // Queues `message` for the loop thread and returns at once.
    void Post(KVMessage message, KVWParam wParam = 0, KVLParam lParam = 0);

    bool NotifyDispatch(KVMessage message) { return Send(message); }
    // Delivers `text` as a data copy: the handlers of `message` get a pointer to a copy of it as wParam,
    // valid during the call.
    bool NotifyDispatchText(std::string_view text, KVMessage message);

    // Typed sending: send<KVM_KEY_EVENT>(key, pressed). Text messages go through the data copy.
    template <KVMessage M>
    bool send(typename KVMessageParams<M>::W w = {}, typename KVMessageParams<M>::L l = {}) {
        using W = typename KVMessageParams<M>::W;
        if constexpr (std::is_same_v<W, const char*>)
            return NotifyDispatchText(w ? std::string_view(w) : std::string_view(), M);
        else
            return Send(M, KVWParam(corvane::detail::toParam(w)), KVLParam(corvane::detail::toParam(l)));
    }
    template <KVMessage M>
    void post(typename KVMessageParams<M>::W w = {}, typename KVMessageParams<M>::L l = {}) {
        static_assert(!std::is_same_v<typename KVMessageParams<M>::W, const char*>,
                      "text is sent, not posted");
        Post(M, KVWParam(corvane::detail::toParam(w)), KVLParam(corvane::detail::toParam(l)));
    }

    // Ends the dispatch window: its KVM_DESTROY handlers run, then nothing more is delivered and the
    // destroyed callback runs (the application ends its loop there).
    void Destroy();
    bool IsDestroyed() const { return m_destroyed; }
    void SetDestroyedCallback(std::function<void()> callback) { m_onDestroyed = std::move(callback); }

    KVMainLoop& loop() { return m_loop; }
    size_t handlerCount(KVMessage message) const;
    size_t windowCount(KVMessage message) const;

private:
    template <KVMessage M, class C, class F> class MemberAdaptor final : public CFunctionAdaptor {
    public:
        MemberAdaptor(C* object, F function)
            : CFunctionAdaptor(object, function), m_object(object), m_function(function) {}
        void invoke(KVWParam wParam, KVLParam lParam) override {
            using W = typename KVMessageParams<M>::W;
            using L = typename KVMessageParams<M>::L;
            constexpr size_t arity = std::tuple_size_v<typename corvane::detail::MemberTraits<F>::Args>;
            if constexpr (arity == 0)
                (m_object->*m_function)();
            else if constexpr (arity == 1)
                (m_object->*m_function)(corvane::detail::fromParam<W>(wParam));
            else
                (m_object->*m_function)(corvane::detail::fromParam<W>(wParam),
                                        corvane::detail::fromParam<L>(std::uintmax_t(lParam)));
        }

    private:
        C* m_object;
        F m_function;
    };

    void addHandler(KVMessage message, KVPtr<CFunctionAdaptor> adaptor);
    void dispatch(KVMessage message, KVWParam wParam, KVLParam lParam);
    void defaultProcessing(KVMessage message, KVWParam wParam);

    KVMainLoop& m_loop;
    std::map<KVMessage, std::vector<KVPtr<CFunctionAdaptor>>> m_handlers;
    std::map<KVMessage, std::map<uint64_t, IKVMessageWindow*>> m_windows;
    std::function<void()> m_onDestroyed;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_destroyed = false;
};
