// A COM object with one interface: its reference count and QueryInterface
// for IUnknown, the interface, and one further id it answers for (an event
// interface served by IDispatch, for example). Created with one reference.
#pragma once
#include <windows.h>
#include <unknwn.h>

namespace appkit {

template <class I>
class ComObject : public I {
 public:
  explicit ComObject(REFIID iid, REFIID alias = IID_NULL) : iid_(iid), alias_(alias) {}
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == iid_ || (alias_ != IID_NULL && riid == alias_)) {
      *ppv = static_cast<I*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)::InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG r = ::InterlockedDecrement(&refs_);
    if (r == 0) delete this;
    return (ULONG)r;
  }

 protected:
  virtual ~ComObject() = default;

 private:
  LONG refs_ = 1;
  IID iid_;
  IID alias_;
};

}  // namespace appkit
