// The transfer queue's portable units: the rows' states under the user's
// actions, the file that keeps them across runs, the panel's texts and the
// choices for an upload whose name is taken.
#include <gtest/gtest.h>

#include "app/transfer_conflict.h"
#include "app/transfer_queue.h"
#include "app/transfer_saved.h"
#include "app/transfer_texts.h"

namespace {

using app::TransferAction;
using app::TransferQueue;
using app::TransferRow;
using app::TransferState;
using End = app::TransferQueue::End;
constexpr auto W = TransferState::Waiting, R = TransferState::Running, P = TransferState::Paused,
               D = TransferState::Done, F = TransferState::Failed, C = TransferState::Cancelled;

// A queue with one row in `state`, reached the way the desktop gets there.
std::pair<TransferQueue, std::uint64_t> RowIn(TransferState state) {
    TransferQueue queue;
    std::uint64_t id = queue.Add(TransferRow{});
    if (state != W) queue.Started(id);
    if (state == P) queue.Apply(id, TransferAction::Pause), queue.Ended(id, End::Stopped);
    if (state == D) queue.Ended(id, End::Stored);
    if (state == F) queue.Ended(id, End::Failed, "gone");
    if (state == C) queue.Apply(id, TransferAction::Cancel), queue.Ended(id, End::Stopped);
    return {queue, id};
}

TEST(TransferQueue, ActionsAndTheEngineEnding) {
    // A running row only asks the engine to stop: it must not look paused or
    // cancelled while its parts still move, and a stop nobody asked for (the
    // program ending) leaves it waiting, so that it is saved and offered.
    struct Case {
        TransferState from;
        TransferAction action;
        bool applies;
        TransferState after;      // right after the action
        TransferState afterStop;  // after the engine then stops (running rows)
    } cases[] = {
        {W, TransferAction::Pause, true, P, P},   {R, TransferAction::Pause, true, R, P},
        {P, TransferAction::Pause, false, P, P},  {D, TransferAction::Pause, false, D, D},
        {P, TransferAction::Resume, true, W, W},  {W, TransferAction::Resume, false, W, W},
        {F, TransferAction::Resume, false, F, F}, {W, TransferAction::Cancel, true, C, C},
        {R, TransferAction::Cancel, true, R, C},  {P, TransferAction::Cancel, true, C, C},
        {F, TransferAction::Cancel, true, C, C},  {D, TransferAction::Cancel, false, D, D},
        {F, TransferAction::Retry, true, W, W},   {C, TransferAction::Retry, true, W, W},
        {D, TransferAction::Retry, false, D, D},  {R, TransferAction::Retry, false, R, W},
    };
    for (const Case& c : cases) {
        auto [queue, id] = RowIn(c.from);
        SCOPED_TRACE(static_cast<int>(c.from) * 10 + static_cast<int>(c.action));
        EXPECT_EQ(queue.Apply(id, c.action), c.applies);
        EXPECT_EQ(queue.Find(id)->state, c.after);
        if (c.from == R) queue.Ended(id, End::Stopped);
        EXPECT_EQ(queue.Find(id)->state, c.afterStop);
    }
    auto [queue, id] = RowIn(R);
    queue.Progress(id, 700, 1000);
    queue.Apply(id, TransferAction::Pause);
    queue.Ended(id, End::Stored);  // the last part landed before the stop
    EXPECT_EQ(queue.Find(id)->state, D);
    EXPECT_EQ(queue.Find(id)->done, 1000u);
    EXPECT_EQ(queue.Unfinished(), 0u);
}

TransferRow Row(bool upload, const std::string& name, TransferState state) {
    TransferRow row;
    row.upload = upload, row.name = name, row.state = state;
    row.local = std::filesystem::u8path(u8"C:\\用户\\" + name);
    row.size = 5000, row.done = 1200;
    if (upload) row.folderId = "7", row.storeFolderId = "box7", row.replaces = {"m 1", "m%2"};
    if (!upload) row.key = "key\t1";
    if (state == F) row.reason = "无法连接\n服务器";
    return row;
}

TEST(TransferSaved, KeepsWhatIsLeftAndRefusesADamagedFile) {
    std::vector<TransferRow> rows = {Row(true, "报告\t(终).docx", W),
                                     Row(false, "a%0a\nb", R),
                                     Row(true, "done.zip", D),
                                     Row(false, "x", P),
                                     Row(true, "y", F),
                                     Row(false, "gone", C)};
    // A vault's rows stay a vault's: a later run never sends them unsealed.
    rows[1].sealed = rows[4].sealed = true;
    rows[1].storeFolderId = "box7";
    const std::string bytes = app::SavedTransfersText(rows);
    std::vector<TransferRow> read;
    ASSERT_TRUE(app::ReadSavedTransfers(bytes, read));
    // Done and cancelled rows are not kept; a running one comes back waiting.
    const std::vector<std::pair<std::size_t, TransferState>> kept = {{0, W}, {1, W}, {3, P}, {4, F}};
    ASSERT_EQ(read.size(), kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const TransferRow &was = rows[kept[i].first], &is = read[i];
        EXPECT_EQ(is.state, kept[i].second);
        EXPECT_EQ(std::tie(is.upload, is.sealed, is.name, is.local, is.key, is.folderId, is.storeFolderId, is.replaces,
                           is.size, is.done, is.reason),
                  std::tie(was.upload, was.sealed, was.name, was.local, was.key, was.folderId, was.storeFolderId,
                           was.replaces, was.size, was.done, was.reason));
    }
    // Every cut of the file (a crash mid-write without the rename) and
    // every changed byte is refused whole.
    for (std::size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_FALSE(app::ReadSavedTransfers(bytes.substr(0, cut), read) || !read.empty()) << cut;
    for (std::size_t at = 0; at < bytes.size(); at += 7) {
        std::string flipped = bytes;
        flipped[at] ^= 0x01;
        EXPECT_FALSE(app::ReadSavedTransfers(flipped, read)) << at;
    }
    // A row without what it acts on is refused even when the digest fits.
    std::vector<TransferRow> broken = {Row(false, "no key", W), Row(false, "a vault's, no folder", W)};
    broken[0].key.clear();
    broken[1].sealed = true;
    for (const TransferRow& row : broken) EXPECT_FALSE(app::ReadSavedTransfers(app::SavedTransfersText({row}), read));
}

TEST(TransferSaved, TheFileOnDisk) {
    const auto dir =
        std::filesystem::temp_directory_path() /
        std::filesystem::u8path(std::string("传输-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    const auto file = app::SavedTransfersPath(dir, "demo@163.example");
    EXPECT_NE(file, app::SavedTransfersPath(dir, "second@126.example"));
    EXPECT_TRUE(app::LoadTransfers(file).empty());
    ASSERT_TRUE(app::SaveTransfers(file, {Row(true, "a", W), Row(true, "b", D)}));
    EXPECT_EQ(app::LoadTransfers(file).size(), 1u);
    // With nothing left the file goes, so no old offer comes back.
    ASSERT_TRUE(app::SaveTransfers(file, {Row(true, "b", D)}));
    EXPECT_FALSE(std::filesystem::exists(file));
    std::filesystem::remove_all(dir);
}

TEST(TransferTexts, PanelAndTray) {
    struct {
        std::uint64_t done, total;
        const char* percent;
    } percents[] = {{0, 0, "0%"}, {0, 10, "0%"}, {999, 1000, "99%"}, {1000, 1000, "100%"}, {5, 3, "100%"}};
    for (const auto& c : percents) EXPECT_EQ(app::PercentText(c.done, c.total), c.percent);

    struct {
        std::uint64_t left;
        double speed;
        const char *time, *speedText;
    } times[] = {
        {100, 0, "", ""},
        {1, 2, "1 秒", "2 BYTE/s"},
        {3000, 1024, "3 秒", "1.00 KB/s"},
        {125 * 1048576ull, 1048576, "2 分 05 秒", "1.00 MB/s"},
        {3720ull * 1048576, 1048576, "1 小时 02 分", "1.00 MB/s"},
        {~0ull, 1, "超过 99 小时", "1 BYTE/s"},
    };
    for (const auto& c : times) {
        EXPECT_EQ(app::TimeLeftText(c.left, c.speed), c.time);
        EXPECT_EQ(app::SpeedText(c.speed), c.speedText);
    }

    EXPECT_EQ(app::QueueLine("上传", 3, 7, "名.bin", 1024, 4096, 0), "上传 3/7: 名.bin 25%");
    EXPECT_EQ(app::QueueLine("下载", 1, 1, "a", 69361664, 90000000, 1572864), "下载 1/1: a 77%, 1.50 MB/s, 剩余 14 秒");

    std::vector<TransferRow> upAndDone = {Row(true, "a", W), Row(true, "b", R), Row(false, "c", D)};
    upAndDone[0].size = 1000, upAndDone[0].done = 0, upAndDone[1].size = 1000, upAndDone[1].done = 900;
    std::vector<TransferRow> mixed = upAndDone;
    mixed[2].state = P;
    mixed.push_back(Row(false, "d", R));
    struct {
        std::vector<TransferRow> rows;
        const char* tip;
    } tips[] = {
        {{}, "Vantlo"},
        {upAndDone, "Vantlo - 上传 2 个文件 45%"},
        {mixed, "Vantlo - 传输 3 个文件 30%"},
        {{Row(false, "d", R)}, "Vantlo - 下载 1 个文件 24%"},
        {{Row(true, "e", F)}, "Vantlo"},
    };
    for (const auto& c : tips) EXPECT_EQ(app::TrayTipText(c.rows), c.tip);

    EXPECT_EQ(app::QueueEndedText({Row(true, "a", D), Row(true, "b", D)}), "传输完成: 2 个文件");
    EXPECT_EQ(app::QueueEndedText({Row(true, "a", D), Row(true, "b", F)}),
              "1 个传输失败 (1 个完成): b: 无法连接\n服务器。可在传输列表中重试。");
    EXPECT_EQ(app::CloseQuestionText(2), "还有 2 个传输未完成, 退出后可在下次启动时继续。退出吗?");
}

TEST(TransferTexts, SpeedIsSmoothedAndStartsOver) {
    app::SpeedMeter meter;
    meter.Sample(0, 0);
    for (std::uint64_t t = 200; t <= 2000; t += 200) meter.Sample(t, t * 1000);  // 1 MB/s steady
    EXPECT_NEAR(meter.BytesPerSecond(), 1e6, 1);
    meter.Sample(2200, 2000 * 1000);  // one stalled tick does not drop it to nothing
    EXPECT_NEAR(meter.BytesPerSecond(), 0.7e6, 1);
    meter.Sample(2400, 0);  // a retry from the start
    EXPECT_EQ(meter.BytesPerSecond(), 0);
}

TEST(TransferConflict, EachAnswer) {
    using app::ConflictChoice;
    using Taken = std::map<std::string, std::vector<std::string>>;
    struct {
        const char* name;
        Taken taken;
        const char* expected;
    } names[] = {
        {"a.txt", {}, "a (2).txt"},
        {"a.txt", {{"a (2).txt", {}}, {"a (3).txt", {}}}, "a (4).txt"},
        {"备份.tar.gz", {}, "备份.tar (2).gz"},
        {".bashrc", {}, ".bashrc (2)"},
        {"README", {}, "README (2)"},
    };
    for (const auto& c : names) EXPECT_EQ(app::KeepBothName(c.name, c.taken), c.expected);

    const Taken folder = {{"a.txt", {"m1", "m2"}}, {"b.txt", {"m3"}}, {"a (2).txt", {"m4"}}};
    const std::vector<std::filesystem::path> sources = {"/l/a.txt", "/l/new.txt", "/l/b.txt", "/k/new.txt"};
    struct Step {
        ConflictChoice choice;
        bool forAll;
    };
    struct {
        std::vector<Step> answers;
        std::vector<std::string> asked, planned;
        std::vector<std::vector<std::string>> replaces;
    } cases[] = {
        {{{ConflictChoice::Overwrite, false}, {ConflictChoice::Skip, false}, {ConflictChoice::Skip, false}},
         {"a.txt", "b.txt", "new.txt"},
         {"a.txt", "new.txt"},
         {{"m1", "m2"}, {}}},
        {{{ConflictChoice::KeepBoth, true}},
         {"a.txt"},
         {"a (3).txt", "new.txt", "b (2).txt", "new (2).txt"},
         {{}, {}, {}, {}}},
        {{{ConflictChoice::Skip, true}}, {"a.txt"}, {"new.txt"}, {{}}},
        {{{ConflictChoice::Overwrite, false}, {ConflictChoice::CancelAll, false}}, {"a.txt", "b.txt"}, {}, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> asked;
        auto plan = app::PlanUploads(sources, folder, [&](const std::string& name) {
            asked.push_back(name);
            const Step& step = c.answers.at(asked.size() - 1);
            return app::ConflictAnswer{step.choice, step.forAll};
        });
        EXPECT_EQ(asked, c.asked);
        std::vector<std::string> planned;
        std::vector<std::vector<std::string>> replaces;
        for (const auto& upload : plan) planned.push_back(upload.name), replaces.push_back(upload.replaces);
        EXPECT_EQ(planned, c.planned);
        EXPECT_EQ(replaces, c.replaces);
    }
}

}  // namespace
