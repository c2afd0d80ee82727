// Files dragged out of the desktop's list, as the shell takes them from
// the data object (no shell here to drop onto): the descriptors name and
// size every file, safely whatever the mailbox called it; each file's
// contents are fetched when asked for and are the bytes stored; a file with
// a damaged part is an error, never bytes; and no fetched copy outlives
// its stream.
#include <windows.h>

#include <ole2.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "app/app.h"
#include "catalog/local_name.h"
#include "catalog/upload.h"
#include "messagelist/drag_data.h"
#include "platform/text.h"
#include "session/folders.h"
#include "win_support.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kPart = 64 * 1024;
const std::string kHostileName = "..\\上级/a:b.bin";

std::string BytesOf(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919 + seed) % 251);
    return bytes;
}

// Stores `bytes` as `name` part by part, as the engine does; `damaged`
// changes a byte of part 2 after its digest is taken.
void Store(catalog::MailStore& store, const std::string& folder, const std::string& name, const std::string& bytes,
           bool damaged = false) {
    const fs::path source = fs::temp_directory_path() / "drag-source.bin";
    std::ofstream(source, std::ios::binary) << bytes;
    catalog::UploadPlan plan;
    ASSERT_TRUE(catalog::PlanUpload(source, kPart, {}, {}, plan).Ok());
    plan.name = name;
    if (damaged) std::fstream(source, std::ios::in | std::ios::out | std::ios::binary).seekp(kPart + 9).put('!');
    for (const catalog::UploadPart& part : plan.parts) {
        std::string mailId;
        ASSERT_TRUE(catalog::StorePlannedPart(store, plan, part, folder, {}, {}, mailId).Ok()) << name;
    }
}

std::string ReadAll(IStream* stream) {
    std::string bytes;
    char buffer[8192];
    ULONG got = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &got)) && got > 0) bytes.append(buffer, got);
    return bytes;
}

TEST(DroppedName, KeepsSafeNamesAndMakesEveryOtherOneSafe) {
    const std::string longStem(300, 'x');
    const std::pair<std::string, std::wstring> names[] = {
        {"报告 2024.txt", L"报告 2024.txt"},
        {"a/b\\c:d.txt", L"a-b-c-d.txt"},
        {std::string("cut\0short.exe", 13), L"cut-short.exe"},
        {"..", L"_"},
        {".", L"_"},
        {"", L"_"},
        {"CON.txt", L"_CON.txt"},
        {"ends with. ", L"ends with"},
        {"a.vantlo-partial", L"a_vantlo-partial"},
        {"\xff.bin", L"-xFF.bin"},
        {"evil\xE2\x80\xAEtxt.exe", L"evil-u{202E}txt.exe"},
        {longStem + ".pdf", std::wstring(MAX_PATH - 9 - 4, L'x') + L".pdf"},
    };
    for (const auto& [stored, expected] : names) {
        const std::wstring name = messagelist::DroppedName(stored);
        EXPECT_EQ(name, expected) << catalog::EscapedName(stored);
        std::string local;
        EXPECT_TRUE(catalog::LocalNameFor(platform::WideToUtf8(name), local).Ok()) << catalog::EscapedName(stored);
    }
}

class DragOut : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        auto session = wintest::SignedIn("demo@163.example", "vantlo-demo");
        std::string folder;
        ASSERT_EQ(session::CreateUserFolder(*session, "拖出", folder), session::Status::Ok);
        app::SignedInAccount account = wintest::AccountOver(std::move(session), "demo@163.example");
        for (const auto& [name, bytes] : stored_) Store(*account.store, folder, name, bytes);
        Store(*account.store, folder, "damaged.bin", BytesOf(3 * kPart, 3), true);
        desktop_ = app::Start(std::move(account));
        desktop_->Pacing() = app::TransferPacing{kPart, 2};
        desktop_->OpenFolder(folder);
        ASSERT_TRUE(wintest::PumpUntil([&] { return desktop_->Idle() && desktop_->Files().Count() == 3; }));
    }
    void TearDown() override {
        app::Stop(std::chrono::seconds(10));
        OleUninitialize();
    }

    const std::map<std::string, std::string> stored_ = {{"第一.txt", BytesOf(2 * kPart + 17, 1)},
                                                        {kHostileName, BytesOf(1000, 2)}};
    std::shared_ptr<app::Desktop> desktop_;
};

TEST_F(DragOut, GivesEachFileByNameAndSizeAndItsCheckedBytesOnlyWhenWhole) {
    std::vector<messagelist::DraggedFile> files = messagelist::DraggedFiles(desktop_->Files(), {0, 1, 2});
    ASSERT_EQ(files.size(), 3u);
    IDataObject* data = messagelist::NewDragData(files, desktop_->Fetcher());

    FORMATETC descriptors{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_FILEDESCRIPTORW)), nullptr,
                          DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    ASSERT_EQ(data->GetData(&descriptors, &medium), S_OK);
    std::map<std::wstring, std::string> expected{{L"damaged.bin", BytesOf(3 * kPart, 3)}};
    for (const auto& [name, bytes] : stored_) expected[messagelist::DroppedName(name)] = bytes;
    std::vector<std::wstring> names;
    {
        auto* group = static_cast<FILEGROUPDESCRIPTORW*>(GlobalLock(medium.hGlobal));
        ASSERT_EQ(group->cItems, 3u);
        for (UINT i = 0; i < group->cItems; ++i) {
            const FILEDESCRIPTORW& entry = group->fgd[i];
            names.push_back(entry.cFileName);
            ASSERT_EQ(expected.count(names.back()), 1u) << platform::WideToUtf8(names.back());
            EXPECT_EQ(entry.dwFlags & (FD_FILESIZE | FD_PROGRESSUI), static_cast<DWORD>(FD_FILESIZE | FD_PROGRESSUI));
            EXPECT_EQ((std::uint64_t{entry.nFileSizeHigh} << 32) | entry.nFileSizeLow, expected[names.back()].size());
        }
        GlobalUnlock(medium.hGlobal);
        ReleaseStgMedium(&medium);
    }
    EXPECT_EQ(expected.count(messagelist::DroppedName(kHostileName)), 1u);

    FORMATETC contents{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_FILECONTENTS)), nullptr, DVASPECT_CONTENT,
                       0, TYMED_ISTREAM};
    for (std::size_t i = 0; i < names.size(); ++i) {
        contents.lindex = static_cast<LONG>(i);
        medium = STGMEDIUM{};
        HRESULT got = data->GetData(&contents, &medium);
        if (names[i] == L"damaged.bin") {
            EXPECT_EQ(got, HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT));
            EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_NULL)) << "no bytes for a file that did not check out";
            continue;
        }
        ASSERT_EQ(got, S_OK) << platform::WideToUtf8(names[i]);
        ASSERT_EQ(medium.tymed, static_cast<DWORD>(TYMED_ISTREAM));
        EXPECT_TRUE(ReadAll(medium.pstm) == expected[names[i]]) << platform::WideToUtf8(names[i]);
        ReleaseStgMedium(&medium);
    }
    contents.lindex = 3;
    EXPECT_EQ(data->GetData(&contents, &medium), DV_E_LINDEX);
    data->Release();
    std::error_code error;
    EXPECT_TRUE(fs::is_empty(fs::temp_directory_path() / "Vantlo" / "drag", error)) << "a fetched copy was left";
}

}  // namespace
