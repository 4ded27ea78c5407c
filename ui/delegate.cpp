#include "ui/delegate.h"

namespace TavroLib {

CDelegateBase::CDelegateBase(void* object, const std::type_info& type, const void* fn,
                             size_t fnSize)
    : m_object(object), m_type(&type), m_fnSize(fnSize < sizeof(m_fn) ? fnSize : sizeof(m_fn)) {
    std::memcpy(m_fn, fn, m_fnSize);
}

bool CDelegateBase::Equals(const CDelegateBase& other) const {
    return m_object == other.m_object && *m_type == *other.m_type && m_fnSize == other.m_fnSize &&
           std::memcmp(m_fn, other.m_fn, m_fnSize) == 0;
}

CDelegateList::~CDelegateList() {
    for (CDelegateBase* d : m_delegates)
        delete d;
}

void CDelegateList::operator+=(const CDelegateBase& d) {
    for (CDelegateBase* existing : m_delegates) {
        if (existing != nullptr && existing->Equals(d))
            return;
    }
    m_delegates.push_back(d.Copy());
}

void CDelegateList::operator-=(const CDelegateBase& d) {
    for (size_t i = 0; i < m_delegates.size(); ++i) {
        if (m_delegates[i] != nullptr && m_delegates[i]->Equals(d)) {
            delete m_delegates[i];
            m_delegates.erase(m_delegates.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

bool CDelegateList::operator()(void* param) {
    // By index: a handler may add delegates while the list runs.
    for (size_t i = 0; i < m_delegates.size(); ++i) {
        CDelegateBase* d = m_delegates[i];
        if (d != nullptr && !(*d)(param))
            return false;
    }
    return true;
}

}  // namespace TavroLib
