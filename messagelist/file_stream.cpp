#include "messagelist/file_stream.h"

#include <string>

#include "messagelist/com_object.h"

namespace messagelist {

namespace {

class PassingFileStream final : public ComObject<IStream> {
public:
    PassingFileStream(HANDLE file, std::wstring name) : file_(file), name_(std::move(name)) {}

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
        DWORD got = 0;
        BOOL ok = ReadFile(file_, buffer, size, &got, nullptr);
        if (read) *read = got;
        if (!ok) return HRESULT_FROM_WIN32(GetLastError());
        return got < size ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG* written) override {
        if (written) *written = 0;
        return STG_E_ACCESSDENIED;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
        // STREAM_SEEK_SET, _CUR and _END are FILE_BEGIN, _CURRENT and _END.
        LARGE_INTEGER now{};
        if (origin > STREAM_SEEK_END) return STG_E_INVALIDFUNCTION;
        if (!SetFilePointerEx(file_, move, &now, origin)) return STG_E_INVALIDFUNCTION;
        if (position) position->QuadPart = static_cast<ULONGLONG>(now.QuadPart);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override {
        if (!stat) return STG_E_INVALIDPOINTER;
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file_, &size)) return HRESULT_FROM_WIN32(GetLastError());
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = static_cast<ULONGLONG>(size.QuadPart);
        stat->grfMode = STGM_READ;
        if (!(flags & STATFLAG_NONAME)) {
            const std::size_t bytes = (name_.size() + 1) * sizeof(wchar_t);
            stat->pwcsName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
            if (!stat->pwcsName) return E_OUTOFMEMORY;
            CopyMemory(stat->pwcsName, name_.c_str(), bytes);
        }
        return S_OK;
    }
    // A copy read straight through: the stream neither grows nor commits.
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

private:
    bool Answers(REFIID iid) const override { return iid == IID_ISequentialStream || iid == IID_IStream; }
    ~PassingFileStream() { CloseHandle(file_); }

    HANDLE file_;
    std::wstring name_;
};

}  // namespace

IStream* OpenPassingFileStream(const std::filesystem::path& path, const std::wstring& name) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileW(path.c_str());
        return nullptr;
    }
    return new PassingFileStream(file, name);
}

}  // namespace messagelist
