// Reading a real drop handle: the path of the last file the shell dropped.
#include <gtest/gtest.h>

#include <string>

#include "drop_handle.h"
#include "messagelist/dropped_files.h"

namespace {

class DropHandle {
public:
    explicit DropHandle(const std::vector<std::wstring>& paths) : drop_(wintest::MakeDropHandle(paths)) {}
    ~DropHandle() { DragFinish(drop_); }
    DropHandle(const DropHandle&) = delete;
    DropHandle& operator=(const DropHandle&) = delete;
    HDROP Get() const { return drop_; }

private:
    HDROP drop_;
};

TEST(DroppedFiles, TheLastFileOfTheDropIsTaken) {
    struct Case {
        std::vector<std::wstring> paths;
        std::wstring expected;
    };
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'd') + L"\\file.bin";
    const Case cases[] = {
        {{L"C:\\one.txt"}, L"C:\\one.txt"},
        {{L"C:\\a.txt", L"C:\\b.txt", L"C:\\文件\\报告 2026.docx"}, L"C:\\文件\\报告 2026.docx"},
        {{L"C:\\first.bin", longPath}, longPath},
        {{}, L""},
    };
    for (const Case& c : cases) {
        DropHandle drop(c.paths);
        ASSERT_NE(drop.Get(), nullptr);
        // (Wine counts an empty list as one empty name; either way no path.)
        if (!c.paths.empty()) {
            EXPECT_EQ(DragQueryFileW(drop.Get(), 0xFFFFFFFF, nullptr, 0), c.paths.size()) << "a well-made handle";
        }
        EXPECT_EQ(messagelist::LastDroppedPath(drop.Get()), c.expected);
    }
}

}  // namespace
