// The desktop's network drive: the views' DriveService run off the
// user-interface thread, its name shown beside the used space.
#include "app/desktop.h"

namespace app {

namespace {
constexpr char kDriveMappingText[] = "正在映射网络驱动器...";
constexpr char kDriveUnmappedText[] = "已断开网络驱动器 ";
}  // namespace

void Desktop::MapDrive() {
    if (!driveService_ || driveBusy_ || !driveName_.empty()) return;
    driveBusy_ = true;
    SetStatus(kDriveMappingText);
    Reply reply = ReplyChannel();
    std::shared_ptr<StoreSource> stores = stores_;
    std::shared_ptr<DriveService> service = driveService_;
    const bool started = executor_->Run(Lane::Own, [reply, stores, service] {
        catalog::StorePool* pool = nullptr;
        std::string drive, error;
        const catalog::Outcome made = stores->Pool(pool);
        const bool mapped = made.Ok() && service->Map(*pool, drive, error);
        if (!made.Ok()) error = FailureText(Work::MapDrive, made);
        reply([mapped, drive, error](Desktop& d) {
            d.driveBusy_ = false;
            if (mapped) d.driveName_ = drive;
            d.SetStatus(mapped ? "已映射为网络驱动器 " + drive + error : error);
            d.ShowSpaceLine();
        });
    });
    if (!started) {
        driveBusy_ = false;
        SetStatus(kWorkNotStartedText);
    }
}

void Desktop::UnmapDrive() {
    if (!driveService_ || driveBusy_ || driveName_.empty()) return;
    driveBusy_ = true;
    Reply reply = ReplyChannel();
    std::shared_ptr<DriveService> service = driveService_;
    const bool started = executor_->Run(Lane::Own, [reply, service] {
        service->Unmap();
        reply([](Desktop& d) {
            d.driveBusy_ = false;
            d.SetStatus(kDriveUnmappedText + d.driveName_);
            d.driveName_.clear();
            d.ShowSpaceLine();
        });
    });
    if (!started) {
        driveBusy_ = false;
        SetStatus(kWorkNotStartedText);
    }
}

void Desktop::ShowSpaceLine() {
    std::string line = spaceText_;
    if (!driveName_.empty()) line += (line.empty() ? "" : "  ") + std::string("网络驱动器 ") + driveName_;
    Tell([&](DesktopView& v) { v.SpaceUsedChanged(line); });
}

}  // namespace app
