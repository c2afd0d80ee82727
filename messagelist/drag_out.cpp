#include "messagelist/drag_out.h"

#include <windows.h>

#include <ole2.h>

#include "messagelist/com_object.h"
#include "messagelist/drag_data.h"

namespace messagelist {

namespace {

// The drop follows the left button; Escape gives the drag up.
class DropSource final : public ComObject<IDropSource> {
public:
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keys) override {
        if (escapePressed) return DRAGDROP_S_CANCEL;
        return keys & MK_LBUTTON ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    bool Answers(REFIID iid) const override { return iid == IID_IDropSource; }
    ~DropSource() = default;
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
