// What the transfer panel, the tray and the questions around transfers say,
// and the smoothed speed that the time left is reckoned from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/transfer_queue.h"

namespace app {

// The speed of one transfer, smoothed so that the time left does not jump
// with every part: each sample's rate is blended into the last (a new
// sample weighs 30%). Bytes going backwards (a retry from a lower count)
// start it over.
class SpeedMeter {
public:
    void Sample(std::uint64_t millis, std::uint64_t done);
    void Reset();
    double BytesPerSecond() const { return rate_; }

private:
    bool started_ = false;
    std::uint64_t lastMillis_ = 0;
    std::uint64_t lastDone_ = 0;
    double rate_ = 0;
};

// "45%": whole percent, rounded down (100% only when all is done).
std::string PercentText(std::uint64_t done, std::uint64_t total);
// "1.50 MB/s"; empty below a byte a second.
std::string SpeedText(double bytesPerSecond);
// "8 秒", "2 分 05 秒", "1 小时 02 分"; empty when the speed gives no estimate.
std::string TimeLeftText(std::uint64_t left, double bytesPerSecond);
// The status line while a queue runs: "上传 3/7: 名.bin 25%, 1.50 MB/s, 剩余
// 8 秒" (speed and time left once the speed is known).
std::string QueueLine(const char* verb, std::size_t index, std::size_t count, const std::string& name,
                      std::uint64_t done, std::uint64_t total, double bytesPerSecond);
// "等待", "传输中", "已暂停", "已完成", "失败: reason", "已取消".
std::string StateText(const TransferRow& row);
inline const char* DirectionText(bool upload) {
    return upload ? "上传" : "下载";
}

// The tray icon's tooltip: "Vantlo - 上传 2 个文件 45%" while rows wait or
// run (传输 when both directions do), "Vantlo" otherwise. At most 127
// bytes of UTF-8 (within the tooltip's 128 characters).
std::string TrayTipText(const std::vector<TransferRow>& rows);

// The question when the window closes with transfers not finished.
std::string CloseQuestionText(std::size_t unfinished);
// The offer at the start when a run left transfers ("继续传输").
std::string ResumeQuestionText(std::size_t left);
// The balloon when the queue has nothing more to run: how many were done,
// how many failed (and the first failure's name and reason).
std::string QueueEndedText(const std::vector<TransferRow>& rows);

}  // namespace app
