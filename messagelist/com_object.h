// What every COM object the list hands to the shell shares: its reference
// count (the last Release deletes it) and QueryInterface, which answers
// for IUnknown and for the interfaces the object names (Answers).
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <atomic>

namespace messagelist {

template <typename Interface>
class ComObject : public Interface {
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || Answers(iid)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual ~ComObject() = default;
    // The interfaces besides IUnknown this object is.
    virtual bool Answers(REFIID iid) const = 0;

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace messagelist
