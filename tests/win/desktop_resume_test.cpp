// The desktop under Wine, over TLS to the provider through a relay that
// counts what reaches the provider: an upload cut by the provider going
// away is kept, and continued after a restart it sends only the missing
// parts.
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "app/app.h"
#include "cut_relay.h"
#include "session/cells.h"
#include "session/folders.h"
#include "win_support.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kPart = 256 * 1024;
constexpr std::uint32_t kParts = 5;

struct StatusLine : app::DesktopView {
    std::string text;
    std::size_t leftOver = 0;
    void StatusChanged(const std::string& status) override { text = status; }
    void TransfersLeftOver(std::size_t count) override { leftOver = count; }
};

std::uint16_t ProviderPort() {
    std::string provider = std::getenv("VANTLO_PROVIDER");
    return static_cast<std::uint16_t>(std::stoul(provider.substr(provider.rfind(':') + 1)));
}

fs::path MakeFile(const std::string& name, std::uint64_t size) {
    fs::path path = fs::temp_directory_path() / name;
    std::ofstream out(path, std::ios::binary);
    for (std::uint64_t i = 0; i < size; ++i) out.put(static_cast<char>(i * 7919 % 251));
    return path;
}

class DesktopResume : public ::testing::Test {
protected:
    void SetUp() override {
        auto session = wintest::SignedIn("second@126.example", "second-pass");
        const std::string name = std::string("续传-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_EQ(session::CreateUserFolder(*session, name, folderId_), session::Status::Ok);
        Begin(std::move(session));
    }
    // The program's start over a signed-in session.
    void Begin(std::unique_ptr<session::Session> session) {
        // The webmail host is the relay from here on.
        session::SetCell(session->host, "127.0.0.1:" + std::to_string(relay_.Port()));
        desktop_ = app::Start(wintest::AccountOver(std::move(session), "second@126.example"));
        desktop_->Pacing() = app::TransferPacing{kPart, 1};
        desktop_->AddView(status_);
        desktop_->OpenFolder(folderId_);
        ASSERT_TRUE(wintest::PumpUntil([&] { return desktop_->Idle(); }));
    }
    void TearDown() override {
        desktop_->RemoveView(status_);
        app::Stop(std::chrono::seconds(10));
    }
    // Sends the file and waits for the queue to end; the bytes that reached
    // the provider meanwhile.
    std::uint64_t Upload(const fs::path& file, std::uint64_t cutAfter = 0) {
        std::uint64_t before = relay_.BytesUp();
        desktop_->QueueUploads({file});
        if (cutAfter) {
            EXPECT_TRUE(wintest::PumpUntil([&] { return relay_.BytesUp() - before > cutAfter; }));
            relay_.GoDown();
        }
        EXPECT_TRUE(wintest::PumpUntil([&] { return !desktop_->Transferring(); }, std::chrono::seconds(120)));
        relay_.ComeBack();
        EXPECT_TRUE(wintest::PumpUntil([&] { return desktop_->Idle(); }, std::chrono::seconds(60)));
        return relay_.BytesUp() - before;
    }

    wintest::CutRelay relay_{ProviderPort()};
    std::string folderId_;
    std::shared_ptr<app::Desktop> desktop_;
    StatusLine status_;
};

// A clean upload gives the measure; then an upload cut by the provider
// going away, the program closed and started again: the row it kept is
// offered, and "继续传输" sends only what the provider lacks.
TEST_F(DesktopResume, AfterACutAndARestartContinuingSendsOnlyWhatIsMissing) {
    const std::uint64_t size = kPart * kParts - 100;
    std::uint64_t whole = Upload(MakeFile("clean.bin", size));
    ASSERT_EQ(status_.text, app::kUploadDoneText);
    const fs::path kept = fs::temp_directory_path() / "vantlo-kept" / "transfers.txt";
    desktop_->KeepTransfersIn(kept);
    std::uint64_t cut = Upload(MakeFile("cut.bin", size), whole / 2);
    ASSERT_EQ(status_.text.rfind("上传失败: cut.bin", 0), 0u) << status_.text;

    TearDown();
    Begin(wintest::SignedIn("second@126.example", "second-pass"));
    desktop_->KeepTransfersIn(kept);
    ASSERT_EQ(status_.leftOver, 1u);
    std::uint64_t before = relay_.BytesUp();
    desktop_->ContinueTransfers();
    ASSERT_TRUE(wintest::PumpUntil([&] { return desktop_->Idle(); }, std::chrono::seconds(120)));
    std::uint64_t again = relay_.BytesUp() - before;
    std::printf("whole upload %llu bytes; cut run %llu, continued run %llu\n", static_cast<unsigned long long>(whole),
                static_cast<unsigned long long>(cut), static_cast<unsigned long long>(again));
    EXPECT_EQ(status_.text, app::kUploadDoneText);
    // At most the part cut in flight is sent twice (and the looks for earlier parts).
    EXPECT_LE(cut + again, whole + whole / kParts + 64 * 1024);
    EXPECT_LE(again, whole - whole / kParts) << "the parts stored before the cut are not sent again";
    EXPECT_FALSE(fs::exists(kept)) << "nothing left to offer";
    desktop_->ReloadOpenFolder();
    ASSERT_TRUE(wintest::PumpUntil([&] { return desktop_->Idle(); }));
    ASSERT_EQ(desktop_->Files().Count(), 2u) << "no incomplete copy beside the file";
    for (std::size_t i = 0; i < 2; ++i) {
        const catalog::FileEntry& entry = desktop_->Files().Row(i)->file;
        EXPECT_TRUE(entry.Whole()) << entry.name << ": " << entry.Problems();
        EXPECT_EQ(entry.size, size) << entry.name;
    }
}

}  // namespace
