// Delegates bound to a member function `bool (T::*)(void*)` of one object and
// the per-control delegate list that calls them in order.
#pragma once

#include <cstring>
#include <typeinfo>
#include <vector>

namespace TavroLib {

class CDelegateBase {
  public:
    virtual ~CDelegateBase() = default;
    virtual CDelegateBase* Copy() const = 0;
    // Same object, same member function of the same class.
    bool Equals(const CDelegateBase& other) const;
    bool operator()(void* param) { return Invoke(param); }
    void* GetTarget() const { return m_object; }

  protected:
    CDelegateBase(void* object, const std::type_info& type, const void* fn, size_t fnSize);
    virtual bool Invoke(void* param) = 0;

  private:
    void* m_object;
    const std::type_info* m_type;
    unsigned char m_fn[32] = {};
    size_t m_fnSize;
};

template <class O, class T = O>
class CDelegate : public CDelegateBase {
  public:
    using Fn = bool (T::*)(void*);
    CDelegate(O* object, Fn fn)
        : CDelegateBase(object, typeid(Fn), &fn, sizeof(fn)), m_obj(object), m_fn(fn) {
        static_assert(sizeof(Fn) <= 32, "member pointer too large");
    }
    CDelegateBase* Copy() const override { return new CDelegate(*this); }

  protected:
    bool Invoke(void* param) override { return (m_obj->*m_fn)(param); }

  private:
    O* m_obj;
    Fn m_fn;
};

template <class O, class T>
CDelegate<O, T> MakeDelegate(O* object, bool (T::*fn)(void*)) {
    return CDelegate<O, T>(object, fn);
}

// Ordered list of delegates; a delegate returning false ends a call.
class CDelegateList {
  public:
    CDelegateList() = default;
    ~CDelegateList();
    CDelegateList(const CDelegateList&) = delete;
    CDelegateList& operator=(const CDelegateList&) = delete;

    explicit operator bool() const { return !m_delegates.empty(); }
    // Appends a copy unless an equal delegate is already in the list.
    void operator+=(const CDelegateBase& d);
    void operator-=(const CDelegateBase& d);
    // True when every delegate returned true.
    bool operator()(void* param);
    size_t GetCount() const { return m_delegates.size(); }

  private:
    std::vector<CDelegateBase*> m_delegates;
};

}  // namespace TavroLib
