#pragma once

#include <QPointer>
#include <array>
#include <functional>

#include "layouts/layouts.h"
#include "shell/form.h"

// The program-wide single instance of every window. Touching a window that is not loaded
// loads it (its Form_Load runs) without showing it; unloading runs Form_QueryUnload and
// destroys it, so the next touch builds it afresh from its layout. The program ends when the
// last loaded window is unloaded; hidden windows keep it alive.
class Forms {
public:
    static Forms& instance();

    template <class T>
    T& get() {
        QPointer<Form>& slot = m_slots[index(T::kId)];
        if (!slot) {
            auto* form = new T();
            slot = form;
            form->Form_Load();
        }
        return static_cast<T&>(*slot);
    }

    // The window if it is loaded, without loading it.
    Form* ifLoaded(FormId id) const { return m_slots[index(id)].data(); }
    template <class T>
    T* ifLoaded() const {
        return static_cast<T*>(ifLoaded(T::kId));
    }
    bool isLoaded(FormId id) const { return ifLoaded(id) != nullptr; }
    int loadedCount() const;

    void unload(FormId id);
    // What happens when no window is left; the program installs its quit, tests a probe.
    void setProgramEndHandler(std::function<void()> handler) { m_onEnd = std::move(handler); }
    // Tests: drop every window without running handlers or the end handler.
    void reset();

private:
    static size_t index(FormId id) { return static_cast<size_t>(id); }
    std::array<QPointer<Form>, static_cast<size_t>(FormId::Count)> m_slots;
    std::function<void()> m_onEnd;
};

inline Forms& forms() { return Forms::instance(); }
