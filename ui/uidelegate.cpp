#include "ui/uidelegate.h"

namespace DuiLib {

CDelegateBase::CDelegateBase(void* object, const std::type_info& type, const void* fn,
                             size_t fnSize)
    : m_pObject(object), m_type(&type), m_fnSize(fnSize < sizeof(m_fn) ? fnSize : sizeof(m_fn)) {
    std::memcpy(m_fn, fn, m_fnSize);
}

bool CDelegateBase::Equals(const CDelegateBase& other) const {
    return m_pObject == other.m_pObject && *m_type == *other.m_type && m_fnSize == other.m_fnSize &&
           std::memcmp(m_fn, other.m_fn, m_fnSize) == 0;
}

CEventSource::~CEventSource() {
    for (CDelegateBase* d : m_aDelegates)
        delete d;
}

void CEventSource::operator+=(const CDelegateBase& d) {
    for (CDelegateBase* existing : m_aDelegates) {
        if (existing != nullptr && existing->Equals(d))
            return;
    }
    m_aDelegates.push_back(d.Copy());
}

void CEventSource::operator-=(const CDelegateBase& d) {
    for (size_t i = 0; i < m_aDelegates.size(); ++i) {
        if (m_aDelegates[i] != nullptr && m_aDelegates[i]->Equals(d)) {
            delete m_aDelegates[i];
            m_aDelegates.erase(m_aDelegates.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

bool CEventSource::operator()(void* param) {
    // By index: a handler may add delegates while the list runs.
    for (size_t i = 0; i < m_aDelegates.size(); ++i) {
        CDelegateBase* d = m_aDelegates[i];
        if (d != nullptr && !(*d)(param))
            return false;
    }
    return true;
}

}  // namespace DuiLib
