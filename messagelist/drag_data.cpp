#include "messagelist/drag_data.h"

#include <shlobj.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "messagelist/com_object.h"
#include "messagelist/file_stream.h"

namespace messagelist {

namespace {
namespace fs = std::filesystem;

CLIPFORMAT Format(const wchar_t* name) {
    return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name));
}

// Runs `work` on a thread of its own while this one, the window's, goes
// on answering COM calls and painting: a fetch may take minutes, and the
// shell's call waits for it.
catalog::Outcome WhileAnswering(const std::function<catalog::Outcome()>& work) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!done) return work();
    catalog::Outcome outcome;
    try {
        std::thread worker([&] {
            outcome = work();
            SetEvent(done);
        });
        DWORD index = 0;
        if (FAILED(CoWaitForMultipleHandles(0, INFINITE, 1, &done, &index))) WaitForSingleObject(done, INFINITE);
        worker.join();
    } catch (const std::system_error&) {  // no thread: the fetch waits here
        outcome = work();
    }
    CloseHandle(done);
    return outcome;
}

HRESULT ResultOf(const catalog::Outcome& outcome) {
    switch (outcome.code) {
    case catalog::StoreCode::Ok: return S_OK;
    case catalog::StoreCode::Corrupt: return HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT);
    case catalog::StoreCode::NotFound: return STG_E_FILENOTFOUND;
    case catalog::StoreCode::Cancelled: return E_ABORT;
    case catalog::StoreCode::Unreachable:
    case catalog::StoreCode::Broken:
    case catalog::StoreCode::TimedOut: return HRESULT_FROM_WIN32(ERROR_NETWORK_UNREACHABLE);
    case catalog::StoreCode::LocalFile: return STG_E_WRITEFAULT;
    default: return E_FAIL;
    }
}

// A name of its own under the temporary directory for each fetch; what
// the engine leaves beside it (its partial file and record) shares the
// stem, so a failed fetch takes it all away.
fs::path FetchTarget() {
    static std::atomic<unsigned> fetches{0};
    std::error_code error;
    fs::path dir = fs::temp_directory_path(error) / "Vantlo" / "drag";
    fs::create_directories(dir, error);
    return dir / ("drag-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++fetches) + ".bin");
}

void RemoveWithLeftovers(const fs::path& target) {
    const std::wstring stem = target.filename().wstring();
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(target.parent_path(), error))
        if (entry.path().filename().wstring().compare(0, stem.size(), stem) == 0) fs::remove(entry.path(), error);
}

// FILETIME counts 100 ns from 1601; the store counts seconds from 1970.
FILETIME FileTimeOf(std::int64_t utcSeconds) {
    ULONGLONG ticks = static_cast<ULONGLONG>(utcSeconds + 11644473600LL) * 10000000ULL;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

class DragData final : public ComObject<IDataObject> {
public:
    DragData(std::vector<DraggedFile> files, app::Desktop::FileFetch fetch)
        : files_(std::move(files)), fetch_(std::move(fetch)) {}

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!format || !medium) return E_INVALIDARG;
        *medium = STGMEDIUM{};
        HRESULT offered = QueryGetData(format);
        if (FAILED(offered)) return offered;
        return format->cfFormat == descriptor_ ? Descriptors(*medium) : Contents(format->lindex, *medium);
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        if (!format) return E_INVALIDARG;
        if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (format->cfFormat == descriptor_) return format->tymed & TYMED_HGLOBAL ? S_OK : DV_E_TYMED;
        if (format->cfFormat != contents_) return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_ISTREAM)) return DV_E_TYMED;
        return format->lindex >= 0 && static_cast<std::size_t>(format->lindex) < files_.size() ? S_OK : DV_E_LINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return E_NOTIMPL;
    }
    // What the shell tells back (the effect performed, a paste done) changes nothing here.
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (direction != DATADIR_GET) return E_NOTIMPL;
        const FORMATETC offered[] = {{descriptor_, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                                     {contents_, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM}};
        return SHCreateStdEnumFmtEtc(2, offered, out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    bool Answers(REFIID iid) const override { return iid == IID_IDataObject; }
    ~DragData() = default;

    HRESULT Descriptors(STGMEDIUM& medium) const {
        // The group holds its first descriptor.
        const std::size_t more = files_.empty() ? 0 : files_.size() - 1;
        const std::size_t bytes = sizeof(FILEGROUPDESCRIPTORW) + more * sizeof(FILEDESCRIPTORW);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        auto* group = memory ? static_cast<FILEGROUPDESCRIPTORW*>(GlobalLock(memory)) : nullptr;
        if (!group) return memory ? (GlobalFree(memory), E_OUTOFMEMORY) : E_OUTOFMEMORY;
        group->cItems = static_cast<UINT>(files_.size());
        for (std::size_t i = 0; i < files_.size(); ++i) {
            const DraggedFile& file = files_[i];
            FILEDESCRIPTORW& entry = group->fgd[i];
            entry.dwFlags = FD_PROGRESSUI;
            // The names were made to fit, with room for their NUL.
            file.name.copy(entry.cFileName, MAX_PATH - 1);
            if (file.sizeKnown) {
                entry.dwFlags |= FD_FILESIZE;
                entry.nFileSizeLow = static_cast<DWORD>(file.size);
                entry.nFileSizeHigh = static_cast<DWORD>(file.size >> 32);
            }
            if (file.time > 0) {
                entry.dwFlags |= FD_WRITESTIME;
                entry.ftLastWriteTime = FileTimeOf(file.time);
            }
        }
        GlobalUnlock(memory);
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal = memory;
        return S_OK;
    }

    HRESULT Contents(LONG index, STGMEDIUM& medium) const {
        const DraggedFile& file = files_[static_cast<std::size_t>(index)];
        const fs::path target = FetchTarget();
        RemoveWithLeftovers(target);  // an earlier run of the same process id left them
        catalog::Outcome fetched = WhileAnswering([&] { return fetch_(file.key, target); });
        if (!fetched.Ok()) {
            RemoveWithLeftovers(target);
            return ResultOf(fetched);
        }
        IStream* stream = OpenPassingFileStream(target, file.name);
        if (!stream) return STG_E_FILENOTFOUND;
        medium.tymed = TYMED_ISTREAM;
        medium.pstm = stream;
        return S_OK;
    }

    const std::vector<DraggedFile> files_;
    const app::Desktop::FileFetch fetch_;
    const CLIPFORMAT descriptor_ = Format(CFSTR_FILEDESCRIPTORW);
    const CLIPFORMAT contents_ = Format(CFSTR_FILECONTENTS);
};

}  // namespace

IDataObject* NewDragData(std::vector<DraggedFile> files, app::Desktop::FileFetch fetch) {
    return new DragData(std::move(files), std::move(fetch));
}

}  // namespace messagelist
