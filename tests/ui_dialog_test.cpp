// The dialog procedure in this process: main menu view, command routing, animation and close.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "../src/app/app.h"
#include "../src/common/common.h"
#include "../src/ui/ui.h"
#include "../tools/driver/driver.h"
#include "../tools/driver/walk.h"
#include "support/installer_state.h"
#include "support/registry_probe.h"

namespace {

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
        PrepareInstallerState();
    }

    void TearDown() override
    {
        DestroyInstallerDialog();
        DeleteKeyTree(HKEY_LOCAL_MACHINE, kProductKey);
    }

    HWND Create()
    {
        HWND dialog = CreateInstallerDialog();
        EXPECT_NE(nullptr, dialog);
        return dialog;
    }

    void Command(WPARAM wParam) { Press(wParam); }
    void Tick() { SendMessageA(g_state.dialog, WM_TIMER, IDT_ANIMATION, 0); }

    HBITMAP Picture()
    {
        return (HBITMAP)SendDlgItemMessageA(g_state.dialog, IDC_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0);
    }

    std::vector<int> ShownControls() { return ::ShownControls(g_state.dialog); }

    bool QuitPosted() { return TakeQuitMessage(); }
};

const std::vector<int> kMainMenu = {IDC_BUTTON_INSTALL, IDC_BUTTON_START, IDC_BUTTON_END};

}  // namespace

TEST_F(DialogTest, CreationShowsTheMainMenuOfAFreshMachine)
{
    HWND dialog = Create();
    EXPECT_EQ("Velvet Tinkers インストーラ", WindowText(dialog));
    EXPECT_EQ(kMainMenu, ShownControls());
    ControlState start = ReadControl(dialog, IDC_BUTTON_START);
    EXPECT_EQ("ゲームスタート", start.text);
    EXPECT_FALSE(start.enabled);
    EXPECT_EQ("インストール", ReadControl(dialog, IDC_BUTTON_INSTALL).text);
    EXPECT_EQ("終了", ReadControl(dialog, IDC_BUTTON_END).text);
    EXPECT_EQ(IDC_BUTTON_INSTALL, PrimaryButton());
    EXPECT_EQ(g_state.frames[0], Picture());
    EXPECT_EQ(0, g_state.isInstalled);
    EXPECT_EQ(PAGE_INSTALL_TYPE, g_state.page);
}

TEST_F(DialogTest, MainMenuOffersGameStartAndUninstallOnceDirIsSet)
{
    HWND dialog = Create();
    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", "");
    ShowMainMenu(dialog);
    EXPECT_EQ(0, g_state.isInstalled) << "an empty DIR is no installation";
    EXPECT_FALSE(ReadControl(dialog, IDC_BUTTON_START).enabled);

    SetRawString(HKEY_LOCAL_MACHINE, kProductKey, "DIR", "C:\\Games\\kestrelix\\Velvet Tinkers\\");
    ShowMainMenu(dialog);
    EXPECT_EQ(1, g_state.isInstalled);
    EXPECT_TRUE(ReadControl(dialog, IDC_BUTTON_START).enabled);
    EXPECT_EQ(IDC_BUTTON_START, PrimaryButton());
    EXPECT_EQ("アンインストール", ReadControl(dialog, IDC_BUTTON_INSTALL).text);
}

TEST_F(DialogTest, MainMenuResetsTheWizardAndRunState)
{
    HWND dialog = Create();
    g_state.page = PAGE_COPY;
    g_state.isCopying = 1;
    g_state.cancelRequested = 1;
    g_state.frameIndex = 7;
    strcpy(g_state.installDir, "D:\\Games\\kestrelix\\Velvet Tinkers\\");
    SendDlgItemMessageA(dialog, IDC_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)g_state.frames[7]);

    ShowMainMenu(dialog);
    EXPECT_EQ(PAGE_INSTALL_TYPE, g_state.page);
    EXPECT_EQ(0, g_state.isCopying);
    EXPECT_EQ(0, g_state.cancelRequested);
    EXPECT_EQ(0, g_state.frameIndex);
    EXPECT_STREQ("", g_state.installDir);
    EXPECT_EQ(g_state.frames[0], Picture());
    EXPECT_EQ(kMainMenu, ShownControls());
}

TEST_F(DialogTest, NotificationsOfOtherKindsDoNothing)
{
    Create();
    Command(MAKEWPARAM(IDC_COMBO_TYPE, CBN_SELCHANGE));
    Command(MAKEWPARAM(IDC_EDIT_DIR, EN_CHANGE));
    Command(MAKEWPARAM(IDC_BUTTON_END, BN_DOUBLECLICKED));
    Command(MAKEWPARAM(IDC_LABEL, 0));
    EXPECT_FALSE(QuitPosted());
    EXPECT_EQ(kMainMenu, ShownControls());
    EXPECT_EQ(PAGE_INSTALL_TYPE, g_state.page);
}

TEST_F(DialogTest, ExitCloseBoxAndEscapeEndTheDialogAndPostQuit)
{
    // Escape reaches the dialog as the dialog manager turns it into a command.
    const std::function<void()> ends[] = {[] { Press(IDC_BUTTON_END); },
                                          [] { SendMessageA(g_state.dialog, WM_CLOSE, 0, 0); },
                                          [] { Press(IDCANCEL); }};
    for (const auto &end : ends) {
        DestroyInstallerDialog();
        Create();
        ShowWindow(g_state.dialog, SW_SHOW);
        end();
        EXPECT_TRUE(QuitPosted());
        EXPECT_FALSE(IsWindowVisible(g_state.dialog));
    }
}

TEST_F(DialogTest, PressSoonAfterThePressThatChangedTheViewIsTheSecondClickOfADoubleClick)
{
    // The rule on two message times, which wrap at 2^32 (a signed difference goes wrong 2^31 apart).
    const DWORD rows[][3] = {{1000, 1000, 1}, {1000, 1499, 1}, {1000, 1500, 0}, {1000, 1501, 0}, {1000, 999, 0},
                             {0x7FFFFF00, 0x80000050, 1}, {0, 0x80000000, 0}, {0xFFFFFF00, 0x50, 1}, {0xFFFFFF00, 0x100, 0}};
    for (const auto &row : rows) EXPECT_EQ((int)row[2], IsSecondClick(row[0], row[1], 500)) << row[0] << " " << row[1];
    // A press of any message time counts, 0 too (as in a thread that has taken no message yet).
    Create();
    Command(IDC_BUTTON_INSTALL);
    SendMessageW(g_state.dialog, WM_COMMAND, IDC_BUTTON_BACK, 0);  // the same message time
    EXPECT_EQ(std::vector<int>({IDC_LABEL, IDC_BUTTON_BACK, IDC_BUTTON_NEXT, IDC_COMBO_TYPE}), ShownControls());
    SendMessageW(g_state.dialog, WM_COMMAND, IDCANCEL, 0);  // a key of its own
    EXPECT_TRUE(QuitPosted());
}

// The keys the dialog manager turns into presses (Return, Space, Escape, as keys and as the
// characters they type) press once when held; on the copy page Return presses nothing. Other
// keys and other key messages pass, a key-up too, which always has bit 30 set.
TEST(KeyMustNotPress, AHeldKeyPressesOnceAndReturnNotAtAllDuringTheCopy)
{
    const LPARAM held = (LPARAM)1 << 30;
    const struct {
        UINT message;
        WPARAM key;
        LPARAM repeat;
        int page;
        int mustNotPress;
    } rows[] = {
        {WM_KEYDOWN, VK_RETURN, 0, PAGE_INSTALL_TYPE, 0},   {WM_KEYDOWN, VK_RETURN, held, PAGE_INSTALL_TYPE, 1},
        {WM_KEYDOWN, VK_SPACE, 0, PAGE_FOLDER, 0},          {WM_KEYDOWN, VK_SPACE, held, PAGE_FOLDER, 1},
        {WM_KEYDOWN, VK_ESCAPE, 0, PAGE_CONFIRM, 0},        {WM_KEYDOWN, VK_ESCAPE, held, PAGE_CONFIRM, 1},
        {WM_CHAR, '\r', 0, PAGE_CONFIRM, 0},                {WM_CHAR, '\r', held, PAGE_CONFIRM, 1},
        {WM_CHAR, ' ', held, PAGE_INSTALL_TYPE, 1},         {WM_CHAR, 0x1B, held, PAGE_FOLDER, 1},
        {WM_KEYDOWN, VK_RETURN, 0, PAGE_COPY, 1},           {WM_CHAR, '\r', 0, PAGE_COPY, 1},
        {WM_KEYDOWN, VK_SPACE, 0, PAGE_COPY, 0},            {WM_KEYDOWN, VK_ESCAPE, 0, PAGE_COPY, 0},
        {WM_KEYDOWN, VK_TAB, held, PAGE_COPY, 0},           {WM_KEYDOWN, VK_DOWN, held, PAGE_INSTALL_TYPE, 0},
        {WM_KEYUP, VK_RETURN, held, PAGE_INSTALL_TYPE, 0},  {WM_KEYUP, VK_RETURN, held, PAGE_COPY, 0},
        {WM_SYSKEYDOWN, VK_RETURN, held, PAGE_FOLDER, 0},   {WM_COMMAND, VK_RETURN, held, PAGE_COPY, 0},
    };
    for (const auto &row : rows) {
        MSG message = {};
        message.message = row.message;
        message.wParam = row.key;
        message.lParam = row.repeat | 1;  // a repeat count of one
        EXPECT_EQ(row.mustNotPress, KeyMustNotPress(&message, row.page))
            << "message " << row.message << " key " << row.key << " held " << (row.repeat != 0) << " page " << row.page;
    }
}

TEST_F(DialogTest, CancelClickDuringTheCopyOnlyRequestsTheCancel)
{
    Create();
    g_state.page = PAGE_COPY;
    g_state.isCopying = 1;
    std::vector<int> before = ShownControls();
    Command(IDCANCEL);
    EXPECT_FALSE(QuitPosted()) << "Escape on the copy page";
    EXPECT_EQ(0, g_state.cancelRequested);
    Command(IDC_BUTTON_NEXT);
    EXPECT_EQ(1, g_state.cancelRequested);
    EXPECT_EQ(PAGE_COPY, g_state.page);
    EXPECT_EQ(1, g_state.isCopying);
    EXPECT_EQ(before, ShownControls());
}

TEST_F(DialogTest, AnimationCyclesFramesOneToFifteenOnlyOnTheCopyPage)
{
    Create();
    for (int page = PAGE_INSTALL_TYPE; page < PAGE_COPY; ++page) {
        g_state.page = page;
        Tick();
        EXPECT_EQ(0, g_state.frameIndex);
        EXPECT_EQ(g_state.frames[0], Picture());
    }
    g_state.page = PAGE_COPY;
    for (int tick = 0; tick < 31; ++tick) {
        Tick();
        int expected = tick % 15 + 1;
        ASSERT_EQ(expected, g_state.frameIndex) << "tick " << tick;
        ASSERT_EQ(g_state.frames[expected], Picture()) << "tick " << tick;
    }
}

TEST_F(DialogTest, FrameCountsAtAndBeyondTheSlotsStayInside)
{
    Create();
    g_state.page = PAGE_COPY;

    g_state.lastFrame = 15;  // sixteen frames: the blank image ends the cycle
    int highest = 0;
    for (int tick = 0; tick < 40; ++tick) {
        Tick();
        if (g_state.frameIndex > highest) highest = g_state.frameIndex;
    }
    EXPECT_EQ(16, highest);

    g_state.lastFrame = 40;
    g_state.frameIndex = 0;
    for (int tick = 0; tick < 100; ++tick) {
        Tick();
        ASSERT_GE(g_state.frameIndex, 1);
        ASSERT_LE(g_state.frameIndex, FRAME_SLOTS - 1);
    }

    for (int last : {-1, 0}) {
        g_state.lastFrame = last;
        g_state.frameIndex = 0;
        for (int tick = 0; tick < 5; ++tick) {
            Tick();
            EXPECT_EQ(1, g_state.frameIndex) << "frame count " << last + 1;
        }
    }
}

TEST_F(DialogTest, TimerIsArmedAtCreationAndRearmedOnEveryTick)
{
    g_state.frameInterval = 15;
    Create();
    g_state.page = PAGE_COPY;
    MSG message;
    auto ticksUntil = [&](int frame) {
        DWORD start = GetTickCount();
        while (g_state.frameIndex < frame && GetTickCount() - start < 10000) {
            while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
            Sleep(5);
        }
        return g_state.frameIndex >= frame;
    };
    EXPECT_TRUE(ticksUntil(3)) << "the timer armed at creation did not tick";
    // With the timer gone, only the tick's own re-arming can bring the next ones.
    KillTimer(g_state.dialog, IDT_ANIMATION);
    Tick();
    EXPECT_TRUE(ticksUntil(g_state.frameIndex + 2)) << "a tick did not arm the timer again";
}

namespace {

struct BoxWatch {
    std::string caption;
    std::string text;
};

DWORD WINAPI AnswerErrorBox(LPVOID context)
{
    BoxWatch *watch = static_cast<BoxWatch *>(context);
    HWND box = WaitForWindow(GetCurrentProcessId(), "エラー", 10000);
    if (box == NULL) return 0;
    watch->caption = WindowText(box);
    watch->text = MessageBoxText(box);
    AnswerMessageBox(box, IDOK);
    return 0;
}

}  // namespace

TEST_F(DialogTest, DialogThatCannotBeCreatedIsReportedAndTheLoopEnds)
{
    g_state.instance = GetModuleHandleA("kernel32.dll");  // a module without the template
    BoxWatch watch;
    HANDLE watcher = CreateThread(NULL, 0, AnswerErrorBox, &watch, 0, NULL);
    EXPECT_EQ(0, RunInstallerDialog());
    WaitForSingleObject(watcher, 10000);
    CloseHandle(watcher);
    EXPECT_EQ("エラー", watch.caption);
    EXPECT_FALSE(watch.text.empty());
    g_state.dialog = NULL;
}
