#include "messagelist/drag_out.h"

#include <windows.h>

#include <ole2.h>

#include <atomic>

#include "messagelist/drag_data.h"

namespace messagelist {

namespace {

// The drop follows the left button; Escape gives the drag up.
class DropSource final : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDropSource) {
            *out = static_cast<IDropSource*>(this);
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
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keys) override {
        if (escapePressed) return DRAGDROP_S_CANCEL;
        return keys & MK_LBUTTON ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    ~DropSource() = default;
    std::atomic<ULONG> references_{1};
};

}  // namespace

void DragFilesOut(const app::Desktop& desktop, const std::vector<std::size_t>& items) {
    std::vector<DraggedFile> files = DraggedFiles(desktop.Files(), items);
    if (files.empty()) return;
    IDataObject* data = NewDragData(std::move(files), desktop.Fetcher());
    IDropSource* source = new DropSource;
    DWORD effect = DROPEFFECT_NONE;
    DoDragDrop(data, source, DROPEFFECT_COPY, &effect);
    source->Release();
    data->Release();
}

}  // namespace messagelist
