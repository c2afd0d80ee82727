#include "app/transfer_texts.h"

#include <cstdio>

#include "app/texts.h"
#include "platform/text.h"

namespace app {

namespace {
constexpr double kNewSampleWeight = 0.3;
constexpr std::size_t kTipCharacters = 127;

std::string TwoDigits(std::uint64_t value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

bool Active(const TransferRow& row) {
    return row.state == TransferState::Waiting || row.state == TransferState::Running;
}
}  // namespace

void SpeedMeter::Sample(std::uint64_t millis, std::uint64_t done) {
    if (!started_ || done < lastDone_ || millis < lastMillis_) {
        started_ = true, lastMillis_ = millis, lastDone_ = done, rate_ = 0;
        return;
    }
    if (millis == lastMillis_) return;
    double rate = static_cast<double>(done - lastDone_) * 1000.0 / static_cast<double>(millis - lastMillis_);
    rate_ = rate_ == 0 ? rate : rate_ + kNewSampleWeight * (rate - rate_);
    lastMillis_ = millis, lastDone_ = done;
}

void SpeedMeter::Reset() {
    *this = SpeedMeter();
}

std::string PercentText(std::uint64_t done, std::uint64_t total) {
    if (total == 0 || done >= total) return done >= total && total ? "100%" : "0%";
    return std::to_string(done * 100 / total) + "%";
}

std::string SpeedText(double bytesPerSecond) {
    if (bytesPerSecond < 1) return std::string();
    return FormatSizeText(std::to_string(static_cast<std::uint64_t>(bytesPerSecond))) + "/s";
}

std::string TimeLeftText(std::uint64_t left, double bytesPerSecond) {
    if (bytesPerSecond < 1) return std::string();
    double seconds = static_cast<double>(left) / bytesPerSecond;
    if (seconds > 99.0 * 3600) return "超过 99 小时";
    auto whole = static_cast<std::uint64_t>(seconds + 0.999);
    if (whole < 60) return std::to_string(whole) + " 秒";
    if (whole < 3600) return std::to_string(whole / 60) + " 分 " + TwoDigits(whole % 60) + " 秒";
    return std::to_string(whole / 3600) + " 小时 " + TwoDigits(whole % 3600 / 60) + " 分";
}

std::string QueueLine(const char* verb, std::size_t index, std::size_t count, const std::string& name,
                      std::uint64_t done, std::uint64_t total, double bytesPerSecond) {
    std::string line = std::string(verb) + " " + std::to_string(index) + "/" + std::to_string(count) + ": " + name +
                       " " + PercentText(done, total);
    if (std::string speed = SpeedText(bytesPerSecond); !speed.empty()) line += ", " + speed;
    if (std::string left = TimeLeftText(total > done ? total - done : 0, bytesPerSecond); !left.empty())
        line += ", 剩余 " + left;
    return line;
}

std::string StateText(const TransferRow& row) {
    switch (row.state) {
    case TransferState::Waiting: return "等待";
    case TransferState::Running: return "传输中";
    case TransferState::Paused: return "已暂停";
    case TransferState::Done: return "已完成";
    case TransferState::Failed: return row.reason.empty() ? "失败" : "失败: " + row.reason;
    case TransferState::Cancelled: return "已取消";
    }
    return std::string();
}

std::string TrayTipText(const std::vector<TransferRow>& rows) {
    std::size_t count = 0, uploads = 0;
    std::uint64_t done = 0, total = 0;
    for (const TransferRow& row : rows) {
        if (!Active(row)) continue;
        ++count, uploads += row.upload ? 1 : 0;
        done += row.done, total += row.size;
    }
    if (count == 0) return "Vantlo";
    const char* verb = uploads == count ? "上传" : uploads == 0 ? "下载" : "传输";
    std::string tip =
        std::string("Vantlo - ") + verb + " " + std::to_string(count) + " 个文件 " + PercentText(done, total);
    return platform::CutUtf8(tip, kTipCharacters);
}

std::string CloseQuestionText(std::size_t unfinished) {
    return "还有 " + std::to_string(unfinished) + " 个传输未完成, 退出后可在下次启动时继续。退出吗?";
}

std::string ResumeQuestionText(std::size_t left) {
    return "上次还有 " + std::to_string(left) + " 个传输未完成。继续传输吗?\n\n选择“否”, 它们留在传输列表中, 已暂停。";
}

std::string QueueEndedText(const std::vector<TransferRow>& rows) {
    std::size_t done = 0, failed = 0;
    const TransferRow* firstFailure = nullptr;
    for (const TransferRow& row : rows) {
        if (row.state == TransferState::Done) ++done;
        if (row.state != TransferState::Failed) continue;
        if (!firstFailure) firstFailure = &row;
        ++failed;
    }
    if (!firstFailure) return "传输完成: " + std::to_string(done) + " 个文件";
    std::string text =
        std::to_string(failed) + " 个传输失败 (" + std::to_string(done) + " 个完成): " + firstFailure->name;
    if (!firstFailure->reason.empty()) text += ": " + firstFailure->reason;
    return text + "。可在传输列表中重试。";
}

}  // namespace app
