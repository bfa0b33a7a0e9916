#include "shell/forms.h"

Forms& Forms::instance() {
    static Forms registry;
    return registry;
}

int Forms::loadedCount() const {
    int n = 0;
    for (const auto& slot : m_slots) n += slot ? 1 : 0;
    return n;
}

void Forms::unload(FormId id) {
    QPointer<Form>& slot = m_slots[index(id)];
    if (!slot) return;
    Form* form = slot;
    form->Form_QueryUnload();
    slot = nullptr;
    form->hide();
    // The handler that asked for the unload may still be running on this window.
    form->deleteLater();
    if (loadedCount() == 0 && m_onEnd) m_onEnd();
}

void Forms::reset() {
    for (auto& slot : m_slots) {
        if (slot) {
            slot->hide();
            delete slot.data();
        }
        slot = nullptr;
    }
}
